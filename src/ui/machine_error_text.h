#pragma once
// Why a machine could not be opened or written back, told to the user in
// Korean. The machine layer describes its failures in English for the command
// line and the debug channel; the window says the kind of failure in its own
// words, with the file it concerns.

#include <QString>

#include "machine/machine_error.h"

namespace veldan::ui {

using machine::MachineErrorKind;

// The Korean description of `error`: what went wrong, what to do where there
// is something to do, and the file (with its line) it concerns.
QString MachineErrorText(const machine::MachineError& error);

}  // namespace veldan::ui
