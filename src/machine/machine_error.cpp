#include "machine/machine_error.h"

namespace veldan::machine {

std::string MachineError::ToString() const {
    if (file.empty()) return message;
    if (line > 0) return file + ":" + std::to_string(line) + ": " + message;
    return file + ": " + message;
}

}  // namespace veldan::machine
