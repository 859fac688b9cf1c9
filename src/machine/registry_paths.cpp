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

namespace {

struct RootNames {
    HKEY root;
    std::string_view longName;
    std::string_view shortName;
};

constexpr RootNames kRoots[] = {
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", "HKCR"},
    {HKEY_CURRENT_USER, "HKEY_CURRENT_USER", "HKCU"},
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", "HKLM"},
    {HKEY_USERS, "HKEY_USERS", "HKU"},
};

const RootNames* NamesOf(HKEY root) {
    for (const RootNames& names : kRoots) {
        if (names.root == root) return &names;
    }
    return nullptr;
}

}  // namespace

std::string_view RootLongName(HKEY root) {
    const RootNames* names = NamesOf(root);
    return names != nullptr ? names->longName : std::string_view();
}

std::string_view RootShortName(HKEY root) {
    const RootNames* names = NamesOf(root);
    return names != nullptr ? names->shortName : std::string_view();
}

HKEY RootFromName(std::string_view name) {
    for (const RootNames& names : kRoots) {
        if (text::EqualsNoCase(name, names.longName) || text::EqualsNoCase(name, names.shortName)) {
            return names.root;
        }
    }
    return 0;
}

void AppendKeyParts(std::string_view subKey, std::vector<std::string_view>& parts) {
    std::size_t pos = 0;
    while (pos <= subKey.size()) {
        std::size_t end = subKey.find('\\', pos);
        if (end == std::string_view::npos) end = subKey.size();
        if (end > pos) parts.push_back(subKey.substr(pos, end - pos));
        pos = end + 1;
    }
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
