#include "engine/scan.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "engine/dispatch.h"
#include "engine/loader.h"
#include "engine/script.h"
#include "platform/muicache.h"
#include "platform/reports.h"
#include "platform/shortcuts.h"
#include "text/strings.h"

namespace veldan::engine {
namespace {

// Progress in whole percent, reported only when the percentage changes.
class Progress {
  public:
    Progress(ScanObserver& observer, int total) : observer_(observer), total_(total) {}
    void Step() {
        ++counted_;
        weighted_ += 100;
        int percent = total_ > 0 ? static_cast<int>(weighted_ / total_) : 0;
        if (percent != shown_) {
            shown_ = percent;
            observer_.OnProgress(percent, counted_, total_);
        }
    }
    int counted() const { return counted_; }

  private:
    ScanObserver& observer_;
    int total_;
    int counted_ = 0;
    long long weighted_ = 0;
    int shown_ = 0;
};

// The entry being read during the signature pass.
struct OpenEntry {
    std::string name;
    std::vector<std::string> lines;
    bool found = false;
    int foundStart = 0;
};

void FinishEntry(Context& ctx, OpenEntry& entry, ScanResult& result, ScanObserver& observer) {
    platform::ScanItemList& found = ctx.report().found();
    if (entry.found) {
        ScanRow row;
        row.name = entry.name;
        row.itemStart = entry.foundStart;
        row.itemCount = found.Count() - entry.foundStart;
        row.lineStart = result.cureScript.size();
        row.lineCount = entry.lines.size();
        result.cureScript.insert(result.cureScript.end(), entry.lines.begin(), entry.lines.end());
        result.rows.push_back(std::move(row));
        observer.OnRow(static_cast<int>(result.rows.size()) - 1, result.rows.back());
    } else if (found.Count() > entry.foundStart) {
        // Traces of an entry that was not detected do not stay in the list.
        found.Truncate(found.Count() - entry.foundStart);
    }
    entry.lines.clear();
    entry.found = false;
    entry.foundStart = found.Count();
}

}  // namespace

int RunScan(Context& ctx, ScanResult& result, ScanObserver& observer,
            const std::atomic<int>& cancel) {
    ctx.report().ClearAll();
    result.Clear();
    platform::BuildShortcutCaches(ctx);
    platform::BuildMuiCacheList(ctx);

    const int total = ctx.db().PatternCount;
    observer.OnRange(total);

    bool cancelled = false;
    ScriptReader reader(ctx);
    if (reader.Open(PlainDatabasePath(ctx, "addb"), ScrambledDatabasePath(ctx, "addb"))) {
        Progress progress(observer, total);
        OpenEntry entry;
        ScriptEvent ev;
        for (;;) {
            if (cancel.load() != 0) {
                cancelled = true;
                break;
            }
            if (!reader.Next(ev)) break;
            switch (ev.kind) {
                case ScriptEvent::Version:
                case ScriptEvent::Exclusion:
                    continue;
                case ScriptEvent::EntryStart:
                    FinishEntry(ctx, entry, result, observer);
                    entry.name = ev.name;
                    entry.lines.push_back(ev.text);
                    observer.OnStatus(entry.name);
                    break;
                case ScriptEvent::EmptyName:
                    // A type line without a base name is only a command; an empty
                    // "#NAME" line opens nothing and stays with the open entry.
                    if (ev.typeLine) continue;
                    entry.lines.push_back(ev.text);
                    break;
                case ScriptEvent::Command:
                    if (!ev.cureOnly && ExecFunc(ctx, ev.command, ev.params, Mode::Scan) != 0)
                        entry.found = true;
                    entry.lines.push_back(ev.text);
                    break;
            }
            progress.Step();
        }
        if (!cancelled) FinishEntry(ctx, entry, result, observer);
    }
    if (cancelled) return 0;
    return RunDeepScan(ctx, result, observer, cancel);
}

namespace {

struct DeepScanHit {
    int entry;
    std::string path;
};

// Walks the drive and hashes the files whose size is a fingerprint size. The
// hashing runs on a second thread while the walk goes on, so reading folders
// and digesting files overlap; the results are taken in walk order.
class DeepScanWalk {
public:
    DeepScanWalk(Context& ctx, ScanObserver& observer, const std::atomic<int>& cancel)
        : ctx_(ctx), observer_(observer), cancel_(cancel) {
        const auto& db = ctx.db();
        for (std::size_t i = 0; i < db.DeepScanRecords.size(); ++i) {
            const auto& r = db.DeepScanRecords[i];
            sizes_.insert(r.size);
            // The first record with a digest wins, whatever its size.
            digests_.emplace(text::LowerAscii(r.digest), r.entry);
        }
    }

    // Walks C:\ and collects the hits; false when cancelled.
    bool Run() {
        observer_.OnDeepScan(0);
        std::thread hasher([this] { HashLoop(); });
        bool completed = Walk("C:");
        {
            std::lock_guard<std::mutex> lock(mutex_);
            walkDone_ = true;
        }
        wake_.notify_all();
        hasher.join();
        if (!completed) return false;
        for (std::size_t i = 0; i < candidates_.size(); ++i) {
            const std::string& digest = digestsFound_[i];
            if (digest.empty()) continue;
            auto hit = digests_.find(digest);
            if (hit == digests_.end()) continue;
            const std::string& path = candidates_[i];
            if (ctx_.report().found().ContainsText(path)) continue;
            std::string key = std::to_string(hit->second) + "|" + text::LowerAscii(path);
            if (!seen_.insert(key).second) continue;
            hits_.push_back(DeepScanHit{hit->second, path});
        }
        return true;
    }

    std::vector<DeepScanHit>& hits() { return hits_; }

private:
    bool Walk(const std::string& folder) {
        std::vector<machine::FindData> entries;
        if (ctx_.files().FindFiles(folder + "\\*.*", entries) != machine::ERROR_SUCCESS) return true;
        const auto& db = ctx_.db();
        for (const auto& e : entries) {
            if (cancel_.load() != 0) return false;
            if (e.name == "." || e.name == "..") continue;
            std::string path = folder + "\\" + e.name;
            if (e.IsDirectory()) {
                if (!Walk(path)) return false;
                continue;
            }
            observer_.OnStatus(e.name);
            if (++filesChecked_ % kDeepScanReportEvery == 0) observer_.OnDeepScan(filesChecked_);
            // The size window and the exact sizes reject almost every file before
            // anything is read.
            if (e.size > 0xFFFFFFFFull) continue;
            auto size = static_cast<std::uint32_t>(e.size);
            if (size < db.DeepScanMinSize || size > db.DeepScanMaxSize) continue;
            if (sizes_.find(size) == sizes_.end()) continue;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                candidates_.push_back(std::move(path));
            }
            wake_.notify_one();
        }
        return true;
    }

    // Digests the candidates in order until the walk is over and all are done.
    void HashLoop() {
        std::size_t next = 0;
        for (;;) {
            std::string path;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [&] { return next < candidates_.size() || walkDone_; });
                if (next >= candidates_.size()) return;
                path = candidates_[next];
            }
            std::string digest = cancel_.load() != 0 ? std::string() : FileMd5(ctx_, path);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                digestsFound_.push_back(std::move(digest));
            }
            ++next;
        }
    }

    static constexpr std::uint64_t kDeepScanReportEvery = 256;

    Context& ctx_;
    ScanObserver& observer_;
    const std::atomic<int>& cancel_;
    std::uint64_t filesChecked_ = 0;
    std::unordered_set<std::uint32_t> sizes_;
    std::unordered_map<std::string, int> digests_;
    std::unordered_set<std::string> seen_;
    std::vector<DeepScanHit> hits_;

    std::mutex mutex_;
    std::condition_variable wake_;
    bool walkDone_ = false;
    std::vector<std::string> candidates_;    // paths with a fingerprint size, in walk order
    std::vector<std::string> digestsFound_;  // their digests, same order
};

}  // namespace

int RunDeepScan(Context& ctx, ScanResult& result, ScanObserver& observer,
                const std::atomic<int>& cancel) {
    if (LoadDeepScanDb(ctx) <= 0) {
        FreeDeepScanDb(ctx);
        return cancel.load() != 0 ? 0 : 1;
    }
    DeepScanWalk walk(ctx, observer, cancel);
    bool completed = walk.Run();
    auto& hits = walk.hits();
    std::stable_sort(hits.begin(), hits.end(),
                     [](const DeepScanHit& a, const DeepScanHit& b) { return a.entry < b.entry; });

    OpenEntry group;
    group.foundStart = ctx.report().found().Count();
    int current = -1;
    for (const auto& hit : hits) {
        if (hit.entry != current) {
            FinishEntry(ctx, group, result, observer);
            current = hit.entry;
            const auto& names = ctx.db().DeepScanNames;
            std::string name = current >= 0 && static_cast<std::size_t>(current) < names.size()
                                   ? names[static_cast<std::size_t>(current)]
                                   : std::string();
            group.name = name + std::string(kDeepScanSuffix);
        }
        if (group.lines.empty()) group.lines.push_back("#NAME " + group.name);
        group.lines.push_back("File " + hit.path);
        platform::ReportFile(ctx, platform::kFound, hit.path);
        group.found = true;
    }
    FinishEntry(ctx, group, result, observer);
    FreeDeepScanDb(ctx);
    return completed ? 1 : 0;
}

std::string ScanLogText(Context& ctx) {
    std::string out;
    for (const auto& item : ctx.report().found().items()) {
        out += item.text;
        out += "\r\n";
    }
    return out;
}

}  // namespace veldan::engine
