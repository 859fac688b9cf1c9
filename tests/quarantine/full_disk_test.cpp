// The quarantine on a full disk: how much room a cure needs, a cure that would
// not fit does not start, and a disk that fills up during a cure stops it
// cleanly: the file at hand stays where it is, the journal reads back, and a
// restore undoes what was done before the stop.

#include <gtest/gtest.h>

#include <atomic>

#include "engine/scan.h"
#include "machine/memory/memory_machine.h"
#include "noise.h"
#include "platform/context.h"
#include "quarantine/cure_room.h"
#include "quarantine/journaling_machine.h"
#include "quarantine/restore.h"
#include "quarantine/store.h"
#include "text/debug.h"

namespace veldan::quarantine {
namespace {

using namespace machine;

constexpr char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::uint64_t Free(const FileSystem& fs) {
    std::uint64_t free = 0;
    EXPECT_EQ(fs.GetDiskFreeSpaceEx("C:\\", free), ERROR_SUCCESS);
    return free;
}

// A memory machine as an opened one, so that a journaling machine can wrap it.
class OpenedMemory final : public LoadedMachine {
  public:
    explicit OpenedMemory(memory::MemoryMachine& m) : m_(m) {}
    Registry& registry() override { return m_.registry(); }
    FileSystem& files() override { return m_.files(); }
    Profiles& profiles() override { return m_.profiles(); }
    ShellLinks& shellLinks() override { return m_.shellLinks(); }
    Processes& processes() override { return m_.processes(); }
    Windows& windows() override { return m_.windows(); }
    Launcher& launcher() override { return m_.launcher(); }
    Clock& clock() override { return m_.clock(); }
    SystemInfo& system() override { return m_.system(); }
    const std::string& folder() const override { return name_; }
    const std::string& userName() const override { return name_; }
    bool Save(MachineError&) override { return true; }
    bool CheckWritable(MachineError&) const override { return true; }
    std::vector<std::string> Backups() const override { return {}; }
    std::vector<RestartAction> Restart() override { return {}; }
    std::vector<std::string> PendingDeletes() const override { return m_.PendingDeletes(); }

  private:
    memory::MemoryMachine& m_;
    std::string name_ = "memory";
};

TEST(QuarantineRoom, CountsEveryFileOnceWithFoldersWhole) {
    memory::MemoryFileSystem fs;
    ASSERT_TRUE(fs.CreateDirectories("C:\\P\\sub"));
    ASSERT_TRUE(fs.CreateDirectories("C:\\P B"));
    ASSERT_EQ(fs.WriteFile("C:\\P\\a.bin", std::string(1000, 'a')), ERROR_SUCCESS);
    ASSERT_EQ(fs.WriteFile("C:\\P\\sub\\b.bin", std::string(2000, 'b')), ERROR_SUCCESS);
    ASSERT_EQ(fs.WriteFile("C:\\P B\\c.bin", std::string(300, 'c')), ERROR_SUCCESS);
    ASSERT_EQ(fs.WriteFile("C:\\x.exe", std::string(500, 'x')), ERROR_SUCCESS);
    const std::uint64_t margin = RoomToKeep(fs, {}, 0);
    EXPECT_GE(margin, std::uint64_t{64} << 10);  // the journal always needs some room

    // The folder counts whole; a file in it, a second spelling and a missing
    // path add nothing; a folder whose name only starts the same is its own.
    const std::uint64_t room = RoomToKeep(
        fs, {"C:\\P\\", "c:\\p\\SUB\\b.bin", "C:\\x.exe", "C:\\X.EXE", "C:\\gone.exe", "C:\\P B"},
        0);
    const std::uint64_t raw = 1000 + 2000 + 300 + 500;
    EXPECT_GE(room - margin, raw);
    EXPECT_LT(room - margin, raw + raw / 100);
    // Every change takes room in the journal.
    EXPECT_GT(RoomToKeep(fs, {}, 10), margin + 10 * 1024);
}

TEST(QuarantineRoom, TheQuarantinesDiskMustHoldWhatTheCureKeeps) {
    memory::MemoryMachine m;
    memory::MemoryFileSystem& fs = m.memoryFiles();
    ASSERT_TRUE(fs.CreateDirectories("C:\\WINDOWS"));
    ASSERT_EQ(fs.WriteFile("C:\\WINDOWS\\small.dll", std::string(1000, 's')), ERROR_SUCCESS);
    ASSERT_EQ(fs.WriteFile("C:\\WINDOWS\\big.dat", std::string(3 << 20, 'b')), ERROR_SUCCESS);
    fs.SetCapacity((std::uint64_t{3} << 20) + 1000 + (std::uint64_t{2} << 20));  // 2 MB free

    // The quarantine folder does not exist yet: its drive is asked.
    std::string problem;
    EXPECT_EQ(CheckRoom(fs, "C:\\Q\\Veldan\\Quarantine", std::uint64_t{2} << 20, problem),
              ERROR_SUCCESS);
    EXPECT_EQ(CheckRoom(fs, "C:\\Q\\Veldan\\Quarantine", (std::uint64_t{2} << 20) + 1, problem),
              ERROR_DISK_FULL);
    EXPECT_NE(problem.find("C:\\Q\\Veldan\\Quarantine"), std::string::npos) << problem;
    EXPECT_NE(problem.find("2.0 MB free"), std::string::npos) << problem;
    EXPECT_EQ(CheckRoom(fs, "D:\\Q", 1, problem), ERROR_PATH_NOT_FOUND);

    // Only the rows to cure count.
    text::CaptureDebugSink debug;
    platform::Context ctx(m, debug);
    auto found = [&](std::int32_t type, std::string text) {
        platform::CScanItem item;
        item.status = platform::SCAN;
        item.type = type;
        item.text = std::move(text);
        ctx.report().found().Add(std::move(item));
    };
    found(platform::FILE, "C:\\WINDOWS\\small.dll");
    found(platform::REGKEY, "HKLM\\Software\\Small");
    found(platform::FILE, "C:\\WINDOWS\\big.dat");
    engine::ScanResult result;
    result.rows.resize(2);
    result.rows[0].itemCount = 2;
    result.rows[0].checked = true;
    result.rows[1].itemStart = 2;
    result.rows[1].itemCount = 1;
    EXPECT_EQ(CheckRoomForCure(ctx, result, "C:\\Q", problem), ERROR_SUCCESS) << problem;
    result.rows[1].checked = true;
    EXPECT_EQ(CheckRoomForCure(ctx, result, "C:\\Q", problem), ERROR_DISK_FULL);
    EXPECT_NE(problem.find("to keep what it removes"), std::string::npos) << problem;

    // A cure that lacks room does not start its journal: nothing is written.
    JournalingMachine jm(std::make_unique<OpenedMemory>(m));
    jm.SetQuarantineFolder("C:\\Q");
    EXPECT_EQ(BeginCheckedCure(ctx, jm, result, problem), ERROR_DISK_FULL);
    EXPECT_TRUE(jm.cureId().empty());
    std::uint32_t attributes = 0;
    EXPECT_NE(fs.GetAttributes("C:\\Q", attributes), ERROR_SUCCESS);
    result.rows[1].checked = false;
    EXPECT_EQ(BeginCheckedCure(ctx, jm, result, problem), ERROR_SUCCESS) << problem;
    EXPECT_FALSE(jm.cureId().empty());
}

TEST(QuarantineRoom, ADiskThatFillsDuringACureStopsItCleanly) {
    memory::MemoryMachine m;
    memory::MemoryFileSystem& fs = m.memoryFiles();
    ASSERT_TRUE(fs.CreateDirectories("C:\\WINDOWS"));
    const std::string small(4000, 'a'), noise = Noise(60000, 99);
    ASSERT_EQ(fs.WriteFile("C:\\WINDOWS\\small.dll", small), ERROR_SUCCESS);
    ASSERT_EQ(fs.WriteFile("C:\\WINDOWS\\noise.bin", noise), ERROR_SUCCESS);
    ASSERT_EQ(fs.WriteFile("C:\\WINDOWS\\later.exe", "MZ later"), ERROR_SUCCESS);
    ASSERT_EQ(m.registry().CreateKey(HKEY_LOCAL_MACHINE, kRun), ERROR_SUCCESS);
    ASSERT_EQ(m.registry().SetValue(HKEY_LOCAL_MACHINE, kRun, "Bad", RegValue::String("bad.exe")),
              ERROR_SUCCESS);
    // Room for the journal and the small file's payload, not for the noise.
    fs.SetCapacity(4000 + 60000 + 8 + 20000);

    JournalingMachine jm(std::make_unique<OpenedMemory>(m));
    jm.SetQuarantineFolder("C:\\Q");
    std::atomic<int> cancel{0};
    jm.SetCancelFlag(&cancel);
    std::string problem;
    ASSERT_EQ(jm.BeginCure({"Bad"}, problem), ERROR_SUCCESS) << problem;
    EXPECT_EQ(jm.files().DeleteFile("C:\\WINDOWS\\small.dll"), ERROR_SUCCESS);
    EXPECT_EQ(jm.registry().DeleteValue(HKEY_LOCAL_MACHINE, kRun, "Bad"), ERROR_SUCCESS);
    EXPECT_EQ(cancel.load(), 0);
    EXPECT_TRUE(jm.stopProblem().empty());

    // The noise does not fit: it stays, the cure stops and asks to be cancelled.
    EXPECT_EQ(jm.files().DeleteFile("C:\\WINDOWS\\noise.bin"), ERROR_DISK_FULL);
    std::string bytes;
    ASSERT_EQ(fs.ReadFile("C:\\WINDOWS\\noise.bin", bytes), ERROR_SUCCESS);
    EXPECT_TRUE(bytes == noise);
    EXPECT_EQ(cancel.load(), 1);
    EXPECT_NE(jm.stopProblem().find("C:\\WINDOWS\\noise.bin"), std::string::npos)
        << jm.stopProblem();
    // Nothing further changes, not even what would fit.
    EXPECT_EQ(jm.files().DeleteFile("C:\\WINDOWS\\later.exe"), ERROR_WRITE_FAULT);
    EXPECT_EQ(fs.ReadFile("C:\\WINDOWS\\later.exe", bytes), ERROR_SUCCESS);
    (void)jm.End(false);
    EXPECT_EQ(jm.changes().size(), 2u);
    std::vector<FindData> parts;
    EXPECT_EQ(fs.FindFiles(jm.cureFolder() + "\\*.part", parts), ERROR_FILE_NOT_FOUND);

    // The journal reads back whole and says the cure did not complete.
    CureJournal journal;
    ASSERT_EQ(ReadCureJournal(fs, jm.cureFolder() + "\\journal.jsonl", journal, problem),
              ERROR_SUCCESS)
        << problem;
    EXPECT_TRUE(journal.ended);
    EXPECT_FALSE(journal.completed);
    const std::vector<CureInfo> cures = ListCures(fs, "C:\\Q");
    ASSERT_EQ(cures.size(), 1u);
    EXPECT_EQ(cures[0].changes, 2);
    EXPECT_EQ(cures[0].state, "not restored");

    // Once there is room again, the restore gives back what the cure took.
    fs.SetCapacity(std::uint64_t{16} << 20);
    EXPECT_GT(Free(fs), std::uint64_t{15} << 20);
    RestoreReport report;
    ASSERT_EQ(RestoreCure(m, "C:\\Q", jm.cureId(), false, report, problem), ERROR_SUCCESS)
        << problem;
    EXPECT_EQ(report.restored, 2);
    EXPECT_EQ(report.conflicts + report.failed, 0);
    ASSERT_EQ(fs.ReadFile("C:\\WINDOWS\\small.dll", bytes), ERROR_SUCCESS);
    EXPECT_EQ(bytes, small);
    RegValue value;
    ASSERT_EQ(m.registry().QueryValue(HKEY_LOCAL_MACHINE, kRun, "Bad", value), ERROR_SUCCESS);
    EXPECT_EQ(value.AsString(), "bad.exe");
}

}  // namespace
}  // namespace veldan::quarantine
