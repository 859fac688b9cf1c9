#pragma once
// How registry paths are named: root handles and their names, full key paths,
// and the control set Windows links CurrentControlSet to.

#include <string>
#include <string_view>

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

// Splits "HKEY_LOCAL_MACHINE\\Software\\X" or "HKLM\\Software\\X" into root and
// sub-key path. Returns false when the root name is unknown.
bool SplitKeyPath(std::string_view fullPath, HKEY& root, std::string& subKey);

}  // namespace veldan::machine
