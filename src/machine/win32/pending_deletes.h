#pragma once
// The deletions Windows carries out at its next start: on the NT family the
// pairs of names in the Session Manager's PendingFileRenameOperations
// (MoveFileEx with MOVEFILE_DELAY_UNTIL_REBOOT) whose new name is empty, on the
// 9x family the [Rename] section of Wininit.ini.

#include <string>
#include <vector>

#include "machine/profiles.h"
#include "machine/registry.h"

namespace veldan::machine::win32 {

// The files `registry` (the live one) will delete at the next start, without
// the "\??\" prefix of the stored names.
std::vector<std::string> PendingFileDeletes(const Registry& registry);

// Takes the deletions of paths that start with `folder` (without regard to
// ASCII case) out of the list again; the other pairs are kept as they are.
WinError ForgetPendingDeletes(Registry& registry, std::string_view folder);

// The files the 9x family deletes at its next start: the "NUL=path" lines of
// Wininit.ini [Rename] (the Windows folder's), in file order.
std::vector<std::string> WininitDeletes(const Profiles& profiles);

}  // namespace veldan::machine::win32
