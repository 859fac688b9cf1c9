// machine convert in the Windows build: machine images and installations are
// read and written by the Linux build.

#include "commands.h"

namespace veldan::cli {

int RunMachineConvert(const ConvertOptions& options, const MachineOptions& load) {
    return Fail(kExitFailure,
                "machine convert reads and writes machine folders, a feature of the Linux build");
}

}  // namespace veldan::cli
