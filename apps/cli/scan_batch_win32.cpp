// scan --json-lines in the Windows build: it scans machine folders, which the
// Windows build does not read.

#include "scan_batch.h"

namespace veldan::cli {

int RunScanBatch(const Globals& g, const BatchOptions& options) {
    return Fail(kExitUsage,
                "--json-lines scans machine folders, a feature of the Linux build; on Windows, "
                "scan leaves --machine out to scan this machine");
}

}  // namespace veldan::cli
