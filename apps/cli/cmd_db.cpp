// db info, db scramble and db unscramble: the signature databases.

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "commands.h"
#include "engine/loader.h"
#include "engine/scramble.h"
#include "host/file_read.h"
#include "json_out.h"
#include "program_folder.h"
#include "platform/context.h"
#include "session.h"
#include "text/codepage.h"
#include "text/lines.h"
#include "text/strings.h"

namespace veldan::cli {
namespace {

namespace fs = std::filesystem;

struct DbOptions {
    std::string machine;
    MachineOptions load;
    bool json = false;
    std::string in, out;
};

Json InfoDocument(const platform::CSignatureDb& db) {
    Json doc;
    doc["version"] = Utf8(text::TrimRight(db.DatabaseVersion));
    doc["patterns"] = static_cast<int>(db.PatternCount);
    doc["entries"] = static_cast<int>(db.EntryCount);
    Json killbits = Json::array();
    for (std::size_t i = 0; i < db.KillBitClsids.size(); ++i) {
        const std::string name = i < db.KillBitNames.size() ? db.KillBitNames[i] : std::string();
        killbits.push_back({{"clsid", Utf8(db.KillBitClsids[i])}, {"name", Utf8(name)}});
    }
    doc["killbits"] = std::move(killbits);
    auto strings = [](const std::vector<std::string>& list) {
        Json array = Json::array();
        for (const auto& item : list) array.push_back(Utf8(item));
        return array;
    };
    doc["exclusions"] = strings(db.ExclusionList);
    doc["cookies"] = strings(db.CookieList);
    return doc;
}

std::string InfoText(const platform::CSignatureDb& db) {
    std::string out = "version: " + text::TrimRight(db.DatabaseVersion) + "\n";
    out +=
        text::Format("patterns: %d\nentries: %d\nkill-bits: %zu\nexclusions: %zu\ncookies: %zu\n",
                     static_cast<int>(db.PatternCount), static_cast<int>(db.EntryCount),
                     db.KillBitClsids.size(), db.ExclusionList.size(), db.CookieList.size());
    return out;
}

void PrintInfo(const platform::CSignatureDb& db, bool json) {
    if (json) {
        PrintJson(InfoDocument(db));
    } else {
        std::string out = InfoText(db);
        std::fwrite(out.data(), 1, out.size(), stdout);
    }
}

int RunInfo(const Globals& g, const DbOptions& o) {
    if (o.machine.empty() && !HasLiveMachine()) {
        if (!o.load.user.empty()) {
            return Fail(kExitUsage, "--user applies to Windows installations only");
        }
        EmptyMachineSession s(g);
        PrintInfo(s.ctx->db(), o.json);
        return kExitOk;
    }
    Session s;
    int code = kExitOk;
    if (!OpenSession(g, o.machine, true, s, code, o.load.Load())) return code;
    PrintInfo(s.ctx->db(), o.json);
    return kExitOk;
}

int RunConvert(bool scramble, const std::string& in, const std::string& out) {
    std::string bytes;
    std::error_code ec;
    if (fs::is_directory(in, ec) || !host::ReadWholeFile(in, bytes)) {
        return Fail(kExitFailure, "cannot read " + in);
    }
    std::string result;
    result.reserve(scramble ? bytes.size() * 2 : bytes.size() / 2);
    std::string line;
    if (scramble) {
        // Plain sources are UTF-8 when valid, else CP949; the scrambled lines
        // carry CP949 bytes and end in CR LF, as the Windows program writes them.
        std::string utf8 = text::DecodeText(bytes);
        for (std::string_view l : text::SplitLines(utf8)) {
            engine::Scramble(text::Utf8ToCp949(l), line);
            result += line;
            result += "\r\n";
        }
    } else {
        std::string plain;
        for (std::string_view l : text::SplitLines(bytes)) {
            engine::Unscramble(l, plain);
            result += text::DecodeText(plain);
            result += "\n";
        }
    }
    if (!WriteFileAtomic(out, result)) return Fail(kExitFailure, "cannot write " + out);
    return kExitOk;
}

int RunDb(const Globals& g, const CLI::App& cmd, const DbOptions& o) {
    const std::string word = ChosenWord(cmd);
    if (word.empty()) {
        return Fail(
            kExitUsage,
            "usage: db info [--machine M] [--json] | db scramble IN OUT | db unscramble IN OUT");
    }
    if (word == "info") return RunInfo(g, o);
    if (o.json || !o.machine.empty() || !o.load.user.empty() || o.load.force) {
        return Fail(kExitUsage, "db " + word + " takes no options");
    }
    return RunConvert(word == "scramble", o.in, o.out);
}

}  // namespace

std::string DatabaseVersion(const Globals& g) {
    EmptyMachineSession s(g);
    return text::Trim(s.ctx->db().DatabaseVersion);
}

void AddDbCommand(CLI::App& app, Globals& g, Action& action) {
    auto o = std::make_shared<DbOptions>();
    // The options of db info stand before or after the word "info".
    auto infoOptions = [o](CLI::App& on) {
        on.add_option("-m,--machine", o->machine,
                      "resolve registry macros against this machine (db info)");
        AddMachineOptions(on, o->load);
        on.add_flag("-j,--json", o->json, "the counts and lists as one JSON document (db info)");
    };
    CLI::App* cmd = AddCommand(app, "db", "the signature databases", g);
    infoOptions(*cmd);
    cmd->require_subcommand(0, 1);
    infoOptions(*AddCommand(*cmd, "info", "version, counts, kill bits, exclusions and cookies", g));
    for (const char* word : {"scramble", "unscramble"}) {
        CLI::App* sub = AddCommand(*cmd, word,
                                   std::string(word) == "scramble"
                                       ? "scramble the plain database IN into OUT"
                                       : "unscramble the database IN into plain text OUT",
                                   g);
        // Both commands fill the same two words; only one of them runs.
        sub->add_option("IN", o->in, "database to read")->required();
        sub->add_option("OUT", o->out, "file to write")->required();
    }
    cmd->callback([&g, &action, cmd, o] { action = [&g, cmd, o] { return RunDb(g, *cmd, *o); }; });
}

}  // namespace veldan::cli
