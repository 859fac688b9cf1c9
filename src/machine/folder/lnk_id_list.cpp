#include "machine/folder/lnk_id_list.h"

#include <cstdint>
#include <vector>

#include "machine/folder/lnk_bytes.h"
#include "text/codepage.h"

namespace veldan::machine::image::lnk {
namespace {

// {20D04FE0-3AEA-1069-A2D8-08002B30309D}, My Computer, in its stored byte order.
constexpr std::string_view kMyComputer(
    "\xE0\x4F\xD0\x20\xEA\x3A\x69\x10\xA2\xD8\x08\x00\x2B\x30\x30\x9D", 16);

constexpr unsigned kRootItem = 0x1F;
constexpr unsigned kClassMask = 0x70;
constexpr unsigned kDriveClass = 0x20;
constexpr unsigned kFileClass = 0x30;
constexpr unsigned kUnicodeNameFlag = 0x04;  // of a file item: the primary name is UTF-16

// Offsets inside the items (each item starts with its 16-bit size).
constexpr std::size_t kClassOffset = 2;
constexpr std::size_t kRootClsidOffset = 4;
constexpr std::size_t kDriveNameOffset = 3;
constexpr std::size_t kPrimaryNameOffset = 14;

// The file entry extension block that carries the long name.
constexpr std::string_view kFileEntrySignature("\x04\x00\xEF\xBE", 4);  // 0xBEEF0004
constexpr std::size_t kExtensionHeader = 8;                             // size, version, signature

// The items of the list; false when an item runs past the list or is too short.
bool SplitItems(std::string_view idList, std::vector<std::string_view>& items) {
    const Bytes list(idList);
    std::size_t at = 0;
    std::uint16_t size = 0;
    while (list.U16(at, size)) {
        if (size == 0) return true;  // the terminal item
        if (size <= kClassOffset || !list.Fits(at, size)) return false;
        items.push_back(idList.substr(at, size));
        at += size;
    }
    // No terminal item: the shell takes the list as it stands when it ends exactly.
    return at == idList.size();
}

unsigned ClassOf(std::string_view item) {
    return static_cast<unsigned char>(item[kClassOffset]);
}

bool IsMyComputer(std::string_view item) {
    return ClassOf(item) == kRootItem &&
           item.substr(kRootClsidOffset, kMyComputer.size()) == kMyComputer;
}

// "C:\\" of a drive item.
bool DriveName(std::string_view item, std::string& drive) {
    if ((ClassOf(item) & kClassMask) != kDriveClass) return false;
    std::string_view name;
    if (!Bytes(item).CString(kDriveNameOffset, 1, name)) return false;
    if (name.size() < 2 || name.size() > 3 || name[1] != ':') return false;
    const char letter = static_cast<char>(name[0] | 0x20);
    if (letter < 'a' || letter > 'z') return false;
    if (name.size() == 3 && name[2] != '\\') return false;
    drive.assign(1, static_cast<char>(name[0] & ~0x20));
    drive += ":\\";
    return true;
}

// The long UTF-16 name of the file entry extension block found at or after `from`.
std::string LongName(std::string_view item, std::size_t from) {
    const Bytes bytes(item);
    std::size_t found = item.find(kFileEntrySignature, from + 4);
    while (found != std::string_view::npos) {
        const std::size_t block = found - 4;
        std::uint16_t blockSize = 0;
        std::uint16_t version = 0;
        if (bytes.U16(block, blockSize) && bytes.U16(block + 2, version) &&
            blockSize >= kExtensionHeader && bytes.Fits(block, blockSize) && version >= 3) {
            // The name follows fields that grew with the version of the block.
            std::size_t nameOffset = 20;
            if (version >= 7) nameOffset += 18;
            if (version >= 8) nameOffset += 4;
            if (version >= 9) nameOffset += 4;
            std::string_view name;
            if (Bytes(item.substr(block, blockSize)).CString(nameOffset, 2, name) &&
                !name.empty()) {
                return text::Utf16LeToUtf8(name);
            }
        }
        found = item.find(kFileEntrySignature, found + 1);
    }
    return {};
}

// The name of a file or folder item: the long name of its extension block when it
// has one, else its primary name.
bool FileName(std::string_view item, std::string& name) {
    const unsigned cls = ClassOf(item);
    if ((cls & kClassMask) != kFileClass) return false;
    const Bytes bytes(item);
    const std::size_t unit = (cls & kUnicodeNameFlag) != 0 ? 2 : 1;
    std::string_view primary;
    if (!bytes.CString(kPrimaryNameOffset, unit, primary)) return false;
    name = LongName(item, kPrimaryNameOffset + primary.size() + unit);
    if (name.empty()) {
        name = unit == 2 ? text::Utf16LeToUtf8(primary) : text::Cp949ToUtf8(primary);
    }
    return !name.empty() && name.find('\\') == std::string::npos;
}

}  // namespace

bool IdListPath(std::string_view idList, std::string& path) {
    std::vector<std::string_view> items;
    if (!SplitItems(idList, items) || items.size() < 2) return false;
    if (items[0].size() < kRootClsidOffset + kMyComputer.size() || !IsMyComputer(items[0])) {
        return false;
    }
    std::string result;
    if (!DriveName(items[1], result)) return false;
    for (std::size_t i = 2; i < items.size(); ++i) {
        std::string name;
        if (!FileName(items[i], name)) return false;
        if (i > 2) result += '\\';
        result += name;
    }
    path = std::move(result);
    return true;
}

}  // namespace veldan::machine::image::lnk
