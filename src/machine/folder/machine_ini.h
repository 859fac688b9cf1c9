#pragma once
// machine.ini of a machine image: the machine's family and user, its running
// processes and their windows, and the registry keys the user may not delete.

#include <string>
#include <string_view>
#include <vector>

#include "host/ini_text.h"
#include "machine/system_info.h"

namespace veldan::machine::image {

struct ProcessSpec {
    std::string name;   // section name after "process "
    std::string image;  // Windows path of the image
    bool terminable = true;
    std::vector<std::string> holds;  // further held files
};

struct WindowSpec {
    std::string name;  // section name after "window "
    std::string className;
    std::string process;  // name of the owning process section
    bool closes = true;
};

struct MachineIni {
    OsFamily os = OsFamily::Nt;
    std::string user = "Owner";
    std::string windir = "C:\\WINDOWS";
    std::string temp;  // empty: the family's default
    bool admin = true;  // the user has administrative rights (holds the debug privilege)
    std::vector<ProcessSpec> processes;
    std::vector<WindowSpec> windows;
    std::vector<std::string> protectedKeys;  // "HKLM\\Software\\X" texts
};

using host::IniError;

// Reads machine.ini text (UTF-8). Unknown sections and keys are errors, so a
// misspelt key never passes silently. Returns false with `error` on the first
// malformed line.
bool ParseMachineIni(std::string_view text, MachineIni& ini, IniError& error);

// The text of `ini` (UTF-8, LF line ends); ParseMachineIni reads it back equal.
std::string WriteMachineIni(const MachineIni& ini);

}  // namespace veldan::machine::image
