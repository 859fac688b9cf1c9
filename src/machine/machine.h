#pragma once
// One Windows machine as the system sees it: its services together.

#include "machine/clock.h"
#include "machine/file_system.h"
#include "machine/launcher.h"
#include "machine/processes.h"
#include "machine/profiles.h"
#include "machine/registry.h"
#include "machine/shell_links.h"
#include "machine/system_info.h"
#include "machine/win32.h"
#include "machine/windows.h"

namespace veldan::machine {

class Machine {
  public:
    virtual ~Machine() = default;

    virtual Registry& registry() = 0;
    virtual FileSystem& files() = 0;
    virtual Profiles& profiles() = 0;
    virtual ShellLinks& shellLinks() = 0;
    virtual Processes& processes() = 0;
    virtual Windows& windows() = 0;
    virtual Launcher& launcher() = 0;
    virtual Clock& clock() = 0;
    virtual SystemInfo& system() = 0;

    const Registry& registry() const { return const_cast<Machine*>(this)->registry(); }
    const FileSystem& files() const { return const_cast<Machine*>(this)->files(); }
};

}  // namespace veldan::machine
