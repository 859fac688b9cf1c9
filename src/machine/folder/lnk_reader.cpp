#include "machine/folder/lnk_reader.h"

#include <utility>

#include "machine/folder/lnk_bytes.h"
#include "machine/folder/lnk_id_list.h"
#include "text/codepage.h"

namespace veldan::machine::image::lnk {
namespace {

constexpr std::uint32_t kHeaderSize = 0x4C;
// {00021401-0000-0000-C000-000000000046} in its stored byte order.
constexpr std::string_view kLinkClsid(
    "\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16);

// LinkInfo.
constexpr std::uint32_t kLinkInfoMinHeader = 0x1C;
constexpr std::uint32_t kLinkInfoUnicodeHeader = 0x24;
constexpr std::uint32_t kVolumeIdAndLocalBasePath = 0x1;
constexpr std::uint32_t kCommonNetworkRelativeLinkAndPathSuffix = 0x2;
// CommonNetworkRelativeLink.
constexpr std::uint32_t kNetworkLinkMinSize = 0x14;
constexpr std::uint32_t kValidDevice = 0x1;

// Extra data blocks: size and signature, then the block's own fields.
constexpr std::uint32_t kBlockHeader = 8;
constexpr std::uint32_t kTerminalBlockBelow = 4;
constexpr std::size_t kMaxPath = 260;
constexpr std::uint32_t kEnvironmentBlockSize = kBlockHeader + kMaxPath * 3;  // 0x314

std::string Ansi(std::string_view bytes) {
    return UpToNul(text::Cp949ToUtf8(bytes));
}
std::string Unicode(std::string_view bytes) {
    return UpToNul(text::Utf16LeToUtf8(bytes));
}

// `base` followed by `suffix`, with one backslash between them when neither has it.
std::string JoinPath(std::string base, std::string_view suffix) {
    if (base.empty() || suffix.empty()) return base + std::string(suffix);
    if (base.back() != '\\' && suffix.front() != '\\') base += '\\';
    return base + std::string(suffix);
}

// A NUL-terminated string at `offset` of `area`, in the Unicode form when
// `unicodeOffset` names one, else in the ANSI form. Empty when an offset leads
// outside the area or the string has no terminator inside it.
std::string AreaString(const Bytes& area, std::uint32_t offset, std::uint32_t unicodeOffset) {
    std::string_view raw;
    if (unicodeOffset != 0) {
        return area.CString(unicodeOffset, 2, raw) ? Unicode(raw) : std::string();
    }
    if (offset == 0) return {};
    return area.CString(offset, 1, raw) ? Ansi(raw) : std::string();
}

// The share of a CommonNetworkRelativeLink: net name and device name.
void ReadNetworkLink(const Bytes& info, std::uint32_t at, std::string& netName,
                     std::string& device) {
    std::uint32_t size = 0;
    if (!info.U32(at, size) || size < kNetworkLinkMinSize || !info.Fits(at, size)) return;
    const Bytes link(info.Sub(at, size));
    std::uint32_t flags = 0;
    std::uint32_t netNameOffset = 0;
    std::uint32_t deviceOffset = 0;
    std::uint32_t netNameUnicode = 0;
    std::uint32_t deviceUnicode = 0;
    link.U32(4, flags);
    link.U32(8, netNameOffset);
    link.U32(12, deviceOffset);
    if (netNameOffset > kNetworkLinkMinSize) {  // the Unicode offsets follow
        link.U32(0x14, netNameUnicode);
        link.U32(0x18, deviceUnicode);
    }
    netName = AreaString(link, netNameOffset, netNameUnicode);
    if ((flags & kValidDevice) != 0) device = AreaString(link, deviceOffset, deviceUnicode);
}

// LinkInfo at `at`; false when it runs past the file. Inner offsets that lead
// outside the structure leave the paths they name empty.
bool ReadLinkInfo(const Bytes& file, std::size_t& at, LnkContents& link) {
    std::uint32_t size = 0;
    if (!file.U32(at, size) || size < 4 || !file.Fits(at, size)) return false;
    const Bytes info(file.Sub(at, size));
    at += size;
    link.hasLinkInfo = true;

    std::uint32_t headerSize = 0;
    std::uint32_t flags = 0;
    std::uint32_t localBase = 0;
    std::uint32_t networkLink = 0;
    std::uint32_t suffix = 0;
    std::uint32_t localBaseUnicode = 0;
    std::uint32_t suffixUnicode = 0;
    if (!info.U32(4, headerSize) || headerSize < kLinkInfoMinHeader || !info.Fits(0, headerSize)) {
        return true;
    }
    info.U32(8, flags);
    info.U32(16, localBase);
    info.U32(20, networkLink);
    info.U32(24, suffix);
    if (headerSize >= kLinkInfoUnicodeHeader) {
        info.U32(28, localBaseUnicode);
        info.U32(32, suffixUnicode);
    }
    const std::string commonSuffix = AreaString(info, suffix, suffixUnicode);
    if ((flags & kVolumeIdAndLocalBasePath) != 0) {
        std::string base = AreaString(info, localBase, localBaseUnicode);
        if (!base.empty()) link.localPath = JoinPath(std::move(base), commonSuffix);
    }
    if ((flags & kCommonNetworkRelativeLinkAndPathSuffix) != 0 && networkLink != 0) {
        std::string netName;
        ReadNetworkLink(info, networkLink, netName, link.deviceName);
        if (!netName.empty()) link.networkPath = JoinPath(std::move(netName), commonSuffix);
    }
    return true;
}

// One StringData entry at `at`: a 16-bit character count and the characters.
bool ReadString(const Bytes& file, std::size_t& at, bool unicode, std::string& out) {
    std::uint16_t count = 0;
    if (!file.U16(at, count)) return false;
    const std::size_t length = static_cast<std::size_t>(count) * (unicode ? 2 : 1);
    if (!file.Fits(at + 2, length)) return false;
    const std::string_view raw = file.Sub(at + 2, length);
    out = unicode ? Unicode(raw) : Ansi(raw);
    at += 2 + length;
    return true;
}

// The target of an environment-variable or icon-environment block: the Unicode
// form when it is filled, else the ANSI form.
std::string BlockTarget(std::string_view block) {
    const Bytes bytes(block);
    std::string target = Unicode(bytes.Sub(kBlockHeader + kMaxPath, 2 * kMaxPath));
    if (target.empty()) target = Ansi(bytes.Sub(kBlockHeader, kMaxPath));
    return target;
}

// The extra data blocks from `at` to the terminal block. A block whose size is
// too small or runs past the file ends the walk, as the end of the file does.
void ReadExtraData(const Bytes& file, std::size_t at, LnkContents& link) {
    std::uint32_t size = 0;
    std::uint32_t signature = 0;
    while (file.U32(at, size) && size >= kTerminalBlockBelow) {
        if (size < kBlockHeader || !file.Fits(at, size)) return;
        file.U32(at + 4, signature);
        link.blocks.push_back(signature);
        const std::string_view block = file.Sub(at, size);
        if (size >= kEnvironmentBlockSize) {
            if (signature == kEnvironmentBlock && link.environmentTarget.empty()) {
                link.environmentTarget = BlockTarget(block);
            } else if (signature == kIconEnvironmentBlock && link.iconEnvironmentTarget.empty()) {
                link.iconEnvironmentTarget = BlockTarget(block);
            }
        }
        at += size;
    }
}

}  // namespace

WinError ReadLnk(std::string_view bytes, LnkContents& link) {
    const Bytes file(bytes);
    LnkContents data;
    std::uint32_t headerSize = 0;
    if (!file.U32(0, headerSize) || headerSize != kHeaderSize || !file.Fits(0, kHeaderSize) ||
        file.Sub(4, kLinkClsid.size()) != kLinkClsid) {
        return ERROR_INVALID_DATA;
    }
    std::uint32_t iconIndex = 0;
    file.U32(0x14, data.flags);
    file.U32(0x18, data.fileAttributes);
    file.U64(0x1C, data.creationTime);
    file.U64(0x24, data.accessTime);
    file.U64(0x2C, data.writeTime);
    file.U32(0x34, data.fileSize);
    file.U32(0x38, iconIndex);
    file.U32(0x3C, data.showCommand);
    file.U16(0x40, data.hotKey);
    data.iconIndex = static_cast<std::int32_t>(iconIndex);
    std::size_t at = kHeaderSize;

    if ((data.flags & kHasLinkTargetIdList) != 0) {
        std::uint16_t listSize = 0;
        if (!file.U16(at, listSize) || !file.Fits(at + 2, listSize)) return ERROR_INVALID_DATA;
        data.hasIdList = true;
        IdListPath(file.Sub(at + 2, listSize), data.idListPath);
        at += 2 + static_cast<std::size_t>(listSize);
    }
    if ((data.flags & kHasLinkInfo) != 0 && !ReadLinkInfo(file, at, data)) {
        return ERROR_INVALID_DATA;
    }

    const bool unicode = (data.flags & kIsUnicode) != 0;
    const std::pair<std::uint32_t, std::string*> strings[] = {
        {kHasName, &data.description},
        {kHasRelativePath, &data.relativePath},
        {kHasWorkingDir, &data.workingDirectory},
        {kHasArguments, &data.arguments},
        {kHasIconLocation, &data.iconLocation},
    };
    for (const auto& [flag, out] : strings) {
        if ((data.flags & flag) != 0 && !ReadString(file, at, unicode, *out)) {
            return ERROR_INVALID_DATA;
        }
    }

    ReadExtraData(file, at, data);
    link = std::move(data);
    return ERROR_SUCCESS;
}

}  // namespace veldan::machine::image::lnk
