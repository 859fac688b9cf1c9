#pragma once
// Reader of shell link (.lnk) files, the published Shell Link Binary File Format:
// the header, the item ID list, the LinkInfo, the string data and the extra data
// blocks. Strict about bounds (every length and offset is checked against the
// file), lenient where the shell is lenient: unknown or odd extra data blocks,
// a missing terminal block and bytes after it are passed over.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "machine/win32.h"

namespace veldan::machine::image::lnk {

// LinkFlags of the header.
inline constexpr std::uint32_t kHasLinkTargetIdList = 0x00000001;
inline constexpr std::uint32_t kHasLinkInfo = 0x00000002;
inline constexpr std::uint32_t kHasName = 0x00000004;
inline constexpr std::uint32_t kHasRelativePath = 0x00000008;
inline constexpr std::uint32_t kHasWorkingDir = 0x00000010;
inline constexpr std::uint32_t kHasArguments = 0x00000020;
inline constexpr std::uint32_t kHasIconLocation = 0x00000040;
inline constexpr std::uint32_t kIsUnicode = 0x00000080;
inline constexpr std::uint32_t kForceNoLinkInfo = 0x00000100;
inline constexpr std::uint32_t kHasExpString = 0x00000200;
inline constexpr std::uint32_t kHasExpIcon = 0x00004000;

// Signatures of the extra data blocks.
inline constexpr std::uint32_t kEnvironmentBlock = 0xA0000001;
inline constexpr std::uint32_t kTrackerBlock = 0xA0000003;
inline constexpr std::uint32_t kIconEnvironmentBlock = 0xA0000007;
inline constexpr std::uint32_t kPropertyStoreBlock = 0xA0000009;

// What a shell link holds. Text is UTF-8: the Unicode form when the file has one,
// else the ANSI form read in code page 949.
struct LnkContents {
    // ShellLinkHeader.
    std::uint32_t flags = 0;
    std::uint32_t fileAttributes = 0;
    std::uint64_t creationTime = 0;
    std::uint64_t accessTime = 0;
    std::uint64_t writeTime = 0;
    std::uint32_t fileSize = 0;
    std::int32_t iconIndex = 0;
    std::uint32_t showCommand = 0;
    std::uint16_t hotKey = 0;

    // LinkTargetIDList: the drive path its items name, empty when it names none.
    bool hasIdList = false;
    std::string idListPath;

    // LinkInfo: the local base path joined with the common path suffix, and the
    // share's net name joined with the suffix; empty when absent.
    bool hasLinkInfo = false;
    std::string localPath;
    std::string networkPath;
    std::string deviceName;  // the mapped drive of the share ("Z:"), when valid

    // StringData.
    std::string description;
    std::string relativePath;
    std::string workingDirectory;
    std::string arguments;
    std::string iconLocation;

    // ExtraData: the signatures of the blocks in file order, and the targets of
    // the environment-variable and icon-environment blocks (unexpanded).
    std::vector<std::uint32_t> blocks;
    std::string environmentTarget;
    std::string iconEnvironmentTarget;
};

// Reads the bytes of a .lnk file into `link`. ERROR_SUCCESS, or ERROR_INVALID_DATA
// (and `link` untouched) when the bytes are not a shell link or a structure the
// flags announce runs past the end of the file.
WinError ReadLnk(std::string_view bytes, LnkContents& link);

}  // namespace veldan::machine::image::lnk
