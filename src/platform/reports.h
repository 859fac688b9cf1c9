#pragma once
// The report operations: the only way commands record what they find and what
// they fail to remove. Each builds the item's text in its fixed form and adds it
// to the found or failure list of the context; the result is that of the add
// (1 added, 0 duplicate), or 0 when the hive has no text.

#include <string_view>

#include "machine/win32.h"
#include "platform/context.h"

namespace veldan::platform {

int ReportFoundKey(Context& ctx, machine::HKEY hive, std::string_view subKey);
// A REG_SZ / REG_EXPAND_SZ value that fits 260 bytes becomes REGDAT with its
// data; anything else (absent, too long, other types) REGVAL.
int ReportFoundValue(Context& ctx, machine::HKEY hive, std::string_view subKey,
                     std::string_view valueName);
int ReportFoundData(Context& ctx, machine::HKEY hive, std::string_view subKey,
                    std::string_view valueName, std::string_view data);
// "%s [%s] \"%s\"=\"%s\"" of file, section, key, value.
int ReportFoundProfileString(Context& ctx, std::string_view section, std::string_view key,
                             std::string_view value, std::string_view file);
// FILE / DIR items carry the long form of the path ("" when it does not exist).
int ReportFoundFile(Context& ctx, std::string_view path);
int ReportFoundDir(Context& ctx, std::string_view path);
int ReportFoundLsp(Context& ctx, machine::HKEY hive, std::string_view key,
                   std::string_view provider);

int ReportFailedKey(Context& ctx, machine::HKEY hive, std::string_view subKey);
int ReportFailedValue(Context& ctx, machine::HKEY hive, std::string_view subKey,
                      std::string_view valueName);
int ReportFailedData(Context& ctx, machine::HKEY hive, std::string_view subKey,
                     std::string_view valueName, std::string_view data);
// "%s %s \"%s\"=\"%s\"" of file, section, key, value (no brackets).
int ReportFailedProfileString(Context& ctx, std::string_view section, std::string_view key,
                              std::string_view value, std::string_view file);
int ReportFailedFile(Context& ctx, std::string_view path);
int ReportFailedDir(Context& ctx, std::string_view path);

}  // namespace veldan::platform
