// quarantine: the cures kept on a machine; list them, restore them, purge them.

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "commands.h"
#include "json_out.h"
#include "quarantine/restore.h"
#include "quarantine/store.h"
#include "session.h"
#include "terminal.h"

namespace veldan::cli {
namespace {

struct QuarantineOptions {
    std::string machine;
    std::string user;
    std::string folder;  // --quarantine
    bool all = false;
    std::vector<std::string> ids;
    bool force = false;
    bool json = false;
};

// Progress of files coming back out of the quarantine.
class RestoreProgress final : public quarantine::JournalObserver {
  public:
    explicit RestoreProgress(bool quiet) : line_(quiet) {}
    void OnFileProgress(std::string_view path, std::uint64_t done, std::uint64_t total) override {
        if (!line_.enabled() || total < (std::uint64_t{16} << 20)) return;
        line_.Show("복원 중 " + std::to_string(total == 0 ? 100 : done * 100 / total) + "% " +
                   std::string(path.substr(0, 50)));
        if (done >= total) line_.Clear();
    }

  private:
    ProgressLine line_;
};

Json CureJson(const quarantine::CureInfo& c) {
    Json j = {
        {"id", c.id},           {"time", c.time},           {"entries", c.entries},
        {"changes", c.changes}, {"completed", c.completed}, {"restored", c.state == "restored"},
        {"state", c.state}};
    if (!c.problem.empty()) j["problem"] = Utf8(c.problem);
    return j;
}

int List(const std::vector<quarantine::CureInfo>& cures, const std::string& root, bool json) {
    if (json) {
        Json rows = Json::array();
        for (const auto& c : cures) rows.push_back(CureJson(c));
        PrintJson({{"folder", Utf8(root)}, {"cures", rows}});
        return kExitOk;
    }
    std::printf("Quarantine: %s\n", root.c_str());
    if (cures.empty()) {
        std::printf("No cures are kept.\n");
        return kExitOk;
    }
    std::printf("%-20s %-20s %7s %7s  %s\n", "ID", "TIME", "ENTRIES", "CHANGES", "STATE");
    for (const auto& c : cures) {
        std::printf("%-20s %-20s %7d %7d  %s%s\n", c.id.c_str(), c.time.c_str(), c.entries,
                    c.changes, c.state.c_str(),
                    c.completed || c.state == "damaged" ? "" : " (cure stopped early)");
        if (!c.problem.empty()) std::printf("    %s\n", c.problem.c_str());
    }
    return kExitOk;
}

// The ids the command names, newest first: --all takes every cure (for a
// restore, every one not restored yet); an unknown id is a usage error.
bool ChooseIds(const QuarantineOptions& o, const std::vector<quarantine::CureInfo>& cures,
               bool restore, std::vector<std::string>& ids, int& code) {
    if (o.all == !o.ids.empty()) {
        code = Fail(kExitUsage, "give either --all or --id ID");
        return false;
    }
    std::set<std::string> wanted(o.ids.begin(), o.ids.end());
    for (const std::string& id : o.ids) {
        bool known = false;
        for (const auto& c : cures) known = known || c.id == id;
        if (!known) {
            code = Fail(kExitUsage, "no cure has the id '" + id + "'; nothing was changed");
            return false;
        }
    }
    for (const auto& c : cures) {
        if (o.all ? !(restore && c.state == "restored") : wanted.count(c.id) != 0)
            ids.push_back(c.id);
    }
    return true;
}

int Restore(Session& s, const QuarantineOptions& o, const std::vector<std::string>& ids,
            const std::string& root, bool quiet) {
    machine::LoadedMachine& m = s.journal->inner();
    // Every journal is read before anything is put back: a damaged one changes nothing.
    for (const std::string& id : ids) {
        quarantine::CureJournal journal;
        std::string problem;
        if (quarantine::LoadCure(m.files(), root, id, journal, problem) != machine::ERROR_SUCCESS)
            return Fail(kExitFailure, "cannot restore: " + problem + "; nothing was changed");
    }
    quarantine::RestoreReport report;
    RestoreProgress progress(quiet);
    for (const std::string& id : ids) {
        std::string problem;
        if (quarantine::RestoreCure(m, root, id, o.force, report, problem, &progress) !=
            machine::ERROR_SUCCESS)
            return Fail(kExitFailure, "cannot restore " + id + ": " + problem);
    }
    if (!s.Save()) return kExitFailure;
    if (o.json) {
        Json items = Json::array();
        for (const auto& i : report.items) {
            Json j = {{"cure", i.cure},
                      {"op", i.op},
                      {"type", i.type},
                      {"text", Utf8(i.text)},
                      {"outcome", i.outcome}};
            if (!i.detail.empty()) j["detail"] = Utf8(i.detail);
            items.push_back(std::move(j));
        }
        PrintJson({{"cures", ids},
                   {"restored", report.restored},
                   {"already", report.already},
                   {"conflicts", report.conflicts},
                   {"failed", report.failed},
                   {"notUndoable", report.notUndoable},
                   {"items", items}});
    } else {
        std::string cure;
        for (const auto& i : report.items) {
            if (i.cure != cure) {
                cure = i.cure;
                std::printf("Cure %s:\n", cure.c_str());
            }
            std::printf("  %-17s %-18s %-8s %s%s\n", i.outcome.c_str(), i.op.c_str(),
                        i.type.c_str(), i.text.c_str(),
                        i.detail.empty() ? "" : ("  (" + i.detail + ")").c_str());
        }
        std::printf(
            "\n%d restored, %d already as before, %d conflicts, %d failed, %d cannot be "
            "undone.\n",
            report.restored, report.already, report.conflicts, report.failed, report.notUndoable);
        if (report.conflicts > 0 && !o.force)
            std::printf(
                "Conflicting items were left as they are; --force puts them back anyway.\n");
    }
    return report.conflicts + report.failed > 0 ? kExitFailure : kExitOk;
}

int RunQuarantine(const Globals& g, const std::string& word, const QuarantineOptions& o) {
    if (o.machine.empty()) return Fail(kExitUsage, "quarantine needs --machine M");
    if (word.empty()) return Fail(kExitUsage, "quarantine needs list, restore or purge");
    if (word == "list" && (o.all || !o.ids.empty()))
        return Fail(kExitUsage, "list takes neither --all nor --id");
    int code = kExitOk;
    auto opened = LoadMachine(o.machine, machine::LoadOptions{o.user, false}, code);
    if (!opened) return code;
    Session s;
    auto journaled = Journaled(std::move(opened));
    s.journal = journaled.get();
    s.machine = std::move(journaled);
    const std::string root = quarantine::QuarantineFolder(*s.journal, o.folder);
    machine::FileSystem& fs = s.journal->inner().files();
    const auto cures = quarantine::ListCures(fs, root);
    if (word == "list") return List(cures, root, o.json);

    std::vector<std::string> ids;
    if (!ChooseIds(o, cures, word == "restore", ids, code)) return code;
    if (word == "restore") {
        machine::MachineError notWritable;
        if (!s.machine->CheckWritable(notWritable))
            return Fail(kExitFailure,
                        "cannot restore: the machine cannot be written: " + notWritable.ToString());
        return Restore(s, o, ids, root, g.quiet);
    }
    // purge
    std::vector<std::string> purged;
    for (const std::string& id : ids) {
        if (const machine::WinError e = quarantine::PurgeCure(fs, root, id)) {
            return Fail(kExitFailure,
                        "cannot purge " + id + " (Windows error " + std::to_string(e) + ")");
        }
        purged.push_back(id);
    }
    if (o.json) {
        PrintJson({{"purged", purged}});
    } else {
        for (const auto& id : purged) std::printf("Purged %s\n", id.c_str());
        if (purged.empty()) std::printf("Nothing to purge.\n");
    }
    return kExitOk;
}

void AddOptions(CLI::App& on, QuarantineOptions& o) {
    on.add_option("-m,--machine", o.machine, "machine image or Windows installation");
    on.add_option("-u,--user", o.user, "user profile of a Windows installation with several");
    on.add_option("--quarantine", o.folder,
                  "the quarantine folder of the machine, as given to cure --quarantine")
        ->type_name("DIR");
    on.add_flag("-j,--json", o.json, "the result as one JSON document");
}

CLI::App* AddAction(CLI::App& cmd, const char* name, const char* description, Globals& g,
                    QuarantineOptions& o, bool chooses) {
    CLI::App* action = AddCommand(cmd, name, description, g);
    AddOptions(*action, o);
    if (chooses) {
        action->add_flag("-a,--all", o.all, "every cure");
        action->add_option("--id", o.ids, "the cure with this id (repeatable)")
            ->type_name("ID")
            ->allow_extra_args(false)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    }
    return action;
}

}  // namespace

void AddQuarantineCommand(CLI::App& app, Globals& g, Action& action) {
    auto o = std::make_shared<QuarantineOptions>();
    CLI::App* cmd =
        AddCommand(app, "quarantine", "the cures kept on a machine: list, restore, purge", g);
    AddOptions(*cmd, *o);
    cmd->require_subcommand(0, 1);
    AddAction(*cmd, "list", "each cure: id, time, entries, changes, restored or not", g, *o, false);
    CLI::App* restore =
        AddAction(*cmd, "restore", "put back what the cures changed, newest first", g, *o, true);
    restore->add_flag("--force", o->force, "also put back items that changed since the cure");
    AddAction(*cmd, "purge", "delete cures and what they keep, for good", g, *o, true);
    cmd->callback([&g, &action, cmd, o] {
        action = [&g, cmd, o] { return RunQuarantine(g, ChosenWord(*cmd), *o); };
    });
}

}  // namespace veldan::cli
