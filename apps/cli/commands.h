#pragma once
// The commands of veldan-cli. Each takes the words after its name and returns
// the process exit code.

#include <string>
#include <vector>

namespace veldan::cli {

struct Globals {
    std::string programFolder;  // holds core/ and data/
};

int RunReg(const Globals& g, const std::vector<std::string>& args);
int RunMachine(const Globals& g, const std::vector<std::string>& args);
int RunScanCommand(const Globals& g, const std::vector<std::string>& args);
int RunCureCommand(const Globals& g, const std::vector<std::string>& args);
int RunDb(const Globals& g, const std::vector<std::string>& args);
int RunImmunize(const Globals& g, const std::vector<std::string>& args);
int RunKillbit(const Globals& g, const std::vector<std::string>& args);

class Args;
// machine convert, with the options RunMachine parsed.
int RunMachineConvert(const Globals& g, const Args& args);

}  // namespace veldan::cli
