#pragma once
// The deletions the NT family carries out at the next start: the pairs of
// names in the Session Manager's PendingFileRenameOperations (MoveFileEx with
// MOVEFILE_DELAY_UNTIL_REBOOT) whose new name is empty.

#include <string>
#include <vector>

#include "machine/registry.h"

namespace veldan::machine::win32 {

// The files `registry` (the live one) will delete at the next start, without
// the "\??\" prefix of the stored names.
std::vector<std::string> PendingFileDeletes(const Registry& registry);

// Takes the deletions of paths that start with `folder` (without regard to
// ASCII case) out of the list again; the other pairs are kept as they are.
WinError ForgetPendingDeletes(Registry& registry, std::string_view folder);

}  // namespace veldan::machine::win32
