#pragma once
// Processes of the host running Veldan (not of the machine being scanned):
// starting a program detached, and ending the processes that run a given
// program file.

#include <string>
#include <vector>

namespace veldan::ui {

// Starts `program` with `args`, detached from this process, in
// `workingFolder` ("" keeps this process's folder). Returns true when it started.
bool StartHostProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& workingFolder = {});

// Ends every host process other than this one whose program file is `path`
// (also after the file was deleted): SIGTERM first, SIGKILL for those still
// running after a short wait. Processes this one may not look at or
// signal are left alone. Returns how many processes were found running it.
int EndHostProcessesRunning(const std::string& path);

}  // namespace veldan::ui
