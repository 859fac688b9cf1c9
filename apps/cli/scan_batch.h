#pragma once
// scan --machine A --machine B ... --json-lines: every machine is scanned by a
// process of its own (this program, "scan --json"), at most `jobs` at once, so
// one machine never affects another. As each one ends, one JSON document
// naming it goes to standard output on a line of its own; a summary line ends
// the output.

#include <string>
#include <vector>

#include "cli_options.h"

namespace veldan::cli {

struct BatchOptions {
    std::vector<std::string> machines;
    MachineOptions machine;
    int jobs = 0;  // 0: one per processor
};

// Exit code 0 only when every machine was scanned, else 1.
int RunScanBatch(const Globals& g, const BatchOptions& options);

}  // namespace veldan::cli
