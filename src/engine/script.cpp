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
        for (const auto& p : kHivePrefixes) {
            if (StartsWith(at, p[0])) {
                shortForm = p[1];
                i = hk + p[0].size();
                break;
            }
        }
        out.append(shortForm);
    }
    for (char& c : out) {
        if (c == '\t') c = ' ';
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

std::vector<std::string_view> SplitQuotedPieces(std::string_view text) {
    std::vector<std::string_view> pieces;
    std::size_t i = 0;
    for (;;) {
        while (i < text.size() && text[i] == ' ') ++i;
        if (i >= text.size()) break;
        std::size_t begin = text[i] == '"' ? i + 1 : i;
        std::size_t end = text.find(text[i] == '"' ? '"' : ' ', begin);
        if (end == std::string_view::npos) break;  // unterminated: dropped
        pieces.push_back(text.substr(begin, end - begin));
        i = end + 1;
    }
    return pieces;
}

int ParseLine(Context& ctx, std::string_view line, std::string& command,
              std::vector<std::string>& params) {
    command.clear();
    params.clear();
    std::size_t ws = line.find(' ');
    if (ws == std::string_view::npos) {
        ctx.Debug("ParseLine... no ws... " + std::string(line) + "\n");
        return 0;
    }
    std::string_view word = line.substr(0, ws);
    int count = GetParamCount(ctx, word);
    if (count < 0) return 0;

    auto reject = [&]() {
        ctx.Debug("ParseLine... # of param... " + std::string(line) + "\n");
        params.clear();
        return 0;
    };
    // Expands the macros of one parameter and adds it: 1 added, 0 rejected
    // (a registry macro that does not resolve, or an empty result).
    auto add = [&](std::string_view raw) {
        std::string param(raw);
        ExpandEnvStr(ctx, param);
        if (!ExpandRegStr(ctx, param)) {
            params.clear();
            return 0;
        }
        if (param.empty()) return reject();
        params.push_back(std::move(param));
        return 1;
    };

    std::string_view rest = line.substr(ws + 1);
    if (count == 1) {
        std::string_view p = text::TrimView(rest);
        if (p.size() > 1 && p.front() == '"' && p.back() == '"') p = p.substr(1, p.size() - 2);
        if (p.empty()) return reject();
        if (!add(p)) return 0;
    } else if (count >= 2) {
        for (std::string_view piece : SplitQuotedPieces(rest)) {
            if (piece.empty()) return reject();
            if (!add(piece)) return 0;
        }
    }
    command.assign(word);
    return 1;
}

void ScriptLineEvents(Context& ctx, std::string_view raw, std::vector<ScriptEvent>& events) {
    std::string line;
    if (!NormalizeLine(raw, line)) return;

    if (ClassifyLine(line) == LineKind::NonCommand) {
        if (StartsWith(line, "#VERSION")) {
            ScriptEvent& e = events.emplace_back();
            e.kind = ScriptEvent::Version;
            e.text = line.size() > 9 ? line.substr(9) : std::string();
        } else if (line.size() > 1 && line.front() == '^') {
            ScriptEvent& e = events.emplace_back();
            e.kind = ScriptEvent::Exclusion;
            e.text = text::Trim(std::string_view(line).substr(1));
        }
        return;  // any other such line is a comment
    }

    bool cureOnly = false;
    if (line.front() == ';') {
        std::string rest = text::TrimLeft(std::string_view(line).substr(1));
        if (rest.empty()) return;
        line = std::move(rest);
        cureOnly = true;
    }

    if (StartsWith(line, "#NAME")) {
        ScriptEvent& e = events.emplace_back();
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
        ScriptEvent& e = events.emplace_back();
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

    std::string command;
    std::vector<std::string> params;
    if (!ParseLine(ctx, line, command, params)) return;
    ScriptEvent& e = events.emplace_back();
    e.kind = ScriptEvent::Command;
    e.text = std::move(line);
    e.cureOnly = cureOnly;
    e.command = std::move(command);
    e.params = std::move(params);
}

ScriptReader::ScriptReader(Context& ctx) : ctx_(ctx) {}

ScriptReader::~ScriptReader() = default;

bool ScriptReader::Open(const std::string& plainPath, const std::string& scrambledPath) {
    pending_.clear();
    return file_.Open(plainPath, scrambledPath);
}

bool ScriptReader::NextRawLine(std::string& line) {
    return file_.Next(line, [this](const std::string& message) { ctx_.Debug(message); });
}

bool ScriptReader::Next(ScriptEvent& event) {
    while (pending_.empty()) {
        thread_local std::string line;  // its buffer serves every line
        if (!NextRawLine(line)) return false;
        ScriptLineEvents(ctx_, line, pending_);
    }
    event = std::move(pending_.front());
    pending_.erase(pending_.begin());
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
