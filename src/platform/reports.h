#pragma once
// The report operations: the only way commands record what they find and what
// they fail to remove. Each builds the item's text in its fixed form and adds it
// to the found or failure list of the context; the result is that of the add
// (1 added, 0 duplicate), or 0 when the hive has no text.

#include <string_view>

#include "machine/win32.h"
#include "platform/context.h"

namespace veldan::platform {

// The list an item goes to: the found list (what a scan finds, with the
// registry place the cure acts on) or the failure list (what a cure could not
// remove, its text alone).
enum class ItemList { Found, Failed };
inline constexpr ItemList kFound = ItemList::Found;
inline constexpr ItemList kFailed = ItemList::Failed;

int ReportKey(Context& ctx, ItemList list, machine::HKEY hive, std::string_view subKey);
// A found REG_SZ / REG_EXPAND_SZ value that fits 260 bytes becomes REGDAT with
// its data; anything else (absent, too long, other types, a failure) REGVAL.
int ReportValue(Context& ctx, ItemList list, machine::HKEY hive, std::string_view subKey,
                std::string_view valueName);
int ReportData(Context& ctx, ItemList list, machine::HKEY hive, std::string_view subKey,
               std::string_view valueName, std::string_view data);
// Found: "%s [%s] \"%s\"=\"%s\"" of file, section, key, value; failed: the same
// without the brackets.
int ReportProfileString(Context& ctx, ItemList list, std::string_view section, std::string_view key,
                        std::string_view value, std::string_view file);
// FILE / DIR items carry the long form of the path ("" when it does not exist).
int ReportFile(Context& ctx, ItemList list, std::string_view path);
int ReportDir(Context& ctx, ItemList list, std::string_view path);
// A found LSP item: the key's text, with the provider.
int ReportFoundLsp(Context& ctx, machine::HKEY hive, std::string_view key,
                   std::string_view provider);

}  // namespace veldan::platform
