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
    bool json = false;
};

// The command line's side of a cure: it prints what it will close and saves
// the machine when the cure is over.
class CliCureHooks final : public engine::CureHooks {
  public:
    CliCureHooks(Session& session, ConsoleObserver& observer, bool json)
        : session_(session), observer_(observer), json_(json) {}

    void OnProgramsToClose(const std::string& programs) override {
        if (!json_) std::printf("치료를 위해 %s 프로세스를 종료합니다.\n\n", programs.c_str());
    }
    bool SaveMachine() override {
        observer_.Clear();
        return session_.Save();
    }

  private:
    Session& session_;
    ConsoleObserver& observer_;
    bool json_;
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
    // A cure changes files at once and the registry at the end: a machine that
    // cannot be written back is found out before anything changes.
    machine::MachineError notWritable;
    if (!s.machine->CheckWritable(notWritable)) {
        return Fail(kExitFailure, "cannot cure: the machine cannot be written: " +
                                      notWritable.ToString());
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
    if (anyChecked) {
        std::string home = o.homepage.empty() ? HomePageSetting(g) : o.homepage;
        if (home.empty()) home = "about:blank";
        CliCureHooks hooks(s, observer, o.json);
        engine::CureSession session(*s.ctx, result, hooks);
        session.Run(observer, cancel, home, saved);
    } else {
        saved = s.Save();
    }
    if (!saved) return kExitFailure;

    if (o.json) {
        PrintJson(ScanDocument(*s.ctx, result, true, true));
        return kExitOk;
    }
    PrintHeader(*s.ctx, o.machine);
    if (result.rows.empty()) {
        std::printf("발견된 악성코드가 없습니다.\n");
        return kExitOk;
    }
    PrintRows(*s.ctx, result, true, ColourOn(1));
    if (s.ctx->report().failed().Count() > 0) {
        std::printf("\n%s\n", std::string(kRetryAfterRestart).c_str());
        PrintFailures(*s.ctx);
    }
    return kExitOk;
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
    cmd->add_flag("-j,--json", o->json, "the result as one JSON document");
    cmd->callback([&g, &action, o] { action = [&g, o] { return RunCure(g, *o); }; });
}

}  // namespace veldan::cli
