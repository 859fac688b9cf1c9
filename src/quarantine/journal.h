#pragma once
// The journal of a cure or a restore: JSON Lines in a file on the machine. The
// first line names the format and its version; every further line is flushed to
// the disk before the change it records is made (write-ahead). See the README
// for the layout other tools may read.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "machine/file_system.h"
#include "quarantine/change.h"

namespace veldan::quarantine {

inline constexpr std::string_view kJournalFormat = "veldan-quarantine-journal";
inline constexpr int kJournalVersion = 1;
inline constexpr std::string_view kCureJournalName = "journal.jsonl";
inline constexpr std::string_view kRestoreJournalName = "restore.jsonl";

// Appends lines to a journal, each one durable when Append returns.
class JournalWriter {
  public:
    // Opens (or creates) the journal at `path`; a new one gets `header` as its
    // first line.
    [[nodiscard]] WinError Open(machine::FileSystem& fs, std::string_view path, const Json& header);
    // Writes one line; flushes it, and every line before it, to the disk unless
    // `durable` is false (a line whose loss a later flushed line makes good).
    [[nodiscard]] WinError Append(const Json& line, bool durable = true);
    bool IsOpen() const { return writer_ != nullptr; }
    void Close() { writer_.reset(); }

  private:
    std::unique_ptr<machine::FileWriter> writer_;
};

// A cure journal as read back.
struct CureJournal {
    Json header;
    std::vector<Change> changes;  // in the order they were made
    bool ended = false;           // the cure reached its end line
    bool completed = false;       // ... and ran to its end
};

// A restore journal as read back: the outcome of its last run.
struct RestoreJournal {
    bool exists = false;
    bool ended = false;  // the last restore reached its end
    int conflicts = 0;
    int failed = 0;
};

// Reads the cure journal at `path`. A last line cut short by a stop is
// ignored; a foreign header, another version or a damaged line fail with
// ERROR_INVALID_DATA and `problem` saying what is wrong.
[[nodiscard]] WinError ReadCureJournal(const machine::FileSystem& fs, std::string_view path,
                                       CureJournal& journal, std::string& problem);

// Reads the restore journal at `path` (exists false when there is none).
[[nodiscard]] WinError ReadRestoreJournal(const machine::FileSystem& fs, std::string_view path,
                                          RestoreJournal& journal, std::string& problem);

// True for a change that was made but left its target as it was (a key's
// rights set to what they were, say): it is neither reported nor restored.
bool MadeNoChange(const Change& c);

// The JSON of a change's first line (what it replaces) and of its outcome line.
Json ChangeLine(const Change& c);
Json OutcomeLine(const Change& c);

// A journal header of the given kind ("cure" or "restore").
Json JournalHeader(std::string_view kind);

}  // namespace veldan::quarantine
