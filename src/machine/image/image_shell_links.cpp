#include "machine/image/image_shell_links.h"

#include <liblnk.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "text/codepage.h"
#include "text/strings.h"

namespace veldan::machine::image {
namespace {

// The code page of the ANSI strings of the machine's links (Korean Windows).
constexpr int kAnsiCodePage = LIBLNK_CODEPAGE_WINDOWS_949;

// Offsets of the numbers in the 76-byte shell link header.
constexpr std::size_t kHeaderSize = 0x4C;
constexpr std::size_t kIconIndexOffset = 0x38;
constexpr std::size_t kShowCommandOffset = 0x3C;
constexpr std::size_t kHotKeyOffset = 0x40;
constexpr std::size_t kLinkFlagsOffset = 0x14;
constexpr std::uint32_t kHasLinkTargetIdList = 0x01;
constexpr std::uint32_t kHasLinkInfo = 0x02;

std::uint16_t Read16(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      static_cast<unsigned char>(bytes[at + 1]) << 8);
}

std::uint32_t Read32(std::string_view bytes, std::size_t at) {
    return Read16(bytes, at) | static_cast<std::uint32_t>(Read16(bytes, at + 2)) << 16;
}

// False when the link announces a LinkInfo larger than the rest of the file.
// liblnk allocates what that size field says (up to 4 GiB) before it compares
// it with the file, so such a link is refused before liblnk sees it.
bool LinkInfoFits(std::string_view bytes) {
    if (bytes.size() < kHeaderSize) return true;  // liblnk refuses it by itself
    const std::uint32_t flags = Read32(bytes, kLinkFlagsOffset);
    if ((flags & kHasLinkInfo) == 0) return true;
    std::size_t at = kHeaderSize;
    if ((flags & kHasLinkTargetIdList) != 0) {
        if (bytes.size() < at + 2) return false;
        at += 2 + Read16(bytes, at);
    }
    if (bytes.size() < at + 4) return false;
    return Read32(bytes, at) <= bytes.size() - at;
}

// A liblnk error, freed when a call reports a new one and at the end of the scope.
class LnkError {
  public:
    LnkError() = default;
    LnkError(const LnkError&) = delete;
    LnkError& operator=(const LnkError&) = delete;
    ~LnkError() { Free(); }
    liblnk_error_t** out() {
        Free();
        return &error_;
    }

  private:
    void Free() {
        if (error_ != nullptr) liblnk_error_free(&error_);
    }
    liblnk_error_t* error_ = nullptr;
};

// An opened liblnk file, closed and freed at the end of the scope.
class LnkFile {
  public:
    LnkFile() = default;
    LnkFile(const LnkFile&) = delete;
    LnkFile& operator=(const LnkFile&) = delete;
    ~LnkFile() {
        LnkError error;
        if (open_) liblnk_file_close(file_, error.out());
        if (file_ != nullptr) liblnk_file_free(&file_, error.out());
    }

    // True when the file was read as a shell link.
    bool Open(const std::string& hostPath) {
        LnkError error;
        if (liblnk_file_initialize(&file_, error.out()) != 1) return false;
        if (liblnk_file_set_ascii_codepage(file_, kAnsiCodePage, error.out()) != 1) return false;
        if (liblnk_file_open(file_, hostPath.c_str(), LIBLNK_OPEN_READ, error.out()) != 1) {
            return false;
        }
        open_ = true;
        return true;
    }

    liblnk_file_t* get() const { return file_; }

  private:
    liblnk_file_t* file_ = nullptr;
    bool open_ = false;
};

using SizeGetter = int (*)(liblnk_file_t*, size_t*, liblnk_error_t**);
using StringGetter = int (*)(liblnk_file_t*, uint8_t*, size_t, liblnk_error_t**);

// One string of the link as UTF-8: 1 when present, 0 when the link has none,
// -1 when liblnk cannot read it.
int GetString(const LnkFile& file, SizeGetter sizeOf, StringGetter get, std::string& out) {
    LnkError error;
    size_t size = 0;
    int rc = sizeOf(file.get(), &size, error.out());
    if (rc != 1) return rc;
    if (size == 0) {
        out.clear();
        return 1;
    }
    std::string buffer(size, '\0');
    rc = get(file.get(), reinterpret_cast<uint8_t*>(buffer.data()), size, error.out());
    if (rc != 1) return rc;
    buffer.resize(buffer.find('\0') == std::string::npos ? size : buffer.find('\0'));
    out = std::move(buffer);
    return 1;
}

// The number at the start of `s` as GetPrivateProfileInt reads it, or `def` when there is none.
long ProfileNumber(std::string_view s, long def) {
    std::string t = text::Trim(s);
    if (t.empty()) return def;
    char* end = nullptr;
    long v = std::strtol(t.c_str(), &end, 10);
    return end == t.c_str() ? def : v;
}

}  // namespace

ImageShellLinks::ImageShellLinks(HostPaths& paths, const Profiles& profiles)
    : paths_(paths), profiles_(profiles) {}

WinError ImageShellLinks::LoadShellLink(std::string_view path, ShellLinkData& link) const {
    std::string hostPath;
    WinError err = paths_.Resolve(path, hostPath);
    if (err != ERROR_SUCCESS) return err;
    std::error_code ec;
    if (std::filesystem::is_directory(hostPath, ec)) return ERROR_ACCESS_DENIED;
    std::string bytes;
    if (!text::ReadHostFile(hostPath, bytes)) return ERROR_ACCESS_DENIED;
    if (!LinkInfoFits(bytes)) return ERROR_INVALID_DATA;

    LnkFile file;
    if (!file.Open(hostPath)) return ERROR_INVALID_DATA;

    ShellLinkData data;
    // The target: the local path of the LinkInfo, else the network path, else the
    // environment-variable target, else the relative path as stored.
    const std::pair<SizeGetter, StringGetter> targets[] = {
        {liblnk_file_get_utf8_local_path_size, liblnk_file_get_utf8_local_path},
        {liblnk_file_get_utf8_network_path_size, liblnk_file_get_utf8_network_path},
        {liblnk_file_get_utf8_environment_variables_location_size,
         liblnk_file_get_utf8_environment_variables_location},
        {liblnk_file_get_utf8_relative_path_size, liblnk_file_get_utf8_relative_path},
    };
    for (const auto& [sizeOf, get] : targets) {
        int rc = GetString(file, sizeOf, get, data.target);
        if (rc < 0) return ERROR_INVALID_DATA;
        if (rc == 1) break;
    }
    if (GetString(file, liblnk_file_get_utf8_command_line_arguments_size,
                  liblnk_file_get_utf8_command_line_arguments, data.arguments) < 0 ||
        GetString(file, liblnk_file_get_utf8_working_directory_size,
                  liblnk_file_get_utf8_working_directory, data.workingDirectory) < 0 ||
        GetString(file, liblnk_file_get_utf8_description_size, liblnk_file_get_utf8_description,
                  data.description) < 0 ||
        GetString(file, liblnk_file_get_utf8_icon_location_size, liblnk_file_get_utf8_icon_location,
                  data.iconLocation) < 0) {
        return ERROR_INVALID_DATA;
    }

    // The numbers of the header are read from its bytes: liblnk 20181227 reports
    // the header's file size as the show command and the hot key.
    if (bytes.size() < kHeaderSize) return ERROR_INVALID_DATA;
    data.iconIndex = static_cast<std::int32_t>(Read32(bytes, kIconIndexOffset));
    data.showCommand = static_cast<int>(Read32(bytes, kShowCommandOffset));
    data.hotKey = Read16(bytes, kHotKeyOffset);
    link = std::move(data);
    return ERROR_SUCCESS;
}

WinError ImageShellLinks::LoadUrlShortcut(std::string_view path, UrlShortcutData& link) const {
    std::string hostPath;
    WinError err = paths_.Resolve(path, hostPath);
    if (err != ERROR_SUCCESS) return err;
    std::error_code ec;
    if (std::filesystem::is_directory(hostPath, ec)) return ERROR_ACCESS_DENIED;

    // Read through the private-profile calls, as the shell does. A file without a
    // URL key still loads, with an empty URL, as it opens in the shell.
    constexpr std::string_view kSection = "InternetShortcut";
    UrlShortcutData data;
    data.url = profiles_.GetString(kSection, "URL", "", path);
    data.iconLocation = profiles_.GetString(kSection, "IconFile", "", path);
    data.iconIndex = static_cast<int>(
        ProfileNumber(profiles_.GetString(kSection, "IconIndex", "", path), data.iconIndex));
    data.workingDirectory = profiles_.GetString(kSection, "WorkingDirectory", "", path);
    data.hotKey = static_cast<std::uint16_t>(
        ProfileNumber(profiles_.GetString(kSection, "HotKey", "", path), data.hotKey));
    data.showCommand = static_cast<int>(
        ProfileNumber(profiles_.GetString(kSection, "ShowCommand", "", path), data.showCommand));
    link = std::move(data);
    return ERROR_SUCCESS;
}

}  // namespace veldan::machine::image
