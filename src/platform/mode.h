#pragma once
// What a command line does: look and record what it finds (Scan), or remove
// and repair it, recording what could not be done (Cure).

namespace veldan::platform {

enum class Mode { Scan, Cure };

}  // namespace veldan::platform
