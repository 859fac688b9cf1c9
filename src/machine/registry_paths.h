#pragma once
// How registry paths are named: root handles and their names, full key paths,
// and the control set Windows links CurrentControlSet to.

#include <string>
#include <string_view>
#include <vector>

#include "machine/registry.h"

namespace veldan::machine {

// The name of the link Windows makes to the current control set.
inline constexpr std::string_view kCurrentControlSetName = "CurrentControlSet";

// The control set HKLM\SYSTEM\Select "Current" names ("ControlSet001"), or
// `whenNone` when that value is missing, not a REG_DWORD, 0 or above 999.
std::string SelectedControlSet(const Registry& registry, std::string_view whenNone = {});

// Long name of a root ("HKEY_LOCAL_MACHINE"), or "" for an unknown handle.
std::string_view RootLongName(HKEY root);
// Short name of a root ("HKLM"), or "".
std::string_view RootShortName(HKEY root);
// Root of a long or short root name (ASCII case ignored); 0 when unknown.
HKEY RootFromName(std::string_view name);

// The roots a registry keeps a tree of (HKLM, HKCU, HKU); HKCR is a view of HKLM's classes.
inline bool IsStoredRoot(HKEY root) {
    return root == HKEY_LOCAL_MACHINE || root == HKEY_CURRENT_USER || root == HKEY_USERS;
}
// The roots a registry answers for: the stored ones and HKCR.
inline bool IsKnownRoot(HKEY root) {
    return IsStoredRoot(root) || root == HKEY_CLASSES_ROOT;
}

// Appends the non-empty components of a sub-key path to `parts`, pointing into
// `subKey`: "Software\\\\X\\" gives "Software" and "X".
void AppendKeyParts(std::string_view subKey, std::vector<std::string_view>& parts);

// Splits "HKEY_LOCAL_MACHINE\\Software\\X" or "HKLM\\Software\\X" into root and
// sub-key path. Returns false when the root name is unknown.
bool SplitKeyPath(std::string_view fullPath, HKEY& root, std::string& subKey);

}  // namespace veldan::machine
