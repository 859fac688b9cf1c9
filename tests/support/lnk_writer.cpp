#include "support/lnk_writer.h"

#include <algorithm>
#include <string_view>

#include "text/codepage.h"

namespace veldan::test {
namespace {

// LinkFlags.
constexpr std::uint32_t kHasLinkInfo = 0x00000002;
constexpr std::uint32_t kHasName = 0x00000004;
constexpr std::uint32_t kHasRelativePath = 0x00000008;
constexpr std::uint32_t kHasWorkingDir = 0x00000010;
constexpr std::uint32_t kHasArguments = 0x00000020;
constexpr std::uint32_t kHasIconLocation = 0x00000040;
constexpr std::uint32_t kIsUnicode = 0x00000080;
constexpr std::uint32_t kHasExpString = 0x00000200;

constexpr std::uint32_t kFileAttributeArchive = 0x20;
constexpr std::uint32_t kDriveFixed = 3;
constexpr std::uint32_t kVolumeIdAndLocalBasePath = 0x1;
constexpr std::uint32_t kEnvironmentBlockSignature = 0xA0000001;
constexpr std::size_t kMaxPath = 260;

// {00021401-0000-0000-C000-000000000046} in its stored byte order.
constexpr std::string_view kLinkClsid(
    "\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16);

void Put16(std::string& out, std::uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void Put32(std::string& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

bool IsDrivePath(std::string_view path) {
    return path.size() >= 3 && ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') &&
           path[1] == ':' && (path[2] == '\\' || path[2] == '/');
}

// True when CP949 holds every character of `utf8`.
bool FitsCp949(std::string_view utf8) {
    return text::Cp949ToUtf8(text::Utf8ToCp949(utf8)) == utf8;
}

// LinkInfo of a file on a local fixed drive.
std::string LinkInfo(std::string_view path) {
    const bool withUnicode = !FitsCp949(path);
    const std::uint32_t headerSize = withUnicode ? 0x24 : 0x1C;

    std::string volumeId;
    Put32(volumeId, 0x11);  // VolumeIDSize: the fields and an empty label
    Put32(volumeId, kDriveFixed);
    Put32(volumeId, 0x1234ABCD);  // DriveSerialNumber
    Put32(volumeId, 0x10);        // VolumeLabelOffset
    volumeId.push_back('\0');

    const std::string ansiPath = text::Utf8ToCp949(path) + '\0';
    const std::uint32_t volumeIdOffset = headerSize;
    const auto localBasePathOffset = static_cast<std::uint32_t>(volumeIdOffset + volumeId.size());
    const auto commonPathSuffixOffset =
        static_cast<std::uint32_t>(localBasePathOffset + ansiPath.size());

    std::string body = volumeId + ansiPath + '\0';  // the common path suffix is empty
    std::uint32_t unicodePathOffset = 0;
    std::uint32_t unicodeSuffixOffset = 0;
    if (withUnicode) {
        const std::string unicodePath = text::Utf8ToUtf16Le(path) + std::string(2, '\0');
        unicodePathOffset = static_cast<std::uint32_t>(headerSize + body.size());
        unicodeSuffixOffset = static_cast<std::uint32_t>(unicodePathOffset + unicodePath.size());
        body += unicodePath + std::string(2, '\0');
    }

    std::string info;
    Put32(info, static_cast<std::uint32_t>(headerSize + body.size()));  // LinkInfoSize
    Put32(info, headerSize);
    Put32(info, kVolumeIdAndLocalBasePath);
    Put32(info, volumeIdOffset);
    Put32(info, localBasePathOffset);
    Put32(info, 0);  // CommonNetworkRelativeLinkOffset
    Put32(info, commonPathSuffixOffset);
    if (withUnicode) {
        Put32(info, unicodePathOffset);
        Put32(info, unicodeSuffixOffset);
    }
    return info + body;
}

// One StringData entry: a character count, then the characters without a terminator.
void PutString(std::string& out, std::string_view utf8, bool unicode) {
    std::string bytes = unicode ? text::Utf8ToUtf16Le(utf8) : text::Utf8ToCp949(utf8);
    const std::size_t unit = unicode ? 2 : 1;
    bytes.resize(std::min<std::size_t>(bytes.size(), 0xFFFF * unit));
    Put16(out, static_cast<std::uint32_t>(bytes.size() / unit));
    out += bytes;
}

// A fixed-size, zero-filled and zero-terminated string field.
std::string FixedField(std::string bytes, std::size_t size, std::size_t unit) {
    bytes.resize(std::min(bytes.size(), size - unit));
    bytes.resize(size, '\0');
    return bytes;
}

// EnvironmentVariableDataBlock holding `target` as CP949 and as UTF-16.
std::string EnvironmentBlock(std::string_view target) {
    std::string block;
    Put32(block, 0x314);
    Put32(block, kEnvironmentBlockSignature);
    block += FixedField(text::Utf8ToCp949(target), kMaxPath, 1);
    block += FixedField(text::Utf8ToUtf16Le(target), 2 * kMaxPath, 2);
    return block;
}

}  // namespace

std::string MakeShellLink(const LnkSpec& link) {
    const bool drivePath = IsDrivePath(link.target);
    const bool envPath = !drivePath && link.target.find('%') != std::string::npos;
    const bool relativePath = !drivePath && !envPath && !link.target.empty();

    std::uint32_t flags = 0;
    if (drivePath) flags |= kHasLinkInfo;
    if (!link.description.empty()) flags |= kHasName;
    if (relativePath) flags |= kHasRelativePath;
    if (!link.workingDirectory.empty()) flags |= kHasWorkingDir;
    if (!link.arguments.empty()) flags |= kHasArguments;
    if (!link.iconLocation.empty()) flags |= kHasIconLocation;
    if (link.unicode) flags |= kIsUnicode;
    if (envPath) flags |= kHasExpString;

    std::string out;
    Put32(out, 0x4C);  // HeaderSize
    out += kLinkClsid;
    Put32(out, flags);
    Put32(out, link.target.empty() ? 0 : kFileAttributeArchive);
    out.append(24, '\0');  // creation, access and write times
    Put32(out, 0);         // FileSize
    Put32(out, static_cast<std::uint32_t>(link.iconIndex));
    Put32(out, static_cast<std::uint32_t>(link.showCommand));
    Put16(out, link.hotKey);
    out.append(10, '\0');  // Reserved1..3

    if (drivePath) out += LinkInfo(link.target);

    if (flags & kHasName) PutString(out, link.description, link.unicode);
    if (flags & kHasRelativePath) PutString(out, link.target, link.unicode);
    if (flags & kHasWorkingDir) PutString(out, link.workingDirectory, link.unicode);
    if (flags & kHasArguments) PutString(out, link.arguments, link.unicode);
    if (flags & kHasIconLocation) PutString(out, link.iconLocation, link.unicode);

    if (envPath) out += EnvironmentBlock(link.target);
    Put32(out, 0);  // TerminalBlock
    return out;
}

}  // namespace veldan::test
