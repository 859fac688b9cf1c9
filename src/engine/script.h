#pragma once
// The detection script format: line normalisation, line kinds, parameter
// splitting (ParseLine), class identifier tests, and a reader that turns a
// database file into the events every reader of it needs (version, exclusions,
// entry starts, parsed commands).

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/database_file.h"
#include "platform/clsid.h"
#include "platform/context.h"

namespace veldan::engine {

using platform::Context;

// A detection entry: its name and its stored lines, the "#NAME" line first.
struct CDetectEntry {
    std::string name;
    std::vector<std::string> lines;
};

// Class identifier tests, shared with the command families.
using platform::CheckClsid;
using platform::IsWellFormedClsid;

// Normalises a raw line: trims it, rewrites long and short hive prefixes to
// "HKxx ", turns tabs into blanks and appends one blank. Returns false for an
// empty line (nothing to normalise).
bool NormalizeLine(std::string_view raw, std::string& out);

enum class LineKind { Command, EntryStart, NonCommand };
// The kind of a normalised line by its first byte. A ';' line is a command line.
LineKind ClassifyLine(std::string_view normalized);

// Splits a normalised command line into its command word and parameters,
// expanding macros in each parameter. 1 on success; 0 (with the debug lines of
// the format) when the line cannot be used.
int ParseLine(Context& ctx, std::string_view line, std::string& command,
              std::vector<std::string>& params);

// Splits text that ends in a blank into pieces the way parameters split: blanks
// separate, a piece opening with '"' runs to the next '"' (quotes not kept); a
// piece without its closing character ends the splitting. Pieces may be empty
// ("" in the text). The views point into `text`.
std::vector<std::string_view> SplitQuotedPieces(std::string_view text);

// One meaningful line of a detection database.
struct ScriptEvent {
    enum Kind {
        Version,     // "#VERSION": `text` is the version text
        Exclusion,   // "^{clsid}": `text` is the class identifier
        EntryStart,  // "#NAME x", or the "#NAME" line generated for a type line
        EmptyName,   // an entry start whose name is empty (opens no entry)
        Command,     // a parsed command line
    };
    Kind kind = Command;
    std::string text;       // the line as stored in an entry (normalised, ';' removed)
    std::string name;       // EntryStart: the entry name
    bool cureOnly = false;  // the line came from a ';' line (every event of it)
    bool typeLine = false;  // EntryStart / EmptyName: opened by a DType, WType or MType line
    std::string command;    // Command: the command word
    std::vector<std::string> params;
};

// Appends the events of one raw line of a detection database (already
// unscrambled and decoded) to `events`: nothing for empty lines and comments,
// Version or Exclusion for the directives, EntryStart / EmptyName for "#NAME"
// lines, EntryStart / EmptyName and then Command for type lines, Command for
// other lines that ParseLine accepts.
void ScriptLineEvents(Context& ctx, std::string_view raw, std::vector<ScriptEvent>& events);

// Reads a database file line by line: the plain file when it can be opened,
// else the scrambled one (every line unscrambled). Lines are read as UTF-8 when
// valid, else as CP949.
class ScriptReader {
  public:
    explicit ScriptReader(Context& ctx);
    ~ScriptReader();
    // Opens `plainPath`, else `scrambledPath` (host paths). False when neither opens.
    bool Open(const std::string& plainPath, const std::string& scrambledPath);
    // The next event; false at the end of the file.
    bool Next(ScriptEvent& event);
    // True when the scrambled file is being read.
    bool scrambled() const { return file_.scrambled(); }

  private:
    bool NextRawLine(std::string& line);

    Context& ctx_;
    DatabaseFile file_;
    std::vector<ScriptEvent> pending_;  // a type line gives two events
    std::size_t next_ = 0;              // the next of them to give
    std::size_t filled_ = 0;            // how many of them the line gave
    std::string line_;                  // the normalised line
};

// Reads the lines of a plain-or-scrambled list file (cookie database, deep-scan
// database, KillBit list): trimmed, empty lines skipped, decoded to UTF-8; lines
// too long to be real are skipped and told to `debug`. False when neither file opens.
bool ReadListFile(const std::string& plainPath, const std::string& scrambledPath,
                  std::vector<std::string>& lines, const DatabaseFile::DebugFn& debug = nullptr);

}  // namespace veldan::engine
