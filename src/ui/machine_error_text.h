#pragma once
// Why a machine could not be opened or written back, told to the user in
// Korean. The machine layer describes its failures in English for the command
// line and the debug channel; the window recognises the kind of failure and
// says it in its own words, with the file it concerns.

#include <QString>

#include "machine/image/image_machine.h"

namespace veldan::ui {

// The kinds of failure the window tells apart.
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
    HiveNotClean,         // a hive that Windows did not finish writing
    HiveUnreadable,       // a file that is not a readable hive
    NotWritten,           // a change could not be written back
    ReadOnly,             // the machine (or a file of it) may not be written
    InterruptedSave,      // a save that was cut short cannot be completed
    Other,
};

// The kind of `error`.
MachineErrorKind ClassifyMachineError(const machine::image::ImageError& error);

// The Korean description of `error`: what went wrong, what to do where there
// is something to do, and the file (with its line) it concerns.
QString MachineErrorText(const machine::image::ImageError& error);

}  // namespace veldan::ui
