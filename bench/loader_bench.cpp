// Loading a generated 200,000-line detection database, plain and scrambled.
// Reports lines per second; the load must stay linear in the number of lines.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "engine/loader.h"
#include "engine/scramble.h"
#include "machine/image/image_machine.h"
#include "platform/context.h"
#include "text/debug.h"

namespace {

namespace fs = std::filesystem;
using namespace veldan;

constexpr int kLines = 200000;

// A database of `kLines` lines in the shape of the shipped one: entries of ten
// lines with files, keys, values, class identifiers (each used twice in its
// entry, and shared between entries far apart), type lines, cure-only lines
// and comments.
std::string GenerateDatabase() {
    std::string db = "#VERSION 2005.06.01\r\n";
    int line = 1;
    for (int e = 0; line < kLines; ++e) {
        char id[64];
        std::snprintf(id, sizeof id, "{%08X-1A1A-4A4A-B5B5-0123456789AB}", e % 15000);
        const std::string entry[] = {
            "#NAME Adware.Sample" + std::to_string(e),
            "File %WINDIR%\\sample" + std::to_string(e) + ".exe",
            "Key HKEY_LOCAL_MACHINE\\Software\\Sample" + std::to_string(e),
            "Value HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run \"Sample " +
                std::to_string(e) + "\"",
            std::string("CLSID ") + id,
            "DType smp" + std::to_string(e) + ".dll " + id + " http://example.com/smp.cab",
            ";FileFromSys smp" + std::to_string(e) + ".dll",
            "# comment line for entry " + std::to_string(e),
            "RunValue sample" + std::to_string(e),
            "\tCheckBHO",
        };
        for (const std::string& l : entry) {
            if (line++ >= kLines) break;
            db += l;
            db += "\r\n";
        }
    }
    return db;
}

class Fixture {
  public:
    Fixture() {
        std::string tmpl = (fs::temp_directory_path() / "veldan-bench-XXXXXX").string();
        if (::mkdtemp(tmpl.data()) == nullptr) std::abort();
        root_ = tmpl;
        fs::create_directories(root_ / "image" / "drive_c");
        fs::create_directories(root_ / "plain" / "core");
        fs::create_directories(root_ / "scrambled" / "data");

        std::string db = GenerateDatabase();
        Write(root_ / "plain" / "core" / "addb.txt", db);
        std::string scrambled, line;
        std::size_t pos = 0;
        while (pos < db.size()) {
            std::size_t end = db.find("\r\n", pos);
            veldan::engine::Scramble(std::string_view(db).substr(pos, end - pos), line);
            scrambled += line + "\r\n";
            pos = end + 2;
        }
        Write(root_ / "scrambled" / "data" / "addb", scrambled);

        machine::MachineError error;
        machine_ = machine::image::ImageMachine::Load((root_ / "image").string(), error);
        if (!machine_) std::abort();
    }
    ~Fixture() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    machine::Machine& machine() { return *machine_; }
    std::string folder(const char* name) const { return (root_ / name).string(); }

  private:
    static void Write(const fs::path& p, const std::string& bytes) {
        std::ofstream out(p, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    fs::path root_;
    std::unique_ptr<machine::image::ImageMachine> machine_;
};

Fixture& Shared() {
    static Fixture f;
    return f;
}

void Load(benchmark::State& state, const char* variant) {
    Fixture& f = Shared();
    text::NullDebugSink sink;
    platform::Context ctx(f.machine(), sink);
    ctx.setProgramFolder(f.folder(variant));
    ctx.folders().WINDIR = "C:\\WINDOWS";
    for (auto _ : state) {
        engine::LoadDatabases(ctx);
        benchmark::DoNotOptimize(ctx.db().PatternCount);
    }
    state.counters["lines/s"] =
        benchmark::Counter(static_cast<double>(kLines) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
    state.counters["patterns"] = ctx.db().PatternCount;
    state.counters["killbits"] = static_cast<double>(ctx.db().KillBitClsids.size());
}

void BM_LoadPlainDatabase(benchmark::State& state) {
    Load(state, "plain");
}
void BM_LoadScrambledDatabase(benchmark::State& state) {
    Load(state, "scrambled");
}

BENCHMARK(BM_LoadPlainDatabase)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadScrambledDatabase)->Unit(benchmark::kMillisecond);

}  // namespace
