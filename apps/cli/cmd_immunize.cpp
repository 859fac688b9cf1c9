// immunize and killbit: the immunization page and the KillBit page without a window.

#include <cstdio>
#include <string>
#include <vector>

#include "args.h"
#include "commands.h"
#include "engine/immunize.h"
#include "json.h"
#include "session.h"
#include "text/strings.h"

namespace veldan::cli {
namespace {

constexpr const char* kImmunizeUsage =
    "usage: immunize --machine M (list | block-all | unblock-all) [--json]";
constexpr const char* kKillbitUsage =
    "usage: killbit --machine M (list | add CLSID NAME | remove CLSID | block-all | unblock-all) "
    "[--json]";

void Print(const std::string& out) {
    std::fwrite(out.data(), 1, out.size(), stdout);
}

const char* Bool(bool b) {
    return b ? "true" : "false";
}

std::string ImmunizationJson(const engine::ImmunizationList& list) {
    std::string out = "{\"total\": " + std::to_string(list.total) +
                      ", \"blocked\": " + std::to_string(list.blocked) + ", \"rows\": [";
    bool first = true;
    for (const engine::ImmunizationRow& row : list.rows) {
        if (!first) out += ", ";
        first = false;
        if (row.kind == engine::ImmunizationKind::ActiveX) {
            out += "{\"kind\": \"activex\", \"name\": " + JsonString(row.name) +
                   ", \"clsid\": " + JsonString(row.clsid);
        } else {
            out += "{\"kind\": \"cookie\", \"domain\": " + JsonString(row.name);
        }
        out += std::string(", \"blocked\": ") + Bool(row.blocked) + "}";
    }
    return out + "]}\n";
}

std::string ImmunizationText(const engine::ImmunizationList& list) {
    std::string out = engine::ImmunizationCountText(list.total, list.blocked) + "\n";
    for (const engine::ImmunizationRow& row : list.rows) {
        out += row.blocked ? "[x] " : "[ ] ";
        if (row.kind == engine::ImmunizationKind::ActiveX) {
            out += "ActiveX\t" + row.name + "\t" + row.clsid + "\n";
        } else {
            out += "쿠키\t" + row.name + "\n";
        }
    }
    return out;
}

std::string KillBitJson(const engine::KillBitList& list) {
    std::string out = "{\"total\": " + std::to_string(list.total()) +
                      ", \"blocked\": " + std::to_string(list.BlockedCount()) + ", \"rows\": [";
    bool first = true;
    for (const engine::KillBitEntry& e : list.entries()) {
        if (!first) out += ", ";
        first = false;
        out += "{\"clsid\": " + JsonString(e.clsid) + ", \"name\": " + JsonString(e.name) +
               ", \"blocked\": " + Bool(e.blocked) + "}";
    }
    return out + "]}\n";
}

std::string KillBitText(const engine::KillBitList& list) {
    std::string out = list.CountText() + "\n";
    for (const engine::KillBitEntry& e : list.entries()) {
        out += (e.blocked ? "[x] " : "[ ] ") + e.clsid + "\t" + e.name + "\n";
    }
    return out;
}

// Parses "--machine M" and "--json" around the command words.
bool ParseCommon(const std::vector<std::string>& argv, const char* usage, Args& args,
                 std::string& machine, int& code) {
    std::string error;
    if (!args.Parse(argv, MachineFlags({"json"}), MachineValued({"machine"}), error)) {
        code = Fail(kExitUsage, error);
        return false;
    }
    if (args.positional().empty()) {
        code = Fail(kExitUsage, usage);
        return false;
    }
    auto m = args.Value("machine");
    if (!m) {
        code = Fail(kExitUsage, usage);
        return false;
    }
    machine = *m;
    return true;
}

}  // namespace

int RunImmunize(const Globals& g, const std::vector<std::string>& argv) {
    Args args;
    std::string folder;
    int code = kExitOk;
    if (!ParseCommon(argv, kImmunizeUsage, args, folder, code)) return code;
    const auto& pos = args.positional();
    const std::string& action = pos[0];
    if (action != "list" && action != "block-all" && action != "unblock-all") {
        return Fail(kExitUsage, kImmunizeUsage);
    }
    if (pos.size() != 1) return Fail(kExitUsage, "immunize " + action + " takes no further words");

    Session s;
    if (!OpenSession(g, folder, true, s, code, MachineLoadOptions(args))) return code;
    engine::ImmunizationList list;
    if (action == "list") {
        list = engine::FillImmunizationList(*s.ctx);
    } else {
        list = engine::SetAllImmunization(*s.ctx, action == "block-all");
        if (!s.Save()) return kExitFailure;
    }
    Print(args.Has("json") ? ImmunizationJson(list) : ImmunizationText(list));
    return kExitOk;
}

int RunKillbit(const Globals& g, const std::vector<std::string>& argv) {
    Args args;
    std::string folder;
    int code = kExitOk;
    if (!ParseCommon(argv, kKillbitUsage, args, folder, code)) return code;
    const auto& pos = args.positional();
    const std::string& action = pos[0];
    std::size_t words = 1;
    if (action == "add") {
        words = 3;
    } else if (action == "remove") {
        words = 2;
    } else if (action != "list" && action != "block-all" && action != "unblock-all") {
        return Fail(kExitUsage, kKillbitUsage);
    }
    if (pos.size() != words) return Fail(kExitUsage, kKillbitUsage);

    Session s;
    if (!OpenSession(g, folder, true, s, code, MachineLoadOptions(args))) return code;
    engine::KillBitList list(*s.ctx);
    list.Load();

    bool listChanged = false;
    if (action == "add") {
        engine::KillBitEntryCheck check =
            engine::CheckKillBitEntry(*s.ctx, pos[2], pos[1], &list.entries(), -1);
        if (!check.ok) return Fail(kExitUsage, check.message);
        list.Add(check.name, check.clsid);
        listChanged = true;
    } else if (action == "remove") {
        int index = list.Find(text::Trim(pos[1]));
        if (index < 0) return Fail(kExitUsage, "no KillBit entry " + pos[1]);
        while (index >= 0) {
            list.Remove(index);
            index = list.Find(text::Trim(pos[1]));
        }
        listChanged = true;
    } else if (action == "block-all") {
        list.BlockAll();
    } else if (action == "unblock-all") {
        list.UnblockAll();
    }
    if (action != "list") {
        if (!s.Save()) return kExitFailure;
        if (listChanged && !list.Save()) {
            return Fail(kExitFailure,
                        "cannot write the KillBit list " +
                            (list.plainFile() ? engine::PlainKillBitPath(*s.ctx)
                                              : engine::ScrambledKillBitPath(*s.ctx)));
        }
        // What the registry holds now.
        list.Load();
    }
    Print(args.Has("json") ? KillBitJson(list) : KillBitText(list));
    return kExitOk;
}

}  // namespace veldan::cli
