// The two passes of a scan, measured on generated inputs:
//  - DeepScan: a drive of 20,000 files and 1 GiB where 5 % of the files have a
//    fingerprint size, against `find` + `md5sum` over the same candidate files
//    in the same run (FindMd5sum);
//  - SignaturePass: a generated 100,000-line database over the bundled sample
//    machine, in lines per second.
// Run: build/release/bench/scan_bench (set VELDAN_BENCH_DIR to choose where the
// generated drive goes; it needs about 1 GiB).

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "engine/loader.h"
#include "engine/scan.h"
#include "machine/image/image_machine.h"
#include "platform/folders.h"
#include "support/run_program.h"
#include "text/debug.h"

namespace {

namespace fs = std::filesystem;
using namespace veldan;

constexpr int kFiles = 20000;
constexpr int kFolders = 200;
constexpr std::uint64_t kTotalBytes = 1ull << 30;
constexpr int kFingerprintSizes = 40;  // distinct sizes the database lists

struct DeepScanTree {
    fs::path root;              // the image folder
    fs::path program;           // program folder with core/dsdb.txt
    std::string sizesFindArgs;  // "-size 123c -o -size 456c ..."
    int candidates = 0;

    DeepScanTree() {
        const char* base = std::getenv("VELDAN_BENCH_DIR");
        root = fs::path(base ? base : fs::temp_directory_path().string()) / "veldan-deepscan-bench";
        program = root / "program";
        fs::remove_all(root);
        fs::create_directories(root / "drive_c");
        fs::create_directories(program / "core");

        std::mt19937_64 rng(20261208);
        // Fingerprint sizes are odd numbers so that no ordinary (even-sized) file shares them.
        std::vector<std::uint32_t> fpSizes;
        for (int i = 0; i < kFingerprintSizes; ++i)
            fpSizes.push_back(20001 + 2 * static_cast<std::uint32_t>(rng() % 40000));
        std::string dsdb = "#NAME Bench.Fingerprints\n";
        for (auto s : fpSizes)
            dsdb += "f.exe|" + std::to_string(s) + "|0123456789abcdef0123456789abcdef\n";
        std::ofstream(program / "core" / "dsdb.txt") << dsdb;
        for (auto s : fpSizes) {
            if (!sizesFindArgs.empty()) sizesFindArgs += " -o ";
            sizesFindArgs += "-size " + std::to_string(s) + "c";
        }

        const std::uint64_t average = kTotalBytes / kFiles;
        std::string buffer(4 * average, 'x');
        for (char& c : buffer) c = static_cast<char>(rng());
        for (int i = 0; i < kFiles; ++i) {
            fs::path folder = root / "drive_c" / ("Folder" + std::to_string(i % kFolders)) /
                              ("Sub" + std::to_string(i % 7));
            if (i < kFolders * 7) fs::create_directories(folder);
            std::uint64_t size;
            if (i % 20 == 0) {
                size = fpSizes[static_cast<std::size_t>(i / 20) % fpSizes.size()];
                ++candidates;
            } else {
                size = (average / 2 + rng() % average) & ~1ull;
            }
            std::ofstream out(folder / ("file" + std::to_string(i) + ".bin"), std::ios::binary);
            out.write(buffer.data() + (i % 1024), static_cast<std::streamsize>(size));
        }
    }
    ~DeepScanTree() {
        if (std::getenv("VELDAN_BENCH_KEEP") == nullptr) fs::remove_all(root);
    }

    // Reads the whole drive once, so that both measurements start from the same
    // (warm) page cache.
    void Warm() const {
        std::string cmd = "find '" + (root / "drive_c").string() + "' -type f -print0 | xargs -0 cat > /dev/null";
        if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "warming the page cache failed\n");
    }
};

DeepScanTree& Tree() {
    static DeepScanTree tree;
    static const bool warmed = (tree.Warm(), true);
    (void)warmed;
    return tree;
}

// Loads the machine image and times `pass` (a scan over it) once an iteration,
// with the folder table filled and the databases loaded first when `databases`.
template <class Pass>
void TimePass(benchmark::State& state, const fs::path& image, const fs::path& program,
              bool databases, Pass pass) {
    machine::MachineError error;
    auto m = machine::image::ImageMachine::Load(image.string(), error);
    if (!m) {
        state.SkipWithError(error.ToString().c_str());
        return;
    }
    text::NullDebugSink sink;
    platform::Context ctx(*m, sink);
    ctx.setProgramFolder(program.string());
    if (databases) {
        platform::InitFolderTable(ctx);
        engine::LoadDatabases(ctx);
    }
    engine::ScanObserver observer;
    std::atomic<int> cancel{0};
    for (auto _ : state) {
        engine::ScanResult result;
        pass(ctx, result, observer, cancel);
        benchmark::DoNotOptimize(result.rows.size());
    }
}

void DeepScan(benchmark::State& state) {
    DeepScanTree& tree = Tree();
    TimePass(state, tree.root, tree.program, false, [](auto&... a) { engine::RunDeepScan(a...); });
    state.counters["files"] = kFiles;
    state.counters["hashed"] = tree.candidates;
}
BENCHMARK(DeepScan)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void FindMd5sum(benchmark::State& state) {
    DeepScanTree& tree = Tree();
    std::string cmd = "find '" + (tree.root / "drive_c").string() + "' -type f \\( " +
                      tree.sizesFindArgs + " \\) -print0 | xargs -0 md5sum > /dev/null";
    for (auto _ : state) {
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("find | md5sum failed");
    }
    state.counters["hashed"] = tree.candidates;
}
BENCHMARK(FindMd5sum)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// A database in the shape of the shipped one, 100,000 lines.
std::string SignatureDatabase(int lines) {
    std::string db = "#VERSION bench\n";
    int n = 1;
    for (int e = 0; n < lines; ++e) {
        const std::string s = std::to_string(e);
        const std::string entry[] = {
            "#NAME Bench.Entry" + s,
            "Key HKLM\\Software\\BenchVendor" + s,
            "Value HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run \"Bench " + s + "\"",
            "ValueByData HKLM Software\\Microsoft\\Windows\\CurrentVersion\\Run bench" + s + ".exe",
            "File %WINDIR%\\bench" + s + ".exe",
            "FileFromSys bench" + s + ".dll",
            "DirFromPF BenchVendor" + s,
            "FileFromAppData bench" + s + ".dat",
            ";Process \\bench" + s + ".exe",
            "Key HKCU\\Software\\BenchVendor" + s,
        };
        for (const auto& l : entry) {
            if (n++ >= lines) break;
            db += l + "\n";
        }
    }
    return db;
}

void SignaturePass(benchmark::State& state) {
    const int lines = 100000;
    fs::path root = fs::temp_directory_path() / "veldan-signature-bench";
    fs::remove_all(root);
    fs::create_directories(root);
    fs::copy(test::SourceFolder() + "/examples/machines/sample-xp", root / "machine",
             fs::copy_options::recursive);
    fs::create_directories(root / "program" / "core");
    std::ofstream(root / "program" / "core" / "addb.txt") << SignatureDatabase(lines);

    TimePass(state, root / "machine", root / "program", true,
             [](auto&... a) { engine::RunScan(a...); });
    state.SetItemsProcessed(state.iterations() * lines);
    state.counters["lines/s"] = benchmark::Counter(static_cast<double>(lines),
                                                   benchmark::Counter::kIsIterationInvariantRate);
    fs::remove_all(root);
}
BENCHMARK(SignaturePass)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
