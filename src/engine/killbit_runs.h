#pragma once
// The kill-bit maintenance runs that follow every database load.
//
// The disarm run removes the ActiveX kill bit of class identifiers that must
// stay usable: those listed in core\noad.txt (optional) and those of the
// exclusion list ("^" lines of the detection database).
//
// The comparison run is a database maintainer's aid. Only when the plain
// detection database core\addb.txt is present, it reads identifier lists of
// other sources from the core folder and writes, for each list present, a log
// beside it (core\log_<source>.txt) with the identifiers the kill-bit list does
// not hold yet. Missing sources are skipped without a trace; a log that cannot
// be written is skipped too. Nothing is shown to the user.
//
// Source lists are read as UTF-8 when valid, else as CP949. Logs are written as
// UTF-8 with CR LF line ends, like the scan log and the plain KillBit list.

#include "platform/context.h"

namespace veldan::engine {

using platform::Context;

// Removes the kill bits of core\noad.txt and of the exclusion list. Returns nothing.
void RunKillBitDisarm(Context& ctx);
// Writes the comparison logs when core\addb.txt is present. Returns nothing.
void RunListComparison(Context& ctx);
// The disarm run, then the comparison run. Returns nothing.
void RunKillBitRuns(Context& ctx);

}  // namespace veldan::engine
