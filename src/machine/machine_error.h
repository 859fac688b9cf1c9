#pragma once
// Why a machine could not be opened or written back. The message is English,
// for the command line and the debug channel; the kind lets a window say the
// same in its own words without reading the message.

#include <string>
#include <vector>

namespace veldan::machine {

enum class MachineErrorKind {
    FolderMissing,        // the folder does not exist
    NotAMachine,          // neither drive_c/ nor a Windows installation
    NoInstallation,       // no hives where an installation should have them
    Unreadable,           // a file cannot be read
    BadLine,              // machine.ini or a .reg file has a line it cannot take
    ProtectedKeyRoot,     // a protected key with an unknown root
    ProtectedKeyMissing,  // a protected key that does not exist
    ChooseUser,           // several profiles and none chosen
    UnknownUser,          // the chosen profile does not exist
    NoUser,               // no profile with an NTUSER.DAT
    UserNotApplicable,    // a user was chosen for a machine that has only one
    HiveNotClean,         // a hive that Windows did not finish writing
    HiveUnreadable,       // a file that is not a readable hive
    NotWritten,           // a change could not be written back
    ReadOnly,             // the machine (or a file of it) may not be written
    Refused,              // Windows refused some changes for lack of rights; the rest were made
    InterruptedSave,      // a save that was cut short cannot be completed
    Other,
};

struct MachineError {
    MachineErrorKind kind = MachineErrorKind::Other;
    std::string file;  // the host path to blame; "" when none
    int line = 0;      // the line of `file` to blame; 0 when none
    std::string message;
    // The profiles to choose from (ChooseUser, UnknownUser).
    std::vector<std::string> profiles = {};

    // True when the user must name (another) profile to open the machine.
    bool choosesUser() const {
        return kind == MachineErrorKind::ChooseUser || kind == MachineErrorKind::UnknownUser;
    }
    // "file:line: message", "file: message" or "message".
    std::string ToString() const;
};

}  // namespace veldan::machine
