#pragma once
// The one map from errno values of host calls to Windows result codes.

#include "host/win_error.h"

namespace veldan::host {

// Maps an errno value of a failed host call to a Windows result code: EEXIST is
// ERROR_ALREADY_EXISTS (a caller for which it means something else, such as
// rmdir's "not empty", says so itself); 0 and values without a Windows
// counterpart give `otherwise`.
WinError WinErrorFromErrno(int err, WinError otherwise = ERROR_GEN_FAILURE);

}  // namespace veldan::host
