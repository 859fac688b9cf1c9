#pragma once
// The file-system path an item ID list of a shell link names, as the shell
// derives it: the My Computer root item, a drive item ("C:\\"), then one
// file-system item per folder and file, joined with backslashes.

#include <string>
#include <string_view>

namespace veldan::machine::image::lnk {

// The path (UTF-8) of `idList`, the IDList bytes of a LinkTargetIDList (items and
// terminal item, without the leading IDListSize). False, with `path` untouched,
// when the list is damaged or holds items of another shape (network places,
// control panel items, ...), which name no drive path.
bool IdListPath(std::string_view idList, std::string& path);

}  // namespace veldan::machine::image::lnk
