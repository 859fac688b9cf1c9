#include "quarantine/journal.h"

#include <ctime>
#include <map>

namespace veldan::quarantine {
using namespace machine;

namespace {

std::string Dump(const Json& j) {
    return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// The lines of a journal file. A last line without its line end was cut short
// by a stop and is dropped.
WinError Lines(const FileSystem& fs, std::string_view path, std::vector<Json>& lines,
               std::string& problem) {
    std::string bytes;
    if (WinError e = fs.ReadFile(path, bytes)) {
        problem = "cannot read the journal " + std::string(path);
        return e;
    }
    std::size_t pos = 0, number = 0;
    while (pos < bytes.size()) {
        const std::size_t end = bytes.find('\n', pos);
        if (end == std::string::npos) break;
        ++number;
        Json j = Json::parse(bytes.begin() + static_cast<std::ptrdiff_t>(pos),
                             bytes.begin() + static_cast<std::ptrdiff_t>(end), nullptr, false);
        if (j.is_discarded() || !j.is_object()) {
            problem = "damaged journal " + std::string(path) + ": line " + std::to_string(number) +
                      " is not a JSON object";
            return ERROR_INVALID_DATA;
        }
        lines.push_back(std::move(j));
        pos = end + 1;
    }
    if (lines.empty() || lines[0].value("format", std::string()) != kJournalFormat) {
        problem = "not a quarantine journal: " + std::string(path);
        return ERROR_INVALID_DATA;
    }
    if (lines[0].value("version", 0) != kJournalVersion) {
        problem = "journal " + std::string(path) + " has version " +
                  std::to_string(lines[0].value("version", 0)) + "; this program reads version " +
                  std::to_string(kJournalVersion);
        return ERROR_INVALID_DATA;
    }
    return ERROR_SUCCESS;
}

bool ParseChange(const Json& j, Change& c) {
    if (!j["seq"].is_number_unsigned() || !j["op"].is_string() || !j["type"].is_string() ||
        !j["text"].is_string() || !j["kind"].is_string())
        return false;
    c.seq = j["seq"].get<std::uint64_t>();
    c.op = j["op"].get<std::string>();
    c.type = j["type"].get<std::string>();
    c.text = j["text"].get<std::string>();
    c.kind = j["kind"].get<std::string>();
    c.row = j.value("row", -1);
    c.undoable = j.value("undoable", true);
    c.target = j.value("target", Json());
    c.before = j.value("before", Json());
    return true;
}

}  // namespace

WinError JournalWriter::Open(FileSystem& fs, std::string_view path, const Json& header) {
    std::uint32_t attributes = 0;
    const bool fresh = fs.GetAttributes(path, attributes) != ERROR_SUCCESS;
    std::unique_ptr<FileWriter> w;
    if (WinError e = fs.OpenWrite(path, WriteMode::Append, w)) return e;
    writer_ = std::move(w);
    if (fresh) {
        if (WinError e = Append(header)) {
            writer_.reset();
            return e;
        }
    }
    return ERROR_SUCCESS;
}

WinError JournalWriter::Append(const Json& line, bool durable) {
    if (!writer_) return ERROR_INVALID_HANDLE;
    const std::string text = Dump(line) + "\n";
    if (WinError e = writer_->Write(text.data(), text.size())) return e;
    return durable ? writer_->Flush() : ERROR_SUCCESS;
}

bool MadeNoChange(const Change& c) {
    if (!c.finished || c.result != ERROR_SUCCESS || c.kind == "none") return false;
    if (c.kind == "file") {
        return SameFile(c.before, c.after) &&
               c.before.value("times", Json()) == c.after.value("times", Json());
    }
    return c.before == c.after;
}

Json ChangeLine(const Change& c) {
    return {{"seq", c.seq},   {"op", c.op},         {"type", c.type},
            {"text", c.text}, {"row", c.row},       {"undoable", c.undoable},
            {"kind", c.kind}, {"target", c.target}, {"before", c.before}};
}

Json OutcomeLine(const Change& c) {
    return {{"seq", c.seq}, {"result", c.result}, {"after", c.after}};
}

Json JournalHeader(std::string_view kind) {
    return {{"format", kJournalFormat},
            {"version", kJournalVersion},
            {"kind", kind},
            {"time", UtcNow("%Y-%m-%dT%H:%M:%SZ")}};
}

WinError ReadCureJournal(const FileSystem& fs, std::string_view path, CureJournal& journal,
                         std::string& problem) {
    std::vector<Json> lines;
    if (WinError e = Lines(fs, path, lines, problem)) return e;
    if (lines[0].value("kind", std::string()) != "cure") {
        problem = "not a cure journal: " + std::string(path);
        return ERROR_INVALID_DATA;
    }
    CureJournal out;
    out.header = lines[0];
    std::map<std::uint64_t, std::size_t> bySeq;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const Json& j = lines[i];
        if (j.contains("end")) {
            out.ended = true;
            out.completed = j.value("completed", false);
            continue;
        }
        if (j.contains("result")) {
            auto it = j["seq"].is_number_unsigned() ? bySeq.find(j["seq"].get<std::uint64_t>())
                                                    : bySeq.end();
            if (it == bySeq.end() || !j["result"].is_number_unsigned()) {
                problem = "damaged journal " + std::string(path) + ": line " +
                          std::to_string(i + 1) + " records the outcome of no change";
                return ERROR_INVALID_DATA;
            }
            Change& c = out.changes[it->second];
            c.finished = true;
            c.result = j["result"].get<WinError>();
            c.after = j.value("after", Json());
            continue;
        }
        Change c;
        if (!ParseChange(j, c)) {
            problem = "damaged journal " + std::string(path) + ": line " + std::to_string(i + 1) +
                      " is not a change";
            return ERROR_INVALID_DATA;
        }
        bySeq[c.seq] = out.changes.size();
        out.changes.push_back(std::move(c));
    }
    journal = std::move(out);
    return ERROR_SUCCESS;
}

WinError ReadRestoreJournal(const FileSystem& fs, std::string_view path, RestoreJournal& journal,
                            std::string& problem) {
    std::uint32_t attributes = 0;
    if (fs.GetAttributes(path, attributes) != ERROR_SUCCESS) {
        journal = RestoreJournal{};
        return ERROR_SUCCESS;
    }
    std::vector<Json> lines;
    if (WinError e = Lines(fs, path, lines, problem)) return e;
    RestoreJournal out;
    out.exists = true;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const Json& j = lines[i];
        if (j.contains("run")) {
            out.ended = false;  // a later run starts here
            continue;
        }
        if (j.contains("end")) {
            out.ended = true;
            out.conflicts = j.value("conflicts", 0);
            out.failed = j.value("failed", 0);
        }
    }
    journal = out;
    return ERROR_SUCCESS;
}

}  // namespace veldan::quarantine
