#pragma once
// Registry operations of the system: hive names and trace texts, single-key
// operations, enumeration, tree deletion with the access-rights override, and
// the scan and cure operations that the registry commands run.
//
// Every operation opens what it needs and returns an int: 1 (or a count) for
// success or found, 0 for failure or not found, -1 only for the counts. Buffers
// of 260 bytes are counted in CP949 bytes, as on Windows.

#include <string>
#include <string_view>
#include <vector>

#include "machine/registry.h"
#include "platform/context.h"

namespace veldan::platform {

using machine::HKEY;

// The size of the name and data buffers the operations use.
inline constexpr std::size_t kMaxPath = 260;

// ---- hive names and trace texts

// "HKCR", "HKCU", "HKLM" or "HKU" for the four roots; otherwise 0, `out` emptied
// and the debug line "HKEY2STR... %d\n" (the handle as a signed number).
int HKEY2STR(Context& ctx, HKEY hive, std::string& out);
// The root of a short hive text ("hklm" too); otherwise 0 and "STR2HKEY... " + text + "\n".
int STR2HKEY(Context& ctx, std::string_view text, HKEY& out);
// "HKLM\\Software\\X"; an empty sub-key gives "HKLM\\".
int MakeKeyText(Context& ctx, HKEY hive, std::string_view subKey, std::string& out);
// Key text, a blank, the value name in double quotes.
int MakeValueText(Context& ctx, HKEY hive, std::string_view subKey, std::string_view valueName,
                  std::string& out);
// Key text, a blank, the quoted name, "=", the quoted data.
int MakeDataText(Context& ctx, HKEY hive, std::string_view subKey, std::string_view valueName,
                 std::string_view data, std::string& out);

// ---- single-key operations

int KeyExists(Context& ctx, HKEY hive, std::string_view subKey);
int ValueExists(Context& ctx, HKEY hive, std::string_view subKey, std::string_view valueName);
// Direct sub-keys / values; -1 when the key cannot be opened.
int CountSubKeys(Context& ctx, HKEY hive, std::string_view subKey);
int CountValues(Context& ctx, HKEY hive, std::string_view subKey);
// A REG_SZ or REG_EXPAND_SZ value (as stored) that fits 260 bytes; else 0 and `out` emptied.
int ReadStringValue(Context& ctx, HKEY hive, std::string_view subKey, std::string_view valueName,
                    std::string& out);
// A REG_DWORD value.
int ReadDwordValue(Context& ctx, HKEY hive, std::string_view subKey, std::string_view valueName,
                   std::uint32_t& out);
// Writes REG_SZ data of exactly the text's bytes (no terminating NUL), creating the key path.
int WriteStringValue(Context& ctx, HKEY hive, std::string_view subKey, std::string_view valueName,
                     std::string_view text);
// 1 when the value is absent or was deleted.
int DeleteValueIfPresent(Context& ctx, HKEY hive, std::string_view subKey,
                         std::string_view valueName);
// 1 when the key was empty and is deleted.
int DeleteEmptyKey(Context& ctx, HKEY hive, std::string_view subKey);

// ---- diagnostics and paths

// Writes `operation` + "() error... " + the system's message for `error` + "\n".
void LogLastError(Context& ctx, std::string_view operation, machine::WinError error);
// The long / short form of a path; 1 when not empty (empty when the path does not exist).
int ToLongPath(Context& ctx, std::string_view path, std::string& out);
int ToShortPath(Context& ctx, std::string_view path, std::string& out);

// ---- enumeration and tree deletion

// Names of the direct sub-keys; "RegEnumKey... " + key text for a name that
// cannot be read. Returns the number listed.
int EnumSubKeyNames(Context& ctx, HKEY hive, std::string_view subKey,
                    std::vector<std::string>& out);
// String values whose data contains (exact: equals) `data`, ignoring case;
// scanning reports each, curing deletes them after the enumeration. Returns the count.
int FindValuesByData(Context& ctx, HKEY hive, std::string_view subKey, std::string_view data,
                     bool exact, bool cure);
// 1 when the value is a string containing `pattern` (case ignored).
int ValueDataContains(Context& ctx, HKEY hive, std::string_view subKey, std::string_view valueName,
                      std::string_view pattern);
// Deletes the tree; 1 when it is gone afterwards (also when it never existed).
// On the NT family the tree's access rights are taken over first.
int DeleteKeyTree(Context& ctx, HKEY hive, std::string_view subKey);
int ApplyKeySecurity(Context& ctx, HKEY hive, std::string_view subKey,
                     const machine::KeySecurity& security, bool recursive);
int SaveKeySecurity(Context& ctx, HKEY hive, std::string_view subKey, machine::KeySecurity& out);

// ---- scan and cure operations

int ScanKey(Context& ctx, HKEY hive, std::string_view subKey);
int CureKey(Context& ctx, HKEY hive, std::string_view subKey);
int ScanValue(Context& ctx, HKEY hive, std::string_view subKey, std::string_view valueName);
int CureValue(Context& ctx, HKEY hive, std::string_view subKey, std::string_view valueName);
int ScanValueByData(Context& ctx, HKEY hive, std::string_view subKey, std::string_view data);
int CureValueByData(Context& ctx, HKEY hive, std::string_view subKey, std::string_view data);
int ScanKeyByData(Context& ctx, HKEY hive, std::string_view subKey, std::string_view data);
int CureKeyByData(Context& ctx, HKEY hive, std::string_view subKey, std::string_view data);
int CureEmptyKey(Context& ctx, HKEY hive, std::string_view subKey);

int ScanValueByExactData(Context& ctx, HKEY hive, std::string_view subKey, std::string_view data);
int CureValueByExactData(Context& ctx, HKEY hive, std::string_view subKey, std::string_view data);
int ScanValueIfDataContains(Context& ctx, HKEY hive, std::string_view subKey,
                            std::string_view valueName, std::string_view pattern);
int ScanValueIfDataLacks(Context& ctx, HKEY hive, std::string_view subKey,
                         std::string_view valueName, std::string_view pattern);
// Writes the string value; on failure records a REGDAT failure with the data written.
int CureStringValue(Context& ctx, HKEY hive, std::string_view subKey, std::string_view valueName,
                    std::string_view data);

}  // namespace veldan::platform
