// scan and cure: the scan result page's work on a machine image.

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "commands.h"
#include "engine/cure_session.h"
#include "engine/loader.h"
#include "engine/scan.h"
#include "program_folder.h"
#include "quarantine/cure_room.h"
#include "quarantine/store.h"
#include "scan_batch.h"
#include "scan_output.h"
#include "session.h"

namespace veldan::cli {
namespace {

constexpr std::string_view kRetryAfterRestart =
    "일부 파일을 삭제할 수 없습니다. 리부팅 후에 다시 시도하시기 바랍니다.";

struct ScanOptions {
    std::vector<std::string> machines;
    MachineOptions machine;
    bool json = false;
    bool jsonLines = false;
    int jobs = 0;
    std::string log;
};

struct CureOptions {
    std::string machine;
    MachineOptions load;
    bool all = false;
    std::vector<std::string> entries;
    std::string homepage;
    std::string quarantine;
    bool dryRun = false;
    bool json = false;
};

// The command line's side of a cure: it prints what it will close and saves
// the machine when the cure is over (a dry run saves nothing).
class CliCureHooks final : public engine::CureHooks {
  public:
    CliCureHooks(Session& session, ConsoleObserver& observer, bool json, bool dryRun)
        : session_(session), observer_(observer), json_(json), dryRun_(dryRun) {}

    void OnProgramsToClose(const std::string& programs) override {
        if (json_) return;
        if (dryRun_) {
            std::printf("치료하면 %s 프로세스를 종료합니다.\n\n", programs.c_str());
        } else {
            std::printf("치료를 위해 %s 프로세스를 종료합니다.\n\n", programs.c_str());
        }
    }
    bool SaveMachine() override {
        observer_.Clear();
        return dryRun_ || session_.Save();
    }

  private:
    Session& session_;
    ConsoleObserver& observer_;
    bool json_;
    bool dryRun_;
};

// Progress of the cure on standard error, and the row whose changes the
// journal records now; files moving into the quarantine show how far they are.
class CureObserver final : public engine::ScanObserver, public quarantine::JournalObserver {
  public:
    CureObserver(ConsoleObserver& console, quarantine::JournalingMachine& journal, bool quiet)
        : console_(console), journal_(journal), line_(quiet) {}

    void OnProgress(int percent, int position, int total) override {
        console_.OnProgress(percent, position, total);
    }
    void OnStatus(std::string_view text) override { console_.OnStatus(text); }
    void OnCureRow(int index) override { journal_.SetRow(index); }
    void OnFileProgress(std::string_view path, std::uint64_t done, std::uint64_t total) override {
        if (!line_.enabled() || total < (std::uint64_t{16} << 20)) return;
        console_.Clear();
        const int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
        line_.Show("격리 중 " + std::to_string(percent) + "% (" + std::to_string(done >> 20) + "/" +
                   std::to_string(total >> 20) + " MB) " + std::string(path.substr(0, 50)));
        if (done >= total) line_.Clear();
    }

  private:
    ConsoleObserver& console_;
    quarantine::JournalingMachine& journal_;
    ProgressLine line_;
};

// Opens the machine with its databases; a machine without signatures fails.
bool OpenForScan(const Globals& g, const std::string& folder, const MachineOptions& options,
                 Session& s, int& code) {
    if (!OpenSession(g, folder, true, s, code, options.Load())) return false;
    // Without signatures a scan would call any machine clean.
    if (std::string problem = engine::SignatureProblem(*s.ctx); !problem.empty()) {
        code = Fail(kExitFailure, "cannot scan: " + problem);
        return false;
    }
    return true;
}

int RunScanOne(const Globals& g, const ScanOptions& o) {
    const std::string& folder = o.machines.front();
    Session s;
    int code = kExitOk;
    if (!OpenForScan(g, folder, o.machine, s, code)) return code;
    engine::ScanResult result;
    std::atomic<int> cancel{0};
    int completed;
    {
        ConsoleObserver observer(g.quiet);
        completed = engine::RunScan(*s.ctx, result, observer, cancel);
    }
    if (!o.log.empty() && !WriteFileAtomic(o.log, engine::ScanLogText(*s.ctx))) {
        return Fail(kExitFailure, "cannot write the scan log " + o.log);
    }
    if (o.json) {
        PrintJson(ScanDocument(*s.ctx, result, completed != 0, false));
        return kExitOk;
    }
    PrintHeader(*s.ctx, folder);
    if (result.rows.empty()) {
        std::printf("발견된 악성코드가 없습니다.\n");
        return kExitOk;
    }
    PrintRows(*s.ctx, result, false, ColourOn(1));
    std::printf("\n%zu detected, %d traces.\n", result.rows.size(), TotalItems(result));
    return kExitOk;
}

int RunScan(const Globals& g, const ScanOptions& o) {
    if (o.machines.empty()) {
        if (!HasLiveMachine()) return Fail(kExitUsage, "scan needs --machine M");
        ScanOptions here = o;
        here.machines = {std::string()};  // the machine it runs on
        return RunScanOne(g, here);
    }
    if (o.jsonLines) {
        if (o.json) return Fail(kExitUsage, "--json and --json-lines exclude each other");
        if (!o.log.empty()) return Fail(kExitUsage, "--log takes one machine, not --json-lines");
        BatchOptions batch{o.machines, o.machine, o.jobs};
        return RunScanBatch(g, batch);
    }
    if (o.jobs != 0) return Fail(kExitUsage, "--jobs needs --json-lines");
    if (o.machines.size() > 1) {
        return Fail(kExitUsage, "several machines are scanned with --json-lines");
    }
    return RunScanOne(g, o);
}

int RunCure(const Globals& g, const CureOptions& o) {
    if (o.machine.empty() && !HasLiveMachine()) return Fail(kExitUsage, "cure needs --machine M");
    if (o.all == !o.entries.empty())
        return Fail(kExitUsage, "cure needs either --all or --entry NAME");

    Session s;
    int code = kExitOk;
    if (!OpenForScan(g, o.machine, o.load, s, code)) return code;
    if (!o.quarantine.empty()) {
        s.journal->SetQuarantineFolder(quarantine::QuarantineFolder(*s.journal, o.quarantine));
    }
    // A cure changes files at once and the registry at the end: a machine that
    // cannot be written back is found out before anything changes.
    machine::MachineError notWritable;
    if (!o.dryRun && !s.machine->CheckWritable(notWritable)) {
        return Fail(kExitFailure,
                    "cannot cure: the machine cannot be written: " + notWritable.ToString());
    }
    engine::ScanResult result;
    std::atomic<int> cancel{0};
    ConsoleObserver observer(g.quiet);
    engine::RunScan(*s.ctx, result, observer, cancel);
    observer.Clear();

    // Check the chosen rows; a name that matches no row is an error and nothing is cured.
    if (o.all) {
        for (auto& row : result.rows) row.checked = true;
    } else {
        for (const auto& name : o.entries) {
            bool matched = false;
            for (auto& row : result.rows) {
                if (row.name == name) {
                    row.checked = true;
                    matched = true;
                }
            }
            if (!matched) return Fail(kExitUsage, "no detected entry is named '" + name + "'");
        }
    }

    bool anyChecked = false;
    for (const auto& row : result.rows) anyChecked = anyChecked || row.checked;
    bool saved = true;
    quarantine::JournalingMachine& journal = *s.journal;
    if (anyChecked) {
        // The journal and the quarantine must be writable before anything changes.
        if (o.dryRun) {
            journal.BeginPlan();
        } else {
            std::string problem;
            if (const machine::WinError e =
                    quarantine::BeginCheckedCure(*s.ctx, journal, result, problem)) {
                const std::string code = e == machine::ERROR_DISK_FULL
                                             ? ""
                                             : " (Windows error " + std::to_string(e) + ")";
                return Fail(kExitFailure,
                            "cannot cure: " + problem + code + "; nothing was changed");
            }
        }
        std::string home = o.homepage.empty() ? HomePageSetting(g) : o.homepage;
        if (home.empty()) home = "about:blank";
        CliCureHooks hooks(s, observer, o.json, o.dryRun);
        CureObserver cureObserver(observer, journal, g.quiet);
        journal.SetObserver(&cureObserver);
        journal.SetCancelFlag(&cancel);
        engine::CureSession session(*s.ctx, result, hooks);
        const int completed = session.Run(cureObserver, cancel, home, saved);
        journal.SetCancelFlag(nullptr);
        journal.SetObserver(nullptr);
        (void)journal.End(completed != 0);
        // A plan cures nothing: no row has a cure state.
        if (o.dryRun) {
            for (auto& row : result.rows) row.status.clear();
        }
    } else if (!o.dryRun) {
        saved = s.Save();
    }
    if (!saved) return kExitFailure;
    const std::vector<quarantine::Change>& changes = journal.changes();
    const std::string kept = journal.cureFolder();
    // A cure stopped by a full quarantine disk reports what it did, then fails.
    auto done = [&] {
        if (journal.stopProblem().empty()) return kExitOk;
        return Fail(kExitFailure, "the cure stopped: " + journal.stopProblem() +
                                      "; what it changed is kept and can be undone with "
                                      "'quarantine restore --id " +
                                      journal.cureId() + "'");
    };

    if (o.json) {
        Json doc = ScanDocument(*s.ctx, result, true, true, changes);
        if (o.dryRun) {
            doc["dryRun"] = true;
        } else {
            doc["quarantine"] =
                kept.empty() ? Json() : Json{{"id", journal.cureId()}, {"folder", Utf8(kept)}};
        }
        PrintJson(doc);
        return done();
    }
    PrintHeader(*s.ctx, o.machine);
    if (o.dryRun)
        std::printf("Dry run: the cure would make these changes; nothing was changed.\n\n");
    if (result.rows.empty()) {
        std::printf("발견된 악성코드가 없습니다.\n");
        return kExitOk;
    }
    PrintRows(*s.ctx, result, true, ColourOn(1));
    for (std::size_t r = 0; r < result.rows.size(); ++r) {
        bool any = false;
        for (const auto& c : changes) any = any || c.row == static_cast<int>(r);
        if (!any) continue;
        std::printf("\n%2zu. %s: %s\n", r + 1, result.rows[r].name.c_str(),
                    o.dryRun ? "changes planned" : "changes made");
        PrintChanges(changes, static_cast<int>(r), "      ");
    }
    bool around = false;
    for (const auto& c : changes) around = around || c.row < 0;
    if (around) {
        std::printf("\n%s:\n", o.dryRun ? "Around the cure, planned" : "Around the cure");
        PrintChanges(changes, -1, "      ");
    }
    if (s.ctx->report().failed().Count() > 0) {
        std::printf("\n%s\n", std::string(kRetryAfterRestart).c_str());
        PrintFailures(*s.ctx);
    }
    if (!kept.empty()) PrintKept(kept, o.machine, journal.cureId());
    return done();
}

}  // namespace

void AddScanCommand(CLI::App& app, Globals& g, Action& action) {
    auto o = std::make_shared<ScanOptions>();
    CLI::App* cmd =
        AddCommand(app, "scan", "scan a machine: detected programs and their traces", g);
    cmd->add_option("-m,--machine", o->machines,
                    "machine image or Windows installation; repeat it to scan several "
                    "(with --json-lines)")
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    AddMachineOptions(*cmd, o->machine);
    cmd->add_flag("-j,--json", o->json, "the result as one JSON document");
    cmd->add_flag("--json-lines", o->jsonLines,
                  "one JSON document per machine and line, then a summary line");
    cmd->add_option("--jobs", o->jobs,
                    "machines scanned at once with --json-lines (default: one "
                    "per processor)")
        ->check(CLI::PositiveNumber);
    cmd->add_option("--log", o->log, "write the scan log (one trace per line) to FILE")
        ->type_name("FILE");
    cmd->callback([&g, &action, o] { action = [&g, o] { return RunScan(g, *o); }; });
}

void AddCureCommand(CLI::App& app, Globals& g, Action& action) {
    auto o = std::make_shared<CureOptions>();
    CLI::App* cmd = AddCommand(
        app, "cure", "scan, then cure the chosen entries as the cure button does; save the machine",
        g);
    cmd->add_option("-m,--machine", o->machine, "machine image or Windows installation");
    AddMachineOptions(*cmd, o->load);
    cmd->add_flag("-a,--all", o->all, "cure every detected entry");
    cmd->add_option("-e,--entry", o->entries, "cure the detected entry NAME (repeatable)")
        ->type_name("NAME")
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    cmd->add_option("--homepage", o->homepage,
                    "start page after a completed cure (default: Veldan.ini, else about:blank)")
        ->type_name("URL");
    cmd->add_option("--quarantine", o->quarantine,
                    "keep removed items in this folder of the machine (a Windows path such as "
                    "C:\\Quarantine; default: the common application-data folder + "
                    "Veldan\\Quarantine)")
        ->type_name("DIR");
    cmd->add_flag("--dry-run", o->dryRun,
                  "print the changes the cure would make, in order; change nothing");
    cmd->add_flag("-j,--json", o->json, "the result as one JSON document");
    cmd->callback([&g, &action, o] { action = [&g, o] { return RunCure(g, *o); }; });
}

}  // namespace veldan::cli
