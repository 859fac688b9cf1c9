// immunize and killbit: the immunization page and the KillBit page without a window.

#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "engine/immunize.h"
#include "json_out.h"
#include "program_folder.h"
#include "session.h"
#include "text/strings.h"

namespace veldan::cli {
namespace {

constexpr const char* kImmunizeUsage =
    "usage: immunize --machine M (list | block-all | unblock-all) [--json]";
constexpr const char* kKillbitUsage =
    "usage: killbit --machine M (list | add CLSID NAME | remove CLSID | block-all | unblock-all) "
    "[--json]";

struct ListOptions {
    std::string machine;
    MachineOptions load;
    bool json = false;
    std::string clsid, name;  // killbit add and remove
};

void Print(const std::string& out) {
    std::fwrite(out.data(), 1, out.size(), stdout);
}

Json ImmunizationDocument(const engine::ImmunizationList& list) {
    Json rows = Json::array();
    for (const engine::ImmunizationRow& row : list.rows) {
        Json r;
        if (row.kind == engine::ImmunizationKind::ActiveX) {
            r["kind"] = "activex";
            r["name"] = Utf8(row.name);
            r["clsid"] = Utf8(row.clsid);
        } else {
            r["kind"] = "cookie";
            r["domain"] = Utf8(row.name);
        }
        r["blocked"] = row.blocked;
        rows.push_back(std::move(r));
    }
    Json doc;
    doc["total"] = list.total;
    doc["blocked"] = list.blocked;
    doc["rows"] = std::move(rows);
    return doc;
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

Json KillBitDocument(const engine::KillBitList& list) {
    Json rows = Json::array();
    for (const engine::KillBitEntry& e : list.entries()) {
        rows.push_back({{"clsid", Utf8(e.clsid)}, {"name", Utf8(e.name)}, {"blocked", e.blocked}});
    }
    Json doc;
    doc["total"] = list.total();
    doc["blocked"] = list.BlockedCount();
    doc["rows"] = std::move(rows);
    return doc;
}

std::string KillBitText(const engine::KillBitList& list) {
    std::string out = list.CountText() + "\n";
    for (const engine::KillBitEntry& e : list.entries()) {
        out += (e.blocked ? "[x] " : "[ ] ") + e.clsid + "\t" + e.name + "\n";
    }
    return out;
}

// Opens the machine of an immunize or killbit command; false with `code` set
// when the words are incomplete (the command's usage) or the machine cannot be opened.
bool OpenListMachine(const Globals& g, const std::string& action, const ListOptions& o,
                     const char* usage, Session& s, int& code) {
    if (action.empty() || (o.machine.empty() && !HasLiveMachine())) {
        code = Fail(kExitUsage, usage);
        return false;
    }
    return OpenSession(g, o.machine, true, s, code, o.load.Load());
}

int RunImmunize(const Globals& g, const std::string& action, const ListOptions& o) {
    int code = kExitOk;
    Session s;
    if (!OpenListMachine(g, action, o, kImmunizeUsage, s, code)) return code;
    engine::ImmunizationList list;
    if (action == "list") {
        list = engine::FillImmunizationList(*s.ctx);
    } else {
        list = engine::SetAllImmunization(*s.ctx, action == "block-all");
        if (!s.Save(false)) return kExitFailure;
    }
    if (o.json) {
        PrintJson(ImmunizationDocument(list));
    } else {
        Print(ImmunizationText(list));
    }
    return kExitOk;
}

int RunKillbit(const Globals& g, const std::string& action, const ListOptions& o) {
    int code = kExitOk;
    Session s;
    if (!OpenListMachine(g, action, o, kKillbitUsage, s, code)) return code;
    engine::KillBitList list(*s.ctx);
    list.Load();

    bool listChanged = false;
    if (action == "add") {
        engine::KillBitEntryCheck check =
            engine::CheckKillBitEntry(*s.ctx, o.name, o.clsid, &list.entries(), -1);
        if (!check.ok) return Fail(kExitUsage, check.message);
        list.Add(check.name, check.clsid);
        listChanged = true;
    } else if (action == "remove") {
        int index = list.Find(text::Trim(o.clsid));
        if (index < 0) return Fail(kExitUsage, "no KillBit entry " + o.clsid);
        while (index >= 0) {
            list.Remove(index);
            index = list.Find(text::Trim(o.clsid));
        }
        listChanged = true;
    } else if (action == "block-all") {
        list.BlockAll();
    } else if (action == "unblock-all") {
        list.UnblockAll();
    }
    if (action != "list") {
        if (!s.Save(false)) return kExitFailure;
        if (listChanged && !list.Save()) {
            return Fail(kExitFailure,
                        "cannot write the KillBit list " +
                            (list.plainFile() ? engine::PlainKillBitPath(*s.ctx)
                                              : engine::ScrambledKillBitPath(*s.ctx)));
        }
        // What the registry holds now.
        list.Load();
    }
    if (o.json) {
        PrintJson(KillBitDocument(list));
    } else {
        Print(KillBitText(list));
    }
    return kExitOk;
}

// --machine and --json stand before or after the action word.
void AddListOptions(CLI::App& on, ListOptions& o) {
    on.add_option("-m,--machine", o.machine, "machine image or Windows installation");
    AddMachineOptions(on, o.load);
    on.add_flag("-j,--json", o.json, "the list as one JSON document");
}

// An action word below `cmd` with the list options.
CLI::App* AddAction(CLI::App& cmd, const char* name, const char* description, Globals& g,
                    ListOptions& o) {
    CLI::App* action = AddCommand(cmd, name, description, g);
    AddListOptions(*action, o);
    return action;
}

}  // namespace

void AddImmunizeCommand(CLI::App& app, Globals& g, Action& action) {
    auto o = std::make_shared<ListOptions>();
    CLI::App* cmd = AddCommand(app, "immunize",
                               "the ActiveX controls and tracking cookies the databases block", g);
    AddListOptions(*cmd, *o);
    cmd->require_subcommand(0, 1);
    AddAction(*cmd, "list", "each control and cookie with its state", g, *o);
    AddAction(*cmd, "block-all", "block every control and cookie", g, *o);
    AddAction(*cmd, "unblock-all", "release every control and cookie", g, *o);
    cmd->callback([&g, &action, cmd, o] {
        action = [&g, cmd, o] { return RunImmunize(g, ChosenWord(*cmd), *o); };
    });
}

void AddKillbitCommand(CLI::App& app, Globals& g, Action& action) {
    auto o = std::make_shared<ListOptions>();
    CLI::App* cmd = AddCommand(app, "killbit", "the user's own KillBit list", g);
    AddListOptions(*cmd, *o);
    cmd->require_subcommand(0, 1);
    AddAction(*cmd, "list", "each entry with its state", g, *o);
    CLI::App* add = AddAction(*cmd, "add", "add an entry and set its kill bit", g, *o);
    add->add_option("CLSID", o->clsid, "class identifier {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}")
        ->required();
    add->add_option("NAME", o->name, "name of the control")->required();
    CLI::App* remove = AddAction(*cmd, "remove", "remove an entry", g, *o);
    remove->add_option("CLSID", o->clsid, "class identifier of the entry")->required();
    AddAction(*cmd, "block-all", "set the kill bit of every entry", g, *o);
    AddAction(*cmd, "unblock-all", "clear the kill bit of every entry", g, *o);
    cmd->callback([&g, &action, cmd, o] {
        action = [&g, cmd, o] { return RunKillbit(g, ChosenWord(*cmd), *o); };
    });
}

}  // namespace veldan::cli
