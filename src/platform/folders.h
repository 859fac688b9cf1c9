#pragma once
// Filling the well-known folder table from the machine.

#include "platform/context.h"

namespace veldan::platform {

// Fills all 30 entries of ctx.folders() in table order, creating shell folders
// that the machine knows but that do not exist yet.
void InitFolderTable(Context& ctx);

}  // namespace veldan::platform
