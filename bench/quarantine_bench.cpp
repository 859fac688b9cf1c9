// Quarantining a large folder on a machine image: every file of a generated
// folder is deleted through the journaling machine, so its content streams
// into the quarantine (gzip) before it goes. Reported: throughput and the
// peak resident memory of the process (getrusage ru_maxrss) after each size,
// so the 256 MiB and the 2 GiB runs show that memory does not grow with the
// data; and how often progress was reported.
//
// The folder: four large sparse files (zeros, cheap to make, read in full)
// and 2,000 small files of pseudo-random bytes (8 KiB each).
// Run: build/release/bench/quarantine_bench (VELDAN_BENCH_DIR chooses where the
// image goes; the sparse files take no room, the small ones 16 MiB).

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "machine/backends/open_machine.h"
#include "quarantine/journaling_machine.h"

namespace {

namespace fs = std::filesystem;
using namespace veldan;

constexpr int kLargeFiles = 4;
constexpr int kSmallFiles = 2000;
constexpr std::size_t kSmallSize = 8 << 10;

// Counts the progress reports of the files moving into the quarantine.
class Progress final : public quarantine::JournalObserver {
  public:
    void OnFileProgress(std::string_view, std::uint64_t, std::uint64_t) override { ++reports; }
    std::uint64_t reports = 0;
};

fs::path BenchRoot() {
    const char* base = std::getenv("VELDAN_BENCH_DIR");
    return fs::path(base ? base : fs::temp_directory_path().string()) / "veldan-quarantine-bench";
}

// A machine image whose folder C:\Big holds `total` bytes; returns the bytes made.
std::uint64_t MakeImage(const fs::path& root, std::uint64_t total) {
    fs::remove_all(root);
    const fs::path big = root / "drive_c" / "Big";
    fs::create_directories(big / "small");
    std::ofstream(root / "machine.ini") << "[machine]\nos=nt\n";
    std::mt19937_64 rng(1208);
    std::string bytes(kSmallSize, '\0');
    std::uint64_t made = 0;
    for (int i = 0; i < kSmallFiles; ++i) {
        for (char& c : bytes) c = static_cast<char>(rng());
        std::ofstream(big / "small" / ("f" + std::to_string(i) + ".dat"), std::ios::binary)
            << bytes;
        made += kSmallSize;
    }
    const std::uint64_t large = (total - made) / kLargeFiles;
    for (int i = 0; i < kLargeFiles; ++i) {
        const std::string path = (big / ("large" + std::to_string(i) + ".bin")).string();
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(large)) != 0) std::abort();
        ::close(fd);
        made += large;
    }
    return made;
}

// Deletes folder `folder` of the machine with everything in it.
void DeleteTree(machine::FileSystem& files, const std::string& folder) {
    std::vector<machine::FindData> entries;
    if (files.FindFiles(folder + "\\*", entries) != machine::ERROR_SUCCESS) return;
    for (const machine::FindData& e : entries) {
        if (e.name == "." || e.name == "..") continue;
        const std::string path = folder + "\\" + e.name;
        if (e.IsDirectory()) {
            DeleteTree(files, path);
        } else if (files.DeleteFile(path) != machine::ERROR_SUCCESS) {
            std::abort();
        }
    }
    (void)files.RemoveDirectory(folder);
}

double PeakRssMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
}

void Quarantine(benchmark::State& state) {
    const std::uint64_t total = static_cast<std::uint64_t>(state.range(0)) << 20;
    const fs::path root = BenchRoot();
    std::uint64_t moved = 0, reports = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::uint64_t made = MakeImage(root, total);
        machine::MachineError error;
        auto opened = machine::OpenMachine(root.string(), {}, error);
        if (!opened) {
            state.SkipWithError(error.ToString().c_str());
            return;
        }
        quarantine::JournalingMachine m(std::move(opened));
        m.SetQuarantineFolder("C:\\Quarantine");
        Progress progress;
        m.SetObserver(&progress);
        std::string problem;
        if (m.BeginCure({"Big"}, problem) != machine::ERROR_SUCCESS) {
            state.SkipWithError(problem.c_str());
            return;
        }
        state.ResumeTiming();
        DeleteTree(m.files(), "C:\\Big");
        (void)m.End(true);
        state.PauseTiming();
        moved += made;
        reports += progress.reports;
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(moved));
    state.counters["peak_rss_MiB"] = PeakRssMiB();
    state.counters["progress_reports"] =
        benchmark::Counter(static_cast<double>(reports), benchmark::Counter::kAvgIterations);
    if (std::getenv("VELDAN_BENCH_KEEP") == nullptr) fs::remove_all(root);
}
BENCHMARK(Quarantine)
    ->Arg(256)
    ->Arg(2048)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

}  // namespace
