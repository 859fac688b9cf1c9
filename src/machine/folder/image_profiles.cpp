#include "machine/folder/image_profiles.h"

#include <filesystem>
#include <utility>

#include "host/file_read.h"
#include "host/file_write.h"
#include "host/ini_text.h"
#include "machine/folder/host_paths.h"
#include "text/codepage.h"
#include "text/strings.h"

namespace veldan::machine::image {
using host::IniText;

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";

// How a file's text was stored, so that it is written back the same way.
struct Encoding {
    enum Form { Utf8, Cp949, Utf16Le } form = Utf8;
    bool bom = false;
};

// The encoding text::DecodeText reads `bytes` in.
Encoding DetectEncoding(std::string_view bytes) {
    if (bytes.starts_with(kUtf8Bom)) {
        bytes.remove_prefix(kUtf8Bom.size());
        return {text::IsValidUtf8(bytes) ? Encoding::Utf8 : Encoding::Cp949, true};
    }
    if (bytes.starts_with(kUtf16LeBom)) return {Encoding::Utf16Le, true};
    return {text::IsValidUtf8(bytes) ? Encoding::Utf8 : Encoding::Cp949, false};
}

std::string Encode(std::string_view utf8, Encoding enc) {
    switch (enc.form) {
        case Encoding::Utf16Le:
            return std::string(kUtf16LeBom) + text::Utf8ToUtf16Le(utf8);
        case Encoding::Cp949:
            return (enc.bom ? std::string(kUtf8Bom) : std::string()) + text::Utf8ToCp949(utf8);
        case Encoding::Utf8:
            break;
    }
    return (enc.bom ? std::string(kUtf8Bom) : std::string()) + std::string(utf8);
}

// A profile file opened for an edit.
struct EditedFile {
    const HostPaths* paths = nullptr;
    std::string hostPath;
    bool exists = false;
    std::string bytes;  // as read
    Encoding encoding;
    IniText ini;
};

// Reads the file for an edit; a missing file is an empty one that does not exist yet.
WinError OpenForEdit(const HostPaths& paths, const std::string& winPath, EditedFile& file) {
    file.paths = &paths;
    WinError err = paths.ResolveForCreate(winPath, file.hostPath);
    if (err != ERROR_SUCCESS) return err;
    std::error_code ec;
    auto status = std::filesystem::status(file.hostPath, ec);
    if (std::filesystem::is_directory(status)) return ERROR_ACCESS_DENIED;
    if (!std::filesystem::exists(status)) return ERROR_SUCCESS;
    if (!host::ReadWholeFile(file.hostPath, file.bytes)) return ERROR_ACCESS_DENIED;
    file.exists = true;
    file.encoding = DetectEncoding(file.bytes);
    file.ini = IniText(text::DecodeText(file.bytes));
    return ERROR_SUCCESS;
}

// Writes the edited text back in the file's encoding; an unchanged file is left alone.
WinError Save(const EditedFile& file) {
    std::string bytes = Encode(file.ini.Text(), file.encoding);
    if (file.exists && bytes == file.bytes) return ERROR_SUCCESS;
    const WinError written = host::WriteFileAtomic(file.hostPath, bytes);
    if (!file.exists && file.paths != nullptr) file.paths->Changed(file.hostPath);
    return written;
}

}  // namespace

ImageProfiles::ImageProfiles(HostPaths& paths, std::string windowsDirectory)
    : IniProfiles(std::move(windowsDirectory)), paths_(paths) {}

std::optional<IniText> ImageProfiles::Load(const std::string& path) const {
    std::string hostPath;
    if (paths_.Resolve(path, hostPath) != ERROR_SUCCESS) return std::nullopt;
    std::error_code ec;
    if (std::filesystem::is_directory(hostPath, ec)) return std::nullopt;
    std::string utf8;
    if (!host::ReadTextFile(hostPath, utf8)) return std::nullopt;
    return IniText(utf8);
}

WinError ImageProfiles::Change(const std::string& path, const Edit& edit) {
    EditedFile file;
    WinError err = OpenForEdit(paths_, path, file);
    if (err != ERROR_SUCCESS) return err;
    return edit(file.ini, file.exists) ? Save(file) : ERROR_SUCCESS;
}

}  // namespace veldan::machine::image
