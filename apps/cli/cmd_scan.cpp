// scan and cure: the scan result page's work on a machine image.

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <set>

#include "args.h"
#include "commands.h"
#include "engine/loader.h"
#include "engine/scan.h"
#include "json.h"
#include "platform/found_items.h"
#include "session.h"
#include "text/strings.h"

namespace veldan::cli {
namespace {

constexpr std::string_view kRetryAfterRestart =
    "일부 파일을 삭제할 수 없습니다. 리부팅 후에 다시 시도하시기 바랍니다.";

// Shows progress on standard error when it is a terminal.
class ConsoleObserver final : public engine::ScanObserver {
  public:
    ConsoleObserver() : enabled_(::isatty(2) == 1) {}
    ~ConsoleObserver() override { Clear(); }
    void OnProgress(int percent, int position, int total) override {
        percent_ = percent;
        position_ = position;
        total_ = total;
        Draw();
    }
    void OnDeepScan(std::uint64_t filesChecked) override {
        deepScanFiles_ = static_cast<long long>(filesChecked);
        Draw();
    }
    void OnStatus(std::string_view text) override {
        status_ = std::string(text.substr(0, 50));
        // File names change often during the deep-scan pass; redraw now and then.
        if (++statusUpdates_ % 64 == 0) Draw();
    }
    void Clear() {
        if (enabled_ && drawn_) std::fputs("\r\033[K", stderr);
        drawn_ = false;
    }

  private:
    void Draw() {
        if (!enabled_) return;
        if (deepScanFiles_ >= 0) {
            // The whole-drive pass: its end is not known, so count what it has seen.
            std::fprintf(stderr, "\r\033[KDeep Scan: %lld files %s", deepScanFiles_,
                         status_.c_str());
        } else {
            std::fprintf(stderr, "\r\033[K%d%% (%d/%d) %s", percent_, position_, total_,
                         status_.c_str());
        }
        std::fflush(stderr);
        drawn_ = true;
    }
    bool enabled_;
    bool drawn_ = false;
    int percent_ = 0, position_ = 0, total_ = 0;
    long statusUpdates_ = 0;
    long long deepScanFiles_ = -1;  // -1 until the deep-scan pass starts
    std::string status_;
};

std::string RowItemsJson(platform::Context& ctx, const engine::ScanRow& row) {
    std::string out = "[";
    const auto& found = ctx.report().found();
    for (int i = 0; i < row.itemCount; ++i) {
        const auto& item = found.At(row.itemStart + i);
        if (i) out += ", ";
        out += "{\"type\": " + JsonString(platform::TypeName(item.type)) +
               ", \"label\": " + JsonString(platform::TypeLabel(item.type)) +
               ", \"text\": " + JsonString(item.text) + "}";
    }
    return out + "]";
}

std::string DatabaseJson(platform::Context& ctx) {
    const auto& db = ctx.db();
    return "{\"version\": " + JsonString(db.DatabaseVersion) +
           ", \"patterns\": " + std::to_string(db.PatternCount) +
           ", \"entries\": " + std::to_string(db.EntryCount) + "}";
}

std::string ResultJson(platform::Context& ctx, const engine::ScanResult& result, bool completed,
                       bool withCure) {
    std::string out = "{\"database\": " + DatabaseJson(ctx);
    out += ", \"completed\": " + std::string(completed ? "true" : "false");
    out += ", \"rows\": [";
    for (std::size_t r = 0; r < result.rows.size(); ++r) {
        const auto& row = result.rows[r];
        if (r) out += ", ";
        out += "{\"name\": " + JsonString(row.name);
        if (withCure) {
            out += ", \"checked\": " + std::string(row.checked ? "true" : "false");
            out += ", \"status\": " + JsonString(row.status);
        }
        out += ", \"items\": " + RowItemsJson(ctx, row) + "}";
    }
    out += "]";
    if (withCure) {
        out += ", \"failures\": [";
        const auto& failed = ctx.report().failed();
        for (int i = 0; i < failed.Count(); ++i) {
            if (i) out += ", ";
            out += "{\"type\": " + JsonString(platform::TypeName(failed.At(i).type)) +
                   ", \"text\": " + JsonString(failed.At(i).text) + "}";
        }
        out += "]";
    }
    return out + "}\n";
}

// The label padded to eight terminal columns; Hangul characters take two.
std::string PaddedLabel(std::string_view label) {
    int width = 0;
    for (unsigned char c : label) {
        if (c < 0x80) {
            ++width;
        } else if ((c & 0xC0) != 0x80) {
            width += 2;
        }
    }
    return std::string(label) +
           std::string(width < 8 ? static_cast<std::size_t>(8 - width) : 1, ' ');
}

void PrintRows(platform::Context& ctx, const engine::ScanResult& result, bool withCure) {
    const auto& found = ctx.report().found();
    for (std::size_t r = 0; r < result.rows.size(); ++r) {
        const auto& row = result.rows[r];
        std::string mark;
        if (withCure) mark = row.checked ? "[v] " : "[ ] ";
        std::printf("%2zu. %s%s (%d)%s%s\n", r + 1, mark.c_str(), row.name.c_str(), row.itemCount,
                    row.status.empty() ? "" : "  ", row.status.c_str());
        for (int i = 0; i < row.itemCount; ++i) {
            const auto& item = found.At(row.itemStart + i);
            std::printf("      %s %s\n", PaddedLabel(platform::TypeLabel(item.type)).c_str(),
                        item.text.c_str());
        }
    }
}

void PrintHeader(platform::Context& ctx, const std::string& machine) {
    const auto& db = ctx.db();
    std::printf("Machine:  %s\n", machine.c_str());
    std::printf("Database: %s (%d patterns, %d entries)\n\n",
                db.DatabaseVersion.empty() ? "-" : text::Trim(db.DatabaseVersion).c_str(),
                db.PatternCount, db.EntryCount);
}

int TotalItems(const engine::ScanResult& result) {
    int n = 0;
    for (const auto& row : result.rows) n += row.itemCount;
    return n;
}

}  // namespace

int RunScanCommand(const Globals& g, const std::vector<std::string>& argv) {
    Args args;
    std::string error;
    if (!args.Parse(argv, MachineFlags({"json"}), MachineValued({"machine", "log"}), error))
        return Fail(kExitUsage, error);
    if (!args.positional().empty())
        return Fail(kExitUsage, "scan takes no arguments besides its options");
    auto folder = args.Value("machine");
    if (!folder) return Fail(kExitUsage, "scan needs --machine M");

    Session s;
    int code = kExitOk;
    if (!OpenSession(g, *folder, true, s, code, MachineLoadOptions(args))) return code;
    // Without signatures a scan would call any machine clean.
    if (std::string problem = engine::SignatureProblem(*s.ctx); !problem.empty()) {
        return Fail(kExitFailure, "cannot scan: " + problem);
    }
    engine::ScanResult result;
    std::atomic<int> cancel{0};
    int completed;
    {
        ConsoleObserver observer;
        completed = engine::RunScan(*s.ctx, result, observer, cancel);
    }
    if (auto log = args.Value("log")) {
        if (!WriteFileAtomic(*log, engine::ScanLogText(*s.ctx))) {
            return Fail(kExitFailure, "cannot write the scan log " + *log);
        }
    }
    if (args.Has("json")) {
        std::string out = ResultJson(*s.ctx, result, completed != 0, false);
        std::fwrite(out.data(), 1, out.size(), stdout);
        return kExitOk;
    }
    PrintHeader(*s.ctx, *folder);
    if (result.rows.empty()) {
        std::printf("발견된 악성코드가 없습니다.\n");
        return kExitOk;
    }
    PrintRows(*s.ctx, result, false);
    std::printf("\n%zu detected, %d traces.\n", result.rows.size(), TotalItems(result));
    return kExitOk;
}

int RunCureCommand(const Globals& g, const std::vector<std::string>& argv) {
    Args args;
    std::string error;
    if (!args.Parse(argv, MachineFlags({"json", "all"}),
                    MachineValued({"machine", "entry", "homepage"}), error)) {
        return Fail(kExitUsage, error);
    }
    if (!args.positional().empty())
        return Fail(kExitUsage, "cure takes no arguments besides its options");
    auto folder = args.Value("machine");
    if (!folder) return Fail(kExitUsage, "cure needs --machine M");
    auto entries = args.Values("entry");
    if (args.Has("all") == !entries.empty())
        return Fail(kExitUsage, "cure needs either --all or --entry NAME");

    Session s;
    int code = kExitOk;
    if (!OpenSession(g, *folder, true, s, code, MachineLoadOptions(args))) return code;
    // Without signatures a scan would call any machine clean.
    if (std::string problem = engine::SignatureProblem(*s.ctx); !problem.empty()) {
        return Fail(kExitFailure, "cannot scan: " + problem);
    }
    // A cure changes files at once and the registry at the end: a machine that
    // cannot be written back is found out before anything changes.
    machine::image::ImageError notWritable;
    if (!s.machine->CheckWritable(notWritable)) {
        return Fail(kExitFailure, "cannot cure: the machine cannot be written: " +
                                      notWritable.ToString());
    }
    engine::ScanResult result;
    std::atomic<int> cancel{0};
    ConsoleObserver observer;
    engine::RunScan(*s.ctx, result, observer, cancel);
    observer.Clear();

    // Check the chosen rows; a name that matches no row is an error and nothing is cured.
    if (args.Has("all")) {
        for (auto& row : result.rows) row.checked = true;
    } else {
        for (const auto& name : entries) {
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

    bool json = args.Has("json");
    bool anyChecked = false;
    for (const auto& row : result.rows) anyChecked = anyChecked || row.checked;
    if (anyChecked) {
        std::string programs = engine::ProgramsToClose(*s.ctx);
        if (!programs.empty() && !json) {
            std::printf("치료를 위해 %s 프로세스를 종료합니다.\n\n", programs.c_str());
        }
        engine::CloseProgramsForCure(*s.ctx);
        int completed = engine::RunCure(*s.ctx, result, observer, cancel);
        observer.Clear();
        if (completed) {
            std::string home = args.Value("homepage").value_or(HomePageSetting(g));
            if (home.empty()) home = "about:blank";
            engine::WriteStartPage(*s.ctx, home);
        }
    }
    if (!s.Save()) return kExitFailure;

    if (json) {
        std::string out = ResultJson(*s.ctx, result, true, true);
        std::fwrite(out.data(), 1, out.size(), stdout);
        return kExitOk;
    }
    PrintHeader(*s.ctx, *folder);
    if (result.rows.empty()) {
        std::printf("발견된 악성코드가 없습니다.\n");
        return kExitOk;
    }
    PrintRows(*s.ctx, result, true);
    const auto& failed = s.ctx->report().failed();
    if (failed.Count() > 0) {
        std::printf("\n%s\n", std::string(kRetryAfterRestart).c_str());
        for (const auto& item : failed.items()) {
            std::printf("      %s %s\n", PaddedLabel(platform::TypeLabel(item.type)).c_str(),
                        item.text.c_str());
        }
    }
    return kExitOk;
}

}  // namespace veldan::cli
