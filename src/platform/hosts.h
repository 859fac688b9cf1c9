#pragma once
// Fixed-place repairs: the host-name files, and the programs that lie in the
// Windows folder under a random eight-character name, are started with the
// switch "/dk" from the Run keys or a start-up shortcut, and have one of two
// exact sizes.

#include <cstdint>
#include <string>
#include <string_view>

#include "machine/registry.h"
#include "platform/context.h"

namespace veldan::platform {

// The two lengths a program of the random-name family has.
inline constexpr std::uint64_t kRandomNameSizeA = 614912;  // 0x96200
inline constexpr std::uint64_t kRandomNameSizeB = 697344;  // 0xAA400

// The host files: SYSDIR + "\\drivers\\etc\\hosts" and WINDIR + "\\hosts".
std::string SystemHostsPath(Context& ctx);
std::string WindowsHostsPath(Context& ctx);

// DeleteHostfile (cure only): CureFile on both host files; always 1.
int DeleteHostsFiles(Context& ctx);

// Adtomi: the five steps below in order (HKLM Run, HKCU Run, STARTUPDIR,
// CMNSTARTUPDIR, the Windows folder), each run whatever the others found.
// 1 when any step found something.
int RemoveRandomNamePrograms(Context& ctx, bool fix);

// 1 when the first eight characters of the text are ASCII letters or digits.
int IsRandomName(std::string_view text);

// Run values whose data is WINDIR + "\\" + a random name + ".exe /dk" (blanks
// collapsed and trimmed, case ignored). Scan records them as REGDAT; fix
// removes them with CureValue. Returns the number matched (scan: newly recorded).
int ScanRunValuesForRandomName(Context& ctx, machine::HKEY hive, std::string_view subKey, bool fix);
// Shortcuts ("*.lnk", the folder only) whose target is WINDIR + "\\" + a random
// name + ".exe" of one of the two sizes. Scan records the shortcut file; fix
// removes it with CureFile. Returns the number matched (scan: newly recorded).
int ScanStartupLinksForRandomName(Context& ctx, std::string_view folder, bool fix);
// "*.exe" files in WINDIR with a random name and one of the two sizes. Scan
// records them; fix removes them with CureFile. Returns the number matched
// (scan: newly recorded).
int ScanWindowsFolderForRandomName(Context& ctx, bool fix);

}  // namespace veldan::platform
