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

// A line break inside a name or value would write lines of its own.
bool HasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
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

// The text of an existing profile file; nullopt when it is missing or unreadable.
std::optional<IniText> Load(const HostPaths& paths, const std::string& winPath) {
    std::string hostPath;
    if (paths.Resolve(winPath, hostPath) != ERROR_SUCCESS) return std::nullopt;
    std::error_code ec;
    if (std::filesystem::is_directory(hostPath, ec)) return std::nullopt;
    std::string utf8;
    if (!host::ReadTextFile(hostPath, utf8)) return std::nullopt;
    return IniText(utf8);
}

}  // namespace

ImageProfiles::ImageProfiles(HostPaths& paths, std::string windowsDirectory)
    : paths_(paths), windowsDirectory_(std::move(windowsDirectory)) {}

std::string ImageProfiles::FullPath(std::string_view file) const {
    if (file.find_first_of("\\/") != std::string_view::npos) return std::string(file);
    std::string path = windowsDirectory_;
    if (!path.empty() && path.back() != '\\' && path.back() != '/') path.push_back('\\');
    path.append(file);
    return path;
}

std::string ImageProfiles::GetString(std::string_view section, std::string_view key,
                                     std::string_view def, std::string_view file) const {
    if (file.empty()) return std::string(def);
    std::optional<IniText> ini = Load(paths_, FullPath(file));
    if (!ini) return std::string(def);
    std::optional<std::string> value = ini->Find(section, key);
    if (!value) return std::string(def);
    // As GetPrivateProfileString does, one pair of matching quotes (double or
    // single) around the whole value is dropped.
    std::string& v = *value;
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    return v;
}

std::vector<std::pair<std::string, std::string>> ImageProfiles::GetSection(
    std::string_view section, std::string_view file) const {
    if (file.empty()) return {};
    std::optional<IniText> ini = Load(paths_, FullPath(file));
    if (!ini) return {};
    return ini->Section(section);
}

std::vector<std::string> ImageProfiles::GetSectionNames(std::string_view file) const {
    if (file.empty()) return {};
    std::optional<IniText> ini = Load(paths_, FullPath(file));
    if (!ini) return {};
    return ini->SectionNames();
}

WinError ImageProfiles::WriteString(std::string_view section, std::optional<std::string_view> key,
                                    std::optional<std::string_view> value, std::string_view file) {
    if (file.empty() || HasLineBreak(section) || (key && HasLineBreak(*key)) ||
        (value && HasLineBreak(*value))) {
        return ERROR_INVALID_PARAMETER;
    }
    EditedFile edited;
    WinError err = OpenForEdit(paths_, FullPath(file), edited);
    if (err != ERROR_SUCCESS) return err;

    if (!key || !value) {
        // Deleting from a file that is not there has nothing to do and creates nothing.
        if (!edited.exists) return ERROR_SUCCESS;
        bool changed =
            key ? edited.ini.DeleteKey(section, *key) : edited.ini.DeleteSection(section);
        return changed ? Save(edited) : ERROR_SUCCESS;
    }
    edited.ini.Set(section, *key, *value);
    return Save(edited);
}

WinError ImageProfiles::AppendString(std::string_view section, std::string_view key,
                                     std::string_view value, std::string_view file) {
    if (file.empty() || HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) {
        return ERROR_INVALID_PARAMETER;
    }
    EditedFile edited;
    WinError err = OpenForEdit(paths_, FullPath(file), edited);
    if (err != ERROR_SUCCESS) return err;
    edited.ini.Append(section, key, value);
    return Save(edited);
}

}  // namespace veldan::machine::image
