#pragma once
// The parts of a shell link (.lnk) file, byte by byte, to build links of every
// shape the shell opens, and damaged ones: the header, item ID lists and their
// items, LinkInfo structures, counted strings and extra data blocks. A file is
// the concatenation of the parts in the order of the format.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace veldan::test::lnk {

std::string Le16(std::uint32_t v);
std::string Le32(std::uint32_t v);

// The 76-byte header with these LinkFlags.
std::string Header(std::uint32_t flags, std::int32_t iconIndex = 0, std::uint32_t showCommand = 1,
                   std::uint16_t hotKey = 0);

// A LinkTargetIDList: its size, the items and the terminal item.
std::string IdList(std::initializer_list<std::string> items);

// The root item of My Computer.
std::string MyComputerItem();
// A drive item holding `drive` ("C:\\").
std::string DriveItem(std::string_view drive);
// A file (or folder) item: the primary name in CP949 and, when `longName` is not
// empty, a file entry extension block of `version` (3 as Windows XP writes it,
// 7, 8 or 9 as later versions do) holding the long name in UTF-16.
std::string FileItem(std::string_view primaryName, std::string_view longName, bool folder,
                     int version = 3);
// An item of a shape the shell names no drive path by (a control panel item).
std::string OtherItem();

// A LinkInfo of a local path: the ANSI form in CP949 and, when `unicode`, the
// UTF-16 forms of the base path and of the common path suffix.
std::string LocalLinkInfo(std::string_view basePath, std::string_view suffix, bool unicode);
// A LinkInfo of a share: the net name ("\\\\server\\share"), the mapped drive
// ("Z:", or empty) and the common path suffix, all ANSI.
std::string NetworkLinkInfo(std::string_view netName, std::string_view device,
                            std::string_view suffix);

// A StringData entry: the character count and the characters, UTF-16 or CP949.
std::string String(std::string_view utf8, bool unicode);

// An extra data block: size, signature and `payload`.
std::string Block(std::uint32_t signature, std::string_view payload);
// An EnvironmentVariableDataBlock (or IconEnvironmentDataBlock, by `signature`)
// holding `target` in CP949 and, when `unicode`, in UTF-16.
std::string EnvironmentBlock(std::uint32_t signature, std::string_view target, bool unicode);
// A TrackerDataBlock of machine `machineId`.
std::string TrackerBlock(std::string_view machineId);
// A PropertyStoreDataBlock with one serialized storage of one string property.
std::string PropertyStoreBlock();
// The terminal block.
std::string Terminal();

}  // namespace veldan::test::lnk
