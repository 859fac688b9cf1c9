#include "commands/registry_place.h"

#include <array>
#include <string>
#include <vector>

#include "platform/file_ops.h"
#include "platform/registry_ops.h"
#include "platform/reports.h"
#include "text/strings.h"

namespace veldan::commands {
namespace {

using machine::HKEY_CURRENT_USER;
using machine::HKEY_LOCAL_MACHINE;
using machine::HKEY_USERS;
using platform::Context;

constexpr std::array kSoftware = {
    RegistryPlace{HKEY_LOCAL_MACHINE, "Software"},
    RegistryPlace{HKEY_CURRENT_USER, "Software"},
    RegistryPlace{HKEY_USERS, ".Default\\Software"},
};

constexpr std::array kServices = {
    RegistryPlace{HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services"},
    RegistryPlace{HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Services"},
    RegistryPlace{HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet002\\Services"},
    RegistryPlace{HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet003\\Services"},
};

constexpr std::array kEnumRoot = {
    RegistryPlace{HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\enum\\root"},
    RegistryPlace{HKEY_LOCAL_MACHINE, "System\\ControlSet001\\enum\\root"},
    RegistryPlace{HKEY_LOCAL_MACHINE, "System\\ControlSet002\\enum\\root"},
    RegistryPlace{HKEY_LOCAL_MACHINE, "System\\ControlSet003\\enum\\root"},
};

constexpr std::array kExtensionKeys = {
    RegistryPlace{HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer\\Extensions"},
    RegistryPlace{HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Extensions"},
    RegistryPlace{HKEY_USERS, ".DEFAULT\\Software\\Microsoft\\Internet Explorer\\Extensions"},
};

constexpr std::array kExtensionValues = {
    RegistryPlace{HKEY_LOCAL_MACHINE,
                  "Software\\Microsoft\\Internet Explorer\\Extensions\\CmdMapping"},
    RegistryPlace{HKEY_CURRENT_USER,
                  "Software\\Microsoft\\Internet Explorer\\Extensions\\CmdMapping"},
};

constexpr std::array kUninstall = {
    RegistryPlace{HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
    RegistryPlace{HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
    RegistryPlace{HKEY_LOCAL_MACHINE,
                  "Software\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache"},
};

constexpr std::array kMenuExt = {
    RegistryPlace{HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer\\MenuExt"},
    RegistryPlace{HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\MenuExt"},
};

constexpr std::array kToolbar = {
    RegistryPlace{HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer\\ToolBar"},
    RegistryPlace{HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\ToolBar\\WebBrowser"},
    RegistryPlace{HKEY_CURRENT_USER,
                  "Software\\Microsoft\\Internet Explorer\\ToolBar\\ShellBrowser"},
};

constexpr std::array kMain = {
    RegistryPlace{HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer\\Main"},
    RegistryPlace{HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Main"},
};

constexpr std::array kIE = {
    RegistryPlace{HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer"},
    RegistryPlace{HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer"},
};

constexpr std::array kDomains = {
    RegistryPlace{
        HKEY_LOCAL_MACHINE,
        "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains"},
    RegistryPlace{
        HKEY_CURRENT_USER,
        "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains"},
};

// The zone number of the trusted sites.
constexpr std::uint32_t kTrustedZone = 2;

// A name that is empty or made only of blanks and backslashes would make the
// fixed base key itself (HKLM\Software, every service, ...) the key to look at
// and, when curing, to delete; such a name names nothing.
bool NamesSomething(std::string_view name) {
    return name.find_first_not_of(" \t\\") != std::string_view::npos;
}

std::string Child(std::string_view base, std::string_view name) {
    std::string path(base);
    path.append("\\").append(name);
    return path;
}

// The domain key qualifies: it exists and its "*" value is the DWORD of the trusted zone.
bool DomainTrusted(Context& ctx, const RegistryPlace& place, std::string_view domain) {
    const std::string key = Child(place.base, domain);
    std::uint32_t zone = 0;
    return platform::KeyExists(ctx, place.hive, key) &&
           platform::ReadDwordValue(ctx, place.hive, key, "*", zone) && zone == kTrustedZone;
}

// Withdraws the value failures recorded under a key that is now gone: its
// values went with it.
void RollBackValueFailures(Context& ctx, machine::HKEY hive, std::string_view subKey) {
    std::string keyText;
    if (!platform::MakeKeyText(ctx, hive, subKey, keyText)) return;
    const std::string prefix = keyText + " \"";
    std::vector<std::string> texts;
    for (const platform::CScanItem& item : ctx.report().failed().items()) {
        if (item.type == platform::REGVAL && text::StartsWithNoCase(item.text, prefix))
            texts.push_back(item.text);
    }
    for (const std::string& t : texts) ctx.report().RollBack(platform::REGVAL, t);
}

}  // namespace

std::span<const RegistryPlace> SoftwareKeyPlaces() {
    return kSoftware;
}
std::span<const RegistryPlace> ServicesKeyPlaces() {
    return kServices;
}
std::span<const RegistryPlace> EnumRootKeyPlaces() {
    return kEnumRoot;
}
std::span<const RegistryPlace> ExtensionsKeyPlaces() {
    return kExtensionKeys;
}
std::span<const RegistryPlace> ExtensionsValuePlaces() {
    return kExtensionValues;
}
std::span<const RegistryPlace> UninstallKeyPlaces() {
    return kUninstall;
}
std::span<const RegistryPlace> MenuExtKeyPlaces() {
    return kMenuExt;
}
std::span<const RegistryPlace> ToolbarValuePlaces() {
    return kToolbar;
}
std::span<const RegistryPlace> MainValuePlaces() {
    return kMain;
}
std::span<const RegistryPlace> IEValuePlaces() {
    return kIE;
}

int ScanKeyPlaces(Context& ctx, std::span<const RegistryPlace> places, std::string_view name) {
    if (!NamesSomething(name)) return 0;
    int any = 0;
    for (const RegistryPlace& p : places) {
        if (platform::ScanKey(ctx, p.hive, Child(p.base, name))) any = 1;
    }
    return any;
}

int CureKeyPlaces(Context& ctx, std::span<const RegistryPlace> places, std::string_view name) {
    if (!NamesSomething(name)) return 0;
    int any = 0;
    for (const RegistryPlace& p : places) {
        if (platform::CureKey(ctx, p.hive, Child(p.base, name))) any = 1;
    }
    return any;
}

int ScanValuePlaces(Context& ctx, std::span<const RegistryPlace> places, std::string_view name) {
    if (!NamesSomething(name)) return 0;
    int any = 0;
    for (const RegistryPlace& p : places) {
        if (platform::ScanValue(ctx, p.hive, p.base, name)) any = 1;
    }
    return any;
}

int CureValuePlaces(Context& ctx, std::span<const RegistryPlace> places, std::string_view name) {
    if (!NamesSomething(name)) return 0;
    int any = 0;
    for (const RegistryPlace& p : places) {
        if (platform::CureValue(ctx, p.hive, p.base, name)) any = 1;
    }
    return any;
}

int ScanSoftwareKey(Context& ctx, std::string_view name) {
    return ScanKeyPlaces(ctx, kSoftware, name);
}

int CureSoftwareKey(Context& ctx, std::string_view name) {
    return CureKeyPlaces(ctx, kSoftware, name);
}

int ServicesKey(Context& ctx, std::string_view name, bool fix) {
    return fix ? CureKeyPlaces(ctx, kServices, name) : ScanKeyPlaces(ctx, kServices, name);
}

int EnumRootKey(Context& ctx, std::string_view name, bool fix) {
    return fix ? CureKeyPlaces(ctx, kEnumRoot, name) : ScanKeyPlaces(ctx, kEnumRoot, name);
}

int ScanExtensionsKey(Context& ctx, std::string_view name) {
    const int keys = ScanKeyPlaces(ctx, kExtensionKeys, name);
    const int values = ScanValuePlaces(ctx, kExtensionValues, name);
    return keys || values ? 1 : 0;
}

int CureExtensionsKey(Context& ctx, std::string_view name) {
    const int keys = CureKeyPlaces(ctx, kExtensionKeys, name);
    const int values = CureValuePlaces(ctx, kExtensionValues, name);
    return keys || values ? 1 : 0;
}

int ScanDomainsKey(Context& ctx, std::string_view domain, int report) {
    if (!NamesSomething(domain)) return 0;
    int any = 0;
    for (const RegistryPlace& p : kDomains) {
        if (!DomainTrusted(ctx, p, domain)) continue;
        if (!report) {
            any = 1;
        } else if (platform::ReportFoundKey(ctx, p.hive, Child(p.base, domain))) {
            any = 1;
        }
    }
    return any;
}

int CureDomainsKey(Context& ctx, std::string_view domain) {
    if (!ScanDomainsKey(ctx, domain, 0)) return 0;
    return CureKeyPlaces(ctx, kDomains, domain);
}

int ScanUninstallKey(Context& ctx, std::string_view name) {
    return ScanKeyPlaces(ctx, kUninstall, name);
}

int CureUninstallKey(Context& ctx, std::string_view name) {
    return CureKeyPlaces(ctx, kUninstall, name);
}

int ScanModuleUsageKey(Context& ctx, std::string_view path) {
    return platform::ScanModuleUsage(ctx, path);
}

int CureModuleUsageKey(Context& ctx, std::string_view path) {
    return platform::CureModuleUsage(ctx, path);
}

int ScanSharedDLLsValue(Context& ctx, std::string_view path) {
    return platform::ScanSharedDll(ctx, path);
}

int CureSharedDLLsValue(Context& ctx, std::string_view path) {
    return platform::CureSharedDll(ctx, path);
}

int ScanMenuExtKey(Context& ctx, std::string_view name) {
    return ScanKeyPlaces(ctx, kMenuExt, name);
}

int CureMenuExtKey(Context& ctx, std::string_view name) {
    return CureKeyPlaces(ctx, kMenuExt, name);
}

int ScanMenuExtKeyByData(Context& ctx, std::string_view text) {
    // An empty text is contained in every value: it would take every extension.
    if (text.empty()) return 0;
    int count = 0;
    for (const RegistryPlace& p : kMenuExt) {
        std::vector<std::string> names;
        if (platform::EnumSubKeyNames(ctx, p.hive, p.base, names) <= 0) continue;
        for (const std::string& name : names) {
            if (platform::ScanValueByData(ctx, p.hive, Child(p.base, name), text) > 0) ++count;
        }
    }
    return count;
}

int CureMenuExtKeyByData(Context& ctx, std::string_view text) {
    if (text.empty()) return 0;
    int count = 0;
    for (const RegistryPlace& p : kMenuExt) {
        std::vector<std::string> names;
        if (platform::EnumSubKeyNames(ctx, p.hive, p.base, names) <= 0) continue;
        for (const std::string& name : names) {
            const std::string key = Child(p.base, name);
            if (platform::CureValueByData(ctx, p.hive, key, text) <= 0) continue;
            ++count;
            if (platform::CureKey(ctx, p.hive, key)) RollBackValueFailures(ctx, p.hive, key);
        }
    }
    return count;
}

int ScanToolbarValue(Context& ctx, std::string_view name) {
    return ScanValuePlaces(ctx, kToolbar, name);
}

int CureToolbarValue(Context& ctx, std::string_view name) {
    return CureValuePlaces(ctx, kToolbar, name);
}

int ScanMainValue(Context& ctx, std::string_view name) {
    return ScanValuePlaces(ctx, kMain, name);
}

int CureMainValue(Context& ctx, std::string_view name) {
    return CureValuePlaces(ctx, kMain, name);
}

int ScanIEValue(Context& ctx, std::string_view name) {
    return ScanValuePlaces(ctx, kIE, name);
}

int CureIEValue(Context& ctx, std::string_view name) {
    return CureValuePlaces(ctx, kIE, name);
}

}  // namespace veldan::commands
