#pragma once
// Registry commands that look under one fixed family of keys for a name or a
// text given by the script: the software, services, enum, extension, zone,
// uninstall, context-menu, toolbar and browser-setting places.
//
// Scan handlers record what they find and return 1 when anything new was
// recorded (MenuExtKeyByData: the number of sub-keys with a new match); cure
// handlers remove what they find, report what they could not remove and return
// 1 when any removal attempt returned nonzero. Every place is always tried. A
// name that is empty or only blanks and backslashes names nothing (result 0).

#include <span>
#include <string_view>

#include "machine/registry.h"
#include "platform/context.h"

namespace veldan::commands {

// One place: a hive and the key below which the script's name is looked up.
struct RegistryPlace {
    machine::HKEY hive;
    std::string_view base;
};

// The places of the named-key commands, in the order they are tried. A key
// command looks at base + "\\" + N; a value command at the value N of base.
std::span<const RegistryPlace> SoftwareKeyPlaces();
std::span<const RegistryPlace> ServicesKeyPlaces();
std::span<const RegistryPlace> EnumRootKeyPlaces();
std::span<const RegistryPlace> ExtensionsKeyPlaces();    // keys; see ExtensionsValuePlaces
std::span<const RegistryPlace> ExtensionsValuePlaces();  // "...\\Extensions\\CmdMapping"
std::span<const RegistryPlace> UninstallKeyPlaces();
std::span<const RegistryPlace> MenuExtKeyPlaces();
std::span<const RegistryPlace> ToolbarValuePlaces();
std::span<const RegistryPlace> MainValuePlaces();
std::span<const RegistryPlace> IEValuePlaces();

// ScanKey / CureKey of base + "\\" + name at each place; 1 when any returned nonzero.
int ScanKeyPlaces(platform::Context& ctx, std::span<const RegistryPlace> places,
                  std::string_view name);
int CureKeyPlaces(platform::Context& ctx, std::span<const RegistryPlace> places,
                  std::string_view name);
// ScanValue / CureValue of the value `name` at each place; 1 when any returned nonzero.
int ScanValuePlaces(platform::Context& ctx, std::span<const RegistryPlace> places,
                    std::string_view name);
int CureValuePlaces(platform::Context& ctx, std::span<const RegistryPlace> places,
                    std::string_view name);

// SoftwareKey N.
int ScanSoftwareKey(platform::Context& ctx, std::string_view name);
int CureSoftwareKey(platform::Context& ctx, std::string_view name);
// ServicesKey N and EnumRootKey N: one handler, fix = cure mode.
int ServicesKey(platform::Context& ctx, std::string_view name, bool fix);
int EnumRootKey(platform::Context& ctx, std::string_view name, bool fix);
// ExtensionsKey N: the three extension keys, then the CmdMapping value N.
int ScanExtensionsKey(platform::Context& ctx, std::string_view name);
int CureExtensionsKey(platform::Context& ctx, std::string_view name);
// DomainsKey N: a ZoneMap domain key whose "*" value is the DWORD 2 (trusted
// sites), in HKLM and HKCU. With report 0 the scan only tests (nothing is
// recorded) and returns 1 when either hive qualifies.
int ScanDomainsKey(platform::Context& ctx, std::string_view domain, int report = 1);
// Deletes the domain key in both hives when it qualifies in either.
int CureDomainsKey(platform::Context& ctx, std::string_view domain);
// UninstallKey N: the two Uninstall keys and the ARPCache key.
int ScanUninstallKey(platform::Context& ctx, std::string_view name);
int CureUninstallKey(platform::Context& ctx, std::string_view name);
// ModuleUsageKey N (a file path) and SharedDLLsValue N (a file path).
int ScanModuleUsageKey(platform::Context& ctx, std::string_view path);
int CureModuleUsageKey(platform::Context& ctx, std::string_view path);
int ScanSharedDLLsValue(platform::Context& ctx, std::string_view path);
int CureSharedDLLsValue(platform::Context& ctx, std::string_view path);
// MenuExtKey N: the context-menu extension key N in HKLM and HKCU.
int ScanMenuExtKey(platform::Context& ctx, std::string_view name);
int CureMenuExtKey(platform::Context& ctx, std::string_view name);
// MenuExtKeyByData N: context-menu extensions whose string values contain the
// text. Scan: the number of sub-keys with a newly recorded value. Cure: the
// matching values are deleted, then each sub-key that had one (value failures
// under a sub-key that is then deleted are withdrawn); the number of such sub-keys.
int ScanMenuExtKeyByData(platform::Context& ctx, std::string_view text);
int CureMenuExtKeyByData(platform::Context& ctx, std::string_view text);
// ToolbarValue N, MainValue N, IEValue N: the value N at each place.
int ScanToolbarValue(platform::Context& ctx, std::string_view name);
int CureToolbarValue(platform::Context& ctx, std::string_view name);
int ScanMainValue(platform::Context& ctx, std::string_view name);
int CureMainValue(platform::Context& ctx, std::string_view name);
int ScanIEValue(platform::Context& ctx, std::string_view name);
int CureIEValue(platform::Context& ctx, std::string_view name);

}  // namespace veldan::commands
