#include "engine/script.h"

#include <filesystem>
#include <system_error>

#include "engine/dispatch.h"
#include "engine/macros.h"
#include "engine/scramble.h"
#include "text/codepage.h"
#include "text/strings.h"

namespace veldan::engine {
namespace {

// Hive prefixes rewritten to "HKxx " so that a registry path splits into the
// hive and the sub-key. The long forms go first.
constexpr std::string_view kHivePrefixes[][2] = {
    {"HKEY_CLASSES_ROOT\\", "HKCR "},
    {"HKEY_CURRENT_USER\\", "HKCU "},
    {"HKEY_LOCAL_MACHINE\\", "HKLM "},
    {"HKEY_USERS\\", "HKU "},
    {"HKCR\\", "HKCR "},
    {"HKCU\\", "HKCU "},
    {"HKLM\\", "HKLM "},
    {"HKU\\", "HKU "},
};

// Type lines: the command prefix and the family prefix of the entry it opens.
constexpr std::string_view kTypePrefixes[][2] = {
    {"DType", "NUNE."},
    {"WType", "Elink."},
    {"MType", "INBEE."},
};

bool IsAsciiPunct(unsigned char c) {
    return (c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x60) ||
           (c >= 0x7B && c <= 0x7E);
}

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

}  // namespace

bool NormalizeLine(std::string_view raw, std::string& out) {
    std::string_view t = text::TrimView(raw);
    if (t.empty()) {
        out.clear();
        return false;
    }
    // One pass from "HK" to "HK": every hive prefix begins with it and holds it
    // nowhere else, so no two can overlap and no rewrite makes a new one.
    out.clear();
    out.reserve(t.size() + 1);
    std::size_t i = 0;
    for (;;) {
        const std::size_t hk = t.find("HK", i);
        if (hk == std::string_view::npos) {
            out.append(t.substr(i));
            break;
        }
        out.append(t.substr(i, hk - i));
        const std::string_view at = t.substr(hk);
        i = hk + 2;
        std::string_view shortForm = "HK";
        // Every prefix goes on with 'E' (long forms), 'C', 'L' or 'U'.
        const char next = at.size() > 2 ? at[2] : '\0';
        const bool prefixed = next == 'E' || next == 'C' || next == 'L' || next == 'U';
        for (const auto& p : kHivePrefixes) {
            if (!prefixed) break;
            if (StartsWith(at, p[0])) {
                shortForm = p[1];
                i = hk + p[0].size();
                break;
            }
        }
        out.append(shortForm);
    }
    if (t.find('\t') != std::string_view::npos) {
        for (char& c : out) {
            if (c == '\t') c = ' ';
        }
    }
    out.push_back(' ');
    return true;
}

LineKind ClassifyLine(std::string_view normalized) {
    if (normalized.empty()) return LineKind::NonCommand;
    unsigned char c = static_cast<unsigned char>(normalized.front());
    if (c >= 0x80) return LineKind::NonCommand;
    if (c == '#')
        return StartsWith(normalized, "#NAME") ? LineKind::EntryStart : LineKind::NonCommand;
    if (c == ';') return LineKind::Command;
    if (IsAsciiPunct(c)) return LineKind::NonCommand;
    return LineKind::Command;
}

namespace {

// Calls `piece` with each piece of `text` as SplitQuotedPieces gives them, until
// it returns false. False when it did.
template <class Piece>
bool ForEachQuotedPiece(std::string_view text, Piece&& piece) {
    std::size_t i = 0;
    for (;;) {
        while (i < text.size() && text[i] == ' ') ++i;
        if (i >= text.size()) break;
        std::size_t begin = text[i] == '"' ? i + 1 : i;
        std::size_t end = text.find(text[i] == '"' ? '"' : ' ', begin);
        if (end == std::string_view::npos) break;  // unterminated: dropped
        if (!piece(text.substr(begin, end - begin))) return false;
        i = end + 1;
    }
    return true;
}

}  // namespace

std::vector<std::string_view> SplitQuotedPieces(std::string_view text) {
    std::vector<std::string_view> pieces;
    ForEachQuotedPiece(text, [&](std::string_view piece) {
        pieces.push_back(piece);
        return true;
    });
    return pieces;
}

int ParseLine(Context& ctx, std::string_view line, std::string& command,
              std::vector<std::string>& params) {
    command.clear();
    // The strings `params` holds are reused for the new parameters; on failure
    // it is left empty.
    std::size_t added = 0;
    std::size_t ws = line.find(' ');
    if (ws == std::string_view::npos) {
        params.clear();
        ctx.Debug("ParseLine... no ws... " + std::string(line) + "\n");
        return 0;
    }
    std::string_view word = line.substr(0, ws);
    int count = GetParamCount(ctx, word);
    if (count < 0) {
        params.clear();
        return 0;
    }

    auto reject = [&]() {
        ctx.Debug("ParseLine... # of param... " + std::string(line) + "\n");
        params.clear();
        return 0;
    };
    // Expands the macros of one parameter and adds it: 1 added, 0 rejected
    // (a registry macro that does not resolve, or an empty result).
    auto add = [&](std::string_view raw) {
        if (added == params.size()) params.emplace_back();
        std::string& param = params[added];
        param.assign(raw);
        ExpandEnvStr(ctx, param);
        if (!ExpandRegStr(ctx, param)) {
            params.clear();
            return 0;
        }
        if (param.empty()) return reject();
        ++added;
        return 1;
    };

    std::string_view rest = line.substr(ws + 1);
    if (count == 1) {
        std::string_view p = text::TrimView(rest);
        if (p.size() > 1 && p.front() == '"' && p.back() == '"') p = p.substr(1, p.size() - 2);
        if (p.empty()) return reject();
        if (!add(p)) return 0;
    } else if (count >= 2) {
        bool rejected = false;
        const bool all = ForEachQuotedPiece(rest, [&](std::string_view piece) {
            if (piece.empty()) {
                rejected = true;
                return false;
            }
            return add(piece) != 0;
        });
        if (rejected) return reject();
        if (!all) return 0;
    }
    params.resize(added);
    command.assign(word);
    return 1;
}

namespace {

// The events of one raw line, as ScriptLineEvents gives them; `newEvent()`
// gives the event to fill (empty but for the capacity of its strings) and
// `dropEvent()` takes the last one back; `line` is a buffer for the normalised line.
template <class NewEvent, class DropEvent>
void LineEvents(Context& ctx, std::string_view raw, std::string& line, NewEvent&& newEvent,
                DropEvent&& dropEvent) {
    if (!NormalizeLine(raw, line)) return;

    if (ClassifyLine(line) == LineKind::NonCommand) {
        if (StartsWith(line, "#VERSION")) {
            ScriptEvent& e = newEvent();
            e.kind = ScriptEvent::Version;
            e.text = line.size() > 9 ? line.substr(9) : std::string();
        } else if (line.size() > 1 && line.front() == '^') {
            ScriptEvent& e = newEvent();
            e.kind = ScriptEvent::Exclusion;
            e.text = text::Trim(std::string_view(line).substr(1));
        }
        return;  // any other such line is a comment
    }

    bool cureOnly = false;
    if (line.front() == ';') {
        std::size_t from = 1;
        while (from < line.size() && text::IsSpace(line[from])) ++from;
        if (from == line.size()) return;
        line.erase(0, from);
        cureOnly = true;
    }

    if (StartsWith(line, "#NAME")) {
        ScriptEvent& e = newEvent();
        e.name = line.size() > 6 ? text::Trim(std::string_view(line).substr(6)) : std::string();
        e.kind = e.name.empty() ? ScriptEvent::EmptyName : ScriptEvent::EntryStart;
        e.text = line;
        e.cureOnly = cureOnly;
        return;
    }

    for (const auto& t : kTypePrefixes) {
        if (!StartsWith(line, t[0])) continue;
        // The base name: between the first and the second blank, cut before its first '.'.
        std::string_view base;
        std::size_t first = line.find(' ');
        if (first != std::string::npos) {
            std::size_t second = line.find(' ', first + 1);
            if (second == std::string::npos) second = line.size();
            base = std::string_view(line).substr(first + 1, second - first - 1);
            base = base.substr(0, base.find('.'));
        }
        ScriptEvent& e = newEvent();
        e.typeLine = true;
        e.cureOnly = cureOnly;
        if (base.empty()) {
            e.kind = ScriptEvent::EmptyName;
            e.text = line;
        } else {
            e.kind = ScriptEvent::EntryStart;
            e.name = std::string(t[1]) + std::string(base);
            e.text = "#NAME " + e.name;
        }
        break;
    }

    // Parsed into the event itself, so that its strings serve again.
    ScriptEvent& e = newEvent();
    if (!ParseLine(ctx, line, e.command, e.params)) {
        dropEvent();
        return;
    }
    e.kind = ScriptEvent::Command;
    e.text.swap(line);  // the line's buffer serves the next line
    e.cureOnly = cureOnly;
}

}  // namespace

void ScriptLineEvents(Context& ctx, std::string_view raw, std::vector<ScriptEvent>& events) {
    std::string line;
    LineEvents(
        ctx, raw, line, [&]() -> ScriptEvent& { return events.emplace_back(); },
        [&]() { events.pop_back(); });
}

ScriptReader::ScriptReader(Context& ctx) : ctx_(ctx) {}

ScriptReader::~ScriptReader() = default;

bool ScriptReader::Open(const std::string& plainPath, const std::string& scrambledPath) {
    next_ = 0;
    filled_ = 0;
    return file_.Open(plainPath, scrambledPath);
}

bool ScriptReader::NextRawLine(std::string& line) {
    return file_.Next(line, [this](const std::string& message) { ctx_.Debug(message); });
}

bool ScriptReader::Next(ScriptEvent& event) {
    // The events of a line are made in the slots of pending_ and swapped out to
    // the caller, so that the strings of earlier events serve the later ones.
    while (next_ == filled_) {
        thread_local std::string raw;  // its buffer serves every line
        if (!NextRawLine(raw)) return false;
        next_ = 0;
        filled_ = 0;
        LineEvents(
            ctx_, raw, line_,
            [this]() -> ScriptEvent& {
                if (filled_ == pending_.size()) pending_.emplace_back();
                ScriptEvent& e = pending_[filled_++];
                e.kind = ScriptEvent::Command;
                e.text.clear();
                e.name.clear();
                e.cureOnly = false;
                e.typeLine = false;
                e.command.clear();
                return e;  // its parameters are ParseLine's to set, or cleared below
            },
            [this]() { --filled_; });
        for (std::size_t i = 0; i < filled_; ++i) {
            if (pending_[i].kind != ScriptEvent::Command) pending_[i].params.clear();
        }
    }
    std::swap(event, pending_[next_++]);
    return true;
}

bool ReadListFile(const std::string& plainPath, const std::string& scrambledPath,
                  std::vector<std::string>& lines, const DatabaseFile::DebugFn& debug) {
    DatabaseFile file;
    lines.clear();
    if (!file.Open(plainPath, scrambledPath)) return false;
    std::string line;
    while (file.Next(line, debug)) {
        std::string_view t = text::TrimView(line);
        if (!t.empty()) lines.emplace_back(t);
    }
    return true;
}

}  // namespace veldan::engine
