#include "support/lnk_parts.h"

#include "text/codepage.h"

namespace veldan::test::lnk {
namespace {

// {00021401-0000-0000-C000-000000000046} in its stored byte order.
constexpr std::string_view kLinkClsid(
    "\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16);
// {20D04FE0-3AEA-1069-A2D8-08002B30309D}.
constexpr std::string_view kMyComputer(
    "\xE0\x4F\xD0\x20\xEA\x3A\x69\x10\xA2\xD8\x08\x00\x2B\x30\x30\x9D", 16);
// {21EC2020-3AEA-1069-A2DD-08002B30309D}, the control panel.
constexpr std::string_view kControlPanel(
    "\x20\x20\xEC\x21\xEA\x3A\x69\x10\xA2\xDD\x08\x00\x2B\x30\x30\x9D", 16);

constexpr std::size_t kMaxPath = 260;

std::string Sized16(std::string body) {
    return Le16(static_cast<std::uint32_t>(body.size() + 2)) + body;
}

std::string Fixed(std::string bytes, std::size_t size) {
    bytes.resize(size, '\0');
    return bytes;
}

std::string Utf16z(std::string_view utf8) {
    return text::Utf8ToUtf16Le(utf8) + std::string(2, '\0');
}
std::string Ansiz(std::string_view utf8) {
    return text::Utf8ToCp949(utf8) + '\0';
}

// The file entry extension block (0xBEEF0004) of a file item that starts its
// extension at `itemOffset`.
std::string FileEntryExtension(std::string_view longName, int version, std::size_t itemOffset) {
    std::size_t nameOffset = 20;
    if (version >= 7) nameOffset += 18;
    if (version >= 8) nameOffset += 4;
    if (version >= 9) nameOffset += 4;
    std::string body = Le16(static_cast<std::uint32_t>(version)) + Le32(0xBEEF0004);
    body += Le32(0x39652C39) + Le32(0x39692C39);  // creation and access DOS date-times
    body += Le16(static_cast<std::uint32_t>(nameOffset));
    body = Fixed(body, nameOffset - 2);  // file reference and other fields left zero
    body += Utf16z(longName);
    body += Le16(static_cast<std::uint32_t>(itemOffset));
    return Sized16(body);
}

}  // namespace

std::string Le16(std::uint32_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}

std::string Le32(std::uint32_t v) {
    return Le16(v & 0xFFFF) + Le16(v >> 16);
}

std::string Header(std::uint32_t flags, std::int32_t iconIndex, std::uint32_t showCommand,
                   std::uint16_t hotKey) {
    std::string h = Le32(0x4C) + std::string(kLinkClsid) + Le32(flags);
    h += Le32(0x20);               // FILE_ATTRIBUTE_ARCHIVE
    h += std::string(24, '\x01');  // creation, access and write times
    h += Le32(1234);               // FileSize
    h += Le32(static_cast<std::uint32_t>(iconIndex)) + Le32(showCommand) + Le16(hotKey);
    return h + std::string(10, '\0');
}

std::string IdList(std::initializer_list<std::string> items) {
    std::string list;
    for (const std::string& item : items) list += item;
    list += Le16(0);
    return Le16(static_cast<std::uint32_t>(list.size())) + list;
}

std::string MyComputerItem() {
    return Sized16("\x1F\x50" + std::string(kMyComputer));
}

std::string DriveItem(std::string_view drive) {
    return Sized16(Fixed("\x2F" + std::string(drive), 0x17));
}

std::string FileItem(std::string_view primaryName, std::string_view longName, bool folder,
                     int version) {
    std::string body = folder ? std::string("\x31\x00", 2) : std::string("\x32\x00", 2);
    body += Le32(folder ? 0 : 4096) + Le32(0x39692C39) + Le16(folder ? 0x10 : 0x20);
    body += Ansiz(primaryName);
    if (body.size() % 2 != 0) body += '\0';
    if (!longName.empty()) body += FileEntryExtension(longName, version, body.size() + 2);
    return Sized16(body);
}

std::string OtherItem() {
    return Sized16("\x1F\x70" + std::string(kControlPanel));
}

std::string LocalLinkInfo(std::string_view basePath, std::string_view suffix, bool unicode) {
    const std::uint32_t headerSize = unicode ? 0x24 : 0x1C;
    const std::string volumeId = Le32(0x11) + Le32(3) + Le32(0x1234ABCD) + Le32(0x10) + '\0';
    const std::string base = Ansiz(basePath);
    const std::string ansiSuffix = Ansiz(suffix);
    const std::uint32_t volumeAt = headerSize;
    const auto baseAt = static_cast<std::uint32_t>(volumeAt + volumeId.size());
    const auto suffixAt = static_cast<std::uint32_t>(baseAt + base.size());
    std::string body = volumeId + base + ansiSuffix;
    std::string offsets = Le32(volumeAt) + Le32(baseAt) + Le32(0) + Le32(suffixAt);
    if (unicode) {
        const auto uBaseAt = static_cast<std::uint32_t>(headerSize + body.size());
        body += Utf16z(basePath);
        const auto uSuffixAt = static_cast<std::uint32_t>(headerSize + body.size());
        body += Utf16z(suffix);
        offsets += Le32(uBaseAt) + Le32(uSuffixAt);
    }
    const auto size = static_cast<std::uint32_t>(headerSize + body.size());
    return Le32(size) + Le32(headerSize) + Le32(1) + offsets + body;
}

std::string NetworkLinkInfo(std::string_view netName, std::string_view device,
                            std::string_view suffix) {
    const std::uint32_t headerSize = 0x1C;
    const std::string net = Ansiz(netName);
    const std::string dev = Ansiz(device);
    std::string link = Le32(device.empty() ? 2 : 3);  // ValidNetType, ValidDevice
    link += Le32(0x14) + Le32(static_cast<std::uint32_t>(0x14 + net.size()));
    link += Le32(0x00020000);  // WNNC_NET_LANMAN
    link += net + dev;
    link = Le32(static_cast<std::uint32_t>(link.size() + 4)) + link;
    const auto suffixAt = static_cast<std::uint32_t>(headerSize + link.size());
    const std::string body = link + Ansiz(suffix);
    const auto size = static_cast<std::uint32_t>(headerSize + body.size());
    return Le32(size) + Le32(headerSize) + Le32(2) + Le32(0) + Le32(0) + Le32(headerSize) +
           Le32(suffixAt) + body;
}

std::string String(std::string_view utf8, bool unicode) {
    const std::string bytes = unicode ? text::Utf8ToUtf16Le(utf8) : text::Utf8ToCp949(utf8);
    return Le16(static_cast<std::uint32_t>(unicode ? bytes.size() / 2 : bytes.size())) + bytes;
}

std::string Block(std::uint32_t signature, std::string_view payload) {
    return Le32(static_cast<std::uint32_t>(8 + payload.size())) + Le32(signature) +
           std::string(payload);
}

std::string EnvironmentBlock(std::uint32_t signature, std::string_view target, bool unicode) {
    std::string payload = Fixed(text::Utf8ToCp949(target), kMaxPath);
    payload += Fixed(unicode ? text::Utf8ToUtf16Le(target) : std::string(), 2 * kMaxPath);
    return Block(signature, payload);
}

std::string TrackerBlock(std::string_view machineId) {
    std::string payload = Le32(0x58) + Le32(0) + Fixed(std::string(machineId), 16);
    payload += std::string(64, '\x5A');  // droid and birth droid identifiers
    return Block(0xA0000003, payload);
}

std::string PropertyStoreBlock() {
    // One serialized property storage of the format {F29F85E0-...} holding the
    // integer-named property 2 as a VT_LPWSTR, then the terminating zero sizes.
    const std::string value = Le32(0x1F) + Le32(6) + Fixed(text::Utf8ToUtf16Le("note"), 12);
    const std::string property =
        Le32(static_cast<std::uint32_t>(9 + value.size())) + Le32(2) + std::string(1, '\0') + value;
    std::string storage = "1SPS";
    storage += "\xE0\x85\x9F\xF2\xF9\x4F\x68\x10\xAB\x91\x08\x00\x2B\x27\xB3\xD9";
    storage += property + Le32(0);
    storage = Le32(static_cast<std::uint32_t>(storage.size() + 4)) + storage;
    return Block(0xA0000009, storage + Le32(0));
}

std::string Terminal() {
    return Le32(0);
}

}  // namespace veldan::test::lnk
