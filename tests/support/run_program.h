#pragma once
// Runs a built program of the program folder and collects what it printed.

#include <string>
#include <vector>

namespace veldan::test {

struct RunResult {
    int exitCode = -1;
    std::string out;  // standard output
    std::string err;  // standard error
};

// The program folder of the build (VELDAN_PROGRAM_DIR overrides it).
std::string ProgramFolder();

// The source tree (VELDAN_SOURCE_DIR overrides it).
std::string SourceFolder();

// Runs <program folder>/<program> with `args` (no shell involved).
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args);

// Copies a folder tree (for working on a copy of a bundled image).
void CopyTree(const std::string& from, const std::string& to);

}  // namespace veldan::test
