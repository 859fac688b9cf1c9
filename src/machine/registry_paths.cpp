#include "machine/registry_paths.h"

#include <cstdint>

#include "text/strings.h"

namespace veldan::machine {

std::string SelectedControlSet(const Registry& registry, std::string_view whenNone) {
    RegValue current;
    if (registry.QueryValue(HKEY_LOCAL_MACHINE, "SYSTEM\\Select", "Current", current) !=
            ERROR_SUCCESS ||
        current.type != REG_DWORD) {
        return std::string(whenNone);
    }
    const std::uint32_t n = current.AsDword();
    if (n == 0 || n > 999) return std::string(whenNone);
    return text::Format("ControlSet%03u", n);
}

// ---- Root names ----

std::string_view RootLongName(HKEY root) {
    switch (root) {
        case HKEY_CLASSES_ROOT:
            return "HKEY_CLASSES_ROOT";
        case HKEY_CURRENT_USER:
            return "HKEY_CURRENT_USER";
        case HKEY_LOCAL_MACHINE:
            return "HKEY_LOCAL_MACHINE";
        case HKEY_USERS:
            return "HKEY_USERS";
        default:
            return "";
    }
}

std::string_view RootShortName(HKEY root) {
    switch (root) {
        case HKEY_CLASSES_ROOT:
            return "HKCR";
        case HKEY_CURRENT_USER:
            return "HKCU";
        case HKEY_LOCAL_MACHINE:
            return "HKLM";
        case HKEY_USERS:
            return "HKU";
        default:
            return "";
    }
}

HKEY RootFromName(std::string_view name) {
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS}) {
        if (text::EqualsNoCase(name, RootLongName(root)) ||
            text::EqualsNoCase(name, RootShortName(root))) {
            return root;
        }
    }
    return 0;
}

bool SplitKeyPath(std::string_view fullPath, HKEY& root, std::string& subKey) {
    std::size_t slash = fullPath.find('\\');
    HKEY found = RootFromName(fullPath.substr(0, slash));
    if (found == 0) return false;
    root = found;
    subKey =
        slash == std::string_view::npos ? std::string() : std::string(fullPath.substr(slash + 1));
    return true;
}

}  // namespace veldan::machine
