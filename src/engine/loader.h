#pragma once
// The database loader: version, counts, kill-bit pairs, exclusions and cookie
// list from the detection and cookie databases; the deep-scan fingerprints for
// a scan's deep-scan pass. Files live below the program folder:
// core\addb.txt or data\addb, core\ckdb.txt or data\ckdb, core\dsdb.txt or data\dsdb.

#include <string>

#include "platform/context.h"

namespace veldan::engine {

using platform::Context;

// Plain and scrambled host paths of a database ("addb", "ckdb", "dsdb", "killbit").
std::string PlainDatabasePath(const Context& ctx, std::string_view name);
std::string ScrambledDatabasePath(const Context& ctx, std::string_view name);

// Loads the detection and cookie databases into ctx.db(), as the loader thread
// does before it posts WM_DB_LOADED. Missing files leave lists empty and counts 0.
void LoadDatabases(Context& ctx);

// Why a scan cannot run on the loaded databases: "" when the detection database
// holds at least one detection entry, else what is wrong, naming the files
// looked for (missing, unreadable, or without entries).
std::string SignatureProblem(Context& ctx);

// Loads the deep-scan fingerprints; returns the number of records.
int LoadDeepScanDb(Context& ctx);
// Empties the deep-scan names and records and resets the size window.
void FreeDeepScanDb(Context& ctx);

// 1 when `text` equals a listed kill-bit class identifier (case-sensitive).
int IsKillBitClsid(Context& ctx, std::string_view text);
// Adds a well-formed class identifier to the exclusion list unless listed
// (case ignored); 1 when added.
int AddExclusion(Context& ctx, std::string_view text);

}  // namespace veldan::engine
