#pragma once
// Where the tests run: the Linux build over machine images, or the Windows
// build over the live backend, on Windows or under Wine. Tests name the
// difference of the machine they run on when they expect another result there.

#ifdef _WIN32
#include "support/scratch_key_win32.h"
#endif

namespace veldan::test {

// True in the Windows build.
constexpr bool OnWindows() {
#ifdef _WIN32
    return true;
#else
    return false;
#endif
}

// True when the Windows build runs under Wine. Wine's registry lists the
// values of a key in the order of their names, where Windows and the machine
// images keep the order they were written in; and Wine makes short names of its
// own (a hash after the tilde, never "~1").
inline bool OnWine() {
#ifdef _WIN32
    return RunningUnderWine();
#else
    return false;
#endif
}

}  // namespace veldan::test
