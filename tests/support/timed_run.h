#pragma once
// Runs a host program with a time limit, so that a program stuck in a dialog
// fails its test instead of hanging it.

#include <chrono>
#include <string>
#include <vector>

namespace veldan::test {

struct TimedRun {
    int exitCode = -1;      // the exit status; -1 when it did not exit normally
    bool timedOut = false;  // true when it was killed at the time limit
};

// Runs `program` (a path) with `args`, standard input from /dev/null, its
// standard output discarded (its diagnostics still reach standard error);
// kills it after `limit`.
TimedRun RunWithin(const std::string& program, const std::vector<std::string>& args,
                   std::chrono::milliseconds limit);

}  // namespace veldan::test
