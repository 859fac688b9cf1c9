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

#include <array>
#include <span>
#include <string_view>

#include "machine/registry.h"
#include "platform/context.h"
#include "platform/mode.h"

namespace veldan::commands {

// One place: a hive and the key below which the script's name is looked up.
struct RegistryPlace {
    machine::HKEY hive;
    std::string_view base;
};

// The same key below HKLM, then below HKCU.
constexpr std::array<RegistryPlace, 2> MachineAndUser(std::string_view base) {
    return {RegistryPlace{machine::HKEY_LOCAL_MACHINE, base},
            RegistryPlace{machine::HKEY_CURRENT_USER, base}};
}

// The places of the place commands, in the order they are tried. A key
// command looks at base + "\\" + N; a value command at the value N of base.
// The commands themselves are generated from these tables
// (registry_place_commands.cpp).

inline constexpr std::array kSoftwareKeyPlaces = {
    RegistryPlace{machine::HKEY_LOCAL_MACHINE, "Software"},
    RegistryPlace{machine::HKEY_CURRENT_USER, "Software"},
    RegistryPlace{machine::HKEY_USERS, ".Default\\Software"},
};

inline constexpr std::array kServicesKeyPlaces = {
    RegistryPlace{machine::HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services"},
    RegistryPlace{machine::HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Services"},
    RegistryPlace{machine::HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet002\\Services"},
    RegistryPlace{machine::HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet003\\Services"},
};

inline constexpr std::array kEnumRootKeyPlaces = {
    RegistryPlace{machine::HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\enum\\root"},
    RegistryPlace{machine::HKEY_LOCAL_MACHINE, "System\\ControlSet001\\enum\\root"},
    RegistryPlace{machine::HKEY_LOCAL_MACHINE, "System\\ControlSet002\\enum\\root"},
    RegistryPlace{machine::HKEY_LOCAL_MACHINE, "System\\ControlSet003\\enum\\root"},
};

inline constexpr std::array kExtensionsKeyPlaces = {
    RegistryPlace{machine::HKEY_LOCAL_MACHINE,
                  "Software\\Microsoft\\Internet Explorer\\Extensions"},
    RegistryPlace{machine::HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Extensions"},
    RegistryPlace{machine::HKEY_USERS,
                  ".DEFAULT\\Software\\Microsoft\\Internet Explorer\\Extensions"},
};

inline constexpr std::array kExtensionsValuePlaces =
    MachineAndUser("Software\\Microsoft\\Internet Explorer\\Extensions\\CmdMapping");

inline constexpr std::array kUninstallKeyPlaces = {
    RegistryPlace{machine::HKEY_LOCAL_MACHINE,
                  "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
    RegistryPlace{machine::HKEY_CURRENT_USER,
                  "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
    RegistryPlace{machine::HKEY_LOCAL_MACHINE,
                  "Software\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache"},
};

inline constexpr std::array kMenuExtKeyPlaces =
    MachineAndUser("Software\\Microsoft\\Internet Explorer\\MenuExt");

inline constexpr std::array kToolbarValuePlaces = {
    RegistryPlace{machine::HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer\\ToolBar"},
    RegistryPlace{machine::HKEY_CURRENT_USER,
                  "Software\\Microsoft\\Internet Explorer\\ToolBar\\WebBrowser"},
    RegistryPlace{machine::HKEY_CURRENT_USER,
                  "Software\\Microsoft\\Internet Explorer\\ToolBar\\ShellBrowser"},
};

inline constexpr std::array kMainValuePlaces =
    MachineAndUser("Software\\Microsoft\\Internet Explorer\\Main");

inline constexpr std::array kIEValuePlaces =
    MachineAndUser("Software\\Microsoft\\Internet Explorer");

inline constexpr std::array kDomainsKeyPlaces = MachineAndUser(
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains");

// ScanKey / CureKey of base + "\\" + name at each place; 1 when any returned nonzero.
int KeyPlaces(platform::Context& ctx, std::span<const RegistryPlace> places, std::string_view name,
              platform::Mode mode);
// ScanValue / CureValue of the value `name` at each place; 1 when any returned nonzero.
int ValuePlaces(platform::Context& ctx, std::span<const RegistryPlace> places,
                std::string_view name, platform::Mode mode);

// DomainsKey N: a ZoneMap domain key whose "*" value is the DWORD 2 (trusted
// sites), in HKLM and HKCU. The scan records each such key; 1 when any was
// newly recorded.
int ScanDomainsKey(platform::Context& ctx, std::string_view domain);
// 1 when the domain key qualifies in either hive; nothing is recorded.
int DomainsKeyTrusted(platform::Context& ctx, std::string_view domain);
// Deletes the domain key in both hives when it qualifies in either.
int CureDomainsKey(platform::Context& ctx, std::string_view domain);
// MenuExtKeyByData N: context-menu extensions whose string values contain the
// text. Scan: the number of sub-keys with a newly recorded value. Cure: the
// matching values are deleted, then each sub-key that had one (value failures
// under a sub-key that is then deleted are withdrawn); the number of such sub-keys.
int ScanMenuExtKeyByData(platform::Context& ctx, std::string_view text);
int CureMenuExtKeyByData(platform::Context& ctx, std::string_view text);
}  // namespace veldan::commands
