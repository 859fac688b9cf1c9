// The journaling machine over a machine image: what a cure changes is kept and
// comes back exactly; what changed since is a conflict; a plan changes nothing;
// a quarantine that cannot be written stops the cure before it starts.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "machine/forwarding.h"
#include "machine/reg_file.h"
#include "quarantine/journaling_machine.h"
#include "quarantine/restore.h"
#include "quarantine/store.h"
#include "support/image_builder.h"
#include "support/temp_dir.h"

namespace veldan::quarantine {
namespace {

using namespace machine;
namespace fs = std::filesystem;

constexpr char kRoot[] = "C:\\Q";

class Journaling : public ::testing::Test {
  protected:
    void SetUp() override {
        image_.Ini("[machine]\nos=nt\n[protected]\nkey=HKLM\\Software\\Bad\\Locked\n")
            .Reg("10.reg",
                 "[HKEY_LOCAL_MACHINE\\Software\\Bad]\n"
                 "\"Zed\"=\"last in name, first in order\"\n"
                 "@=\"default\"\n"
                 "\"Bin\"=hex:00,01,ff\n"
                 "\"Num\"=dword:0000002a\n"
                 "\"Exp\"=hex(2):25,00,54,00,00,00\n"
                 "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"
                 "\"Odd\"=hex(1):41,00,42\n"
                 "[HKEY_LOCAL_MACHINE\\Software\\Bad\\Locked]\n"
                 "\"x\"=dword:00000001\n"
                 "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
                 "\"Good\"=\"good.exe\"\n"
                 "\"Bad\"=\"bad.exe\"\n"
                 "\"After\"=\"after.exe\"\n")
            .File("C:\\WINDOWS\\bad.exe", "MZ bad program bytes")
            .File("C:\\WINDOWS\\win.ini", "[windows]\r\nload=bad.exe\r\nrun=\r\n")
            .Folder("C:\\Program Files\\Bad\\data")
            .File("C:\\Program Files\\Bad\\data\\cfg.dat", std::string(3000, 'c'));
        fs::permissions(image_.Host("C:\\WINDOWS\\bad.exe"), fs::perms::owner_write,
                        fs::perm_options::remove);
        Open();
        FileTimes times{0, 127377072000000000ull, 127377108000000000ull};
        ASSERT_EQ(m_->inner().files().SetFileTime("C:\\WINDOWS\\bad.exe", times), ERROR_SUCCESS);
        registryBefore_ = Reg();
        filesBefore_ = Tree();
    }

    void Open() {
        m_ = std::make_unique<JournalingMachine>(image_.Load());
        m_->SetQuarantineFolder(kRoot);
    }
    void Reopen() {
        MachineError error;
        ASSERT_TRUE(m_->Save(error)) << error.ToString();
        Open();
    }

    // The cure of "Bad": values, a protected tree, a read-only file, a folder, an INI key.
    void Cure() {
        std::string problem;
        ASSERT_EQ(m_->BeginCure({"Bad"}, problem), ERROR_SUCCESS) << problem;
        m_->SetRow(0);
        Registry& reg = m_->registry();
        FileSystem& files = m_->files();
        EXPECT_EQ(reg.DeleteValue(HKEY_LOCAL_MACHINE,
                                  "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Bad"),
                  ERROR_SUCCESS);
        EXPECT_EQ(reg.DeleteTree(HKEY_LOCAL_MACHINE, "software\\bad"), ERROR_ACCESS_DENIED);
        EXPECT_EQ(reg.SetKeySecurity(HKEY_LOCAL_MACHINE, "Software\\Bad\\Locked",
                                     KeySecurity::FullControl()),
                  ERROR_SUCCESS);
        EXPECT_EQ(reg.DeleteTree(HKEY_LOCAL_MACHINE, "software\\bad"), ERROR_SUCCESS);
        EXPECT_EQ(files.DeleteFile("C:\\windows\\BAD.EXE"), ERROR_ACCESS_DENIED);
        EXPECT_EQ(files.SetAttributes("C:\\windows\\BAD.EXE", FILE_ATTRIBUTE_NORMAL),
                  ERROR_SUCCESS);
        EXPECT_EQ(files.DeleteFile("C:\\windows\\BAD.EXE"), ERROR_SUCCESS);
        EXPECT_EQ(files.DeleteFile("C:\\Program Files\\Bad\\data\\cfg.dat"), ERROR_SUCCESS);
        EXPECT_EQ(files.RemoveDirectory("C:\\Program Files\\Bad\\data"), ERROR_SUCCESS);
        EXPECT_EQ(files.RemoveDirectory("C:\\Program Files\\Bad"), ERROR_SUCCESS);
        m_->SetRow(-1);
        EXPECT_EQ(m_->profiles().WriteString("windows", "load", std::nullopt, "win.ini"),
                  ERROR_SUCCESS);
        EXPECT_EQ(reg.CreateKey(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Main"),
                  ERROR_SUCCESS);
        EXPECT_EQ(reg.SetValue(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Main",
                               "Start Page", RegValue::String("about:blank")),
                  ERROR_SUCCESS);
        EXPECT_EQ(m_->End(true), ERROR_SUCCESS);
    }

    RestoreReport Restore(bool force = false) {
        RestoreReport report;
        std::string problem;
        EXPECT_EQ(RestoreCure(m_->inner(), kRoot, m_->cureId().empty() ? id_ : m_->cureId(), force,
                              report, problem),
                  ERROR_SUCCESS)
            << problem;
        return report;
    }

    std::string Reg() { return WriteRegText(m_->inner().registry(), {}); }

    // Every entry of drive C: outside the quarantine: name, kind, write permission, content.
    std::string Tree() {
        std::string out;
        const fs::path drive = fs::path(image_.folder()) / "drive_c";
        for (auto it = fs::recursive_directory_iterator(drive);
             it != fs::recursive_directory_iterator(); ++it) {
            const std::string rel = fs::relative(it->path(), drive).string();
            if (rel == "Q" || rel.rfind("Q/", 0) == 0) continue;
            const bool writable =
                (it->status().permissions() & fs::perms::owner_write) != fs::perms::none;
            out += rel + (it->is_directory() ? "/" : "") + (writable ? " rw" : " ro");
            if (it->is_regular_file()) {
                std::ifstream in(it->path(), std::ios::binary);
                out += " " + std::string(std::istreambuf_iterator<char>(in), {});
            }
            out += "\n";
        }
        return out;
    }

    test::TempDir dir_;
    test::ImageBuilder image_{dir_};
    std::unique_ptr<JournalingMachine> m_;
    std::string registryBefore_, filesBefore_, id_;
};

TEST_F(Journaling, RestoreGivesBackTheRegistryFilesAttributesAndTimesExactly) {
    Cure();
    id_ = m_->cureId();
    EXPECT_NE(Reg(), registryBefore_);
    EXPECT_NE(Tree(), filesBefore_);
    // Every change is listed once, with the row that made it.
    int forRow = 0, around = 0;
    for (const Change& c : m_->changes()) (c.row == 0 ? forRow : around)++;
    EXPECT_EQ(forRow, 8);  // value, security, tree, attributes, two files, two folders
    EXPECT_EQ(around, 3);  // the INI key, the created key, the start page
    Reopen();

    const RestoreReport report = Restore();
    EXPECT_EQ(report.conflicts, 0);
    EXPECT_EQ(report.failed, 0);
    EXPECT_EQ(report.restored, 11);
    Reopen();
    EXPECT_EQ(Reg(), registryBefore_);  // value order, types and odd UTF-16 bytes included
    EXPECT_EQ(Tree(), filesBefore_);    // read-only attribute included
    FileTimes times;
    ASSERT_EQ(m_->files().GetFileTime("C:\\WINDOWS\\bad.exe", times), ERROR_SUCCESS);
    EXPECT_EQ(times.lastWrite, 127377108000000000ull);
    KeySecurity security;
    ASSERT_EQ(m_->registry().GetKeySecurity(HKEY_LOCAL_MACHINE, "Software\\Bad\\Locked", security),
              ERROR_SUCCESS);
    EXPECT_TRUE(security.denyDelete);

    // A second restore finds everything as it was and changes nothing.
    const RestoreReport again = Restore();
    for (const RestoreItem& i : again.items) {
        EXPECT_TRUE(i.outcome == "already restored")
            << i.outcome << " " << i.text << " " << i.detail;
    }
    EXPECT_EQ(again.restored, 0);
    EXPECT_EQ(again.already, 11);
    const auto cures = ListCures(m_->files(), kRoot);
    ASSERT_EQ(cures.size(), 1u);
    EXPECT_EQ(cures[0].state, "restored");
    EXPECT_EQ(cures[0].changes, 11);
}

TEST_F(Journaling, RemovedFilesAreKeptCompressedAndHiddenFromListings) {
    Cure();
    const std::string folder = m_->cureFolder();
    std::vector<FindData> kept;
    ASSERT_EQ(m_->inner().files().FindFiles(folder + "\\*.gz", kept), ERROR_SUCCESS);
    EXPECT_EQ(kept.size(), 3u);  // bad.exe, cfg.dat, win.ini
    for (const FindData& f : kept) {
        std::string bytes;
        ASSERT_EQ(m_->inner().files().ReadFile(folder + "\\" + f.name, bytes), ERROR_SUCCESS);
        EXPECT_EQ(bytes.find("MZ bad"), std::string::npos) << f.name;
        EXPECT_EQ(bytes.substr(0, 2), "\x1f\x8b") << f.name;  // gzip
    }
    std::vector<FindData> root;
    ASSERT_EQ(m_->files().FindFiles("C:\\*", root), ERROR_SUCCESS);
    for (const FindData& f : root) EXPECT_NE(f.name, "Q");
    ASSERT_EQ(m_->inner().files().FindFiles("C:\\*", root), ERROR_SUCCESS);
    bool seen = false;
    for (const FindData& f : root) seen = seen || f.name == "Q";
    EXPECT_TRUE(seen);
}

TEST_F(Journaling, WhatChangedSinceTheCureIsAConflictUnlessForced) {
    Cure();
    id_ = m_->cureId();
    ASSERT_EQ(m_->files().WriteFile("C:\\WINDOWS\\bad.exe", "a new file of the user"),
              ERROR_SUCCESS);
    ASSERT_EQ(
        m_->registry().SetValue(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Main",
                                "Start Page", RegValue::String("http://user.choice/")),
        ERROR_SUCCESS);
    std::uint32_t attributes = 0;
    RestoreReport report = Restore();
    // The file, its attributes (which belong to the same file), the value and
    // the key the cure created, which now holds the user's value.
    EXPECT_EQ(report.conflicts, 4);
    std::string bytes;
    ASSERT_EQ(m_->files().ReadFile("C:\\WINDOWS\\bad.exe", bytes), ERROR_SUCCESS);
    EXPECT_EQ(bytes, "a new file of the user");
    EXPECT_EQ(m_->files().GetAttributes("C:\\WINDOWS\\bad.exe", attributes), ERROR_SUCCESS);
    EXPECT_EQ(attributes & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(ListCures(m_->files(), kRoot)[0].state, "restored with conflicts");

    report = Restore(true);
    EXPECT_EQ(report.conflicts, 0);
    EXPECT_EQ(report.restored, 4);
    Reopen();
    EXPECT_EQ(Reg(), registryBefore_);
    EXPECT_EQ(Tree(), filesBefore_);
}

TEST_F(Journaling, APlanListsTheChangesAndMakesNone) {
    m_->BeginPlan();
    m_->SetRow(2);
    EXPECT_EQ(m_->files().SetAttributes("C:\\WINDOWS\\bad.exe", FILE_ATTRIBUTE_NORMAL),
              ERROR_SUCCESS);
    EXPECT_EQ(m_->files().DeleteFile("C:\\WINDOWS\\bad.exe"), ERROR_SUCCESS);
    EXPECT_EQ(m_->files().DeleteFile("C:\\WINDOWS\\bad.exe"), ERROR_SUCCESS);  // listed once
    EXPECT_EQ(m_->registry().DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Bad"), ERROR_SUCCESS);
    EXPECT_EQ(m_->profiles().WriteString("windows", "load", std::nullopt, "win.ini"),
              ERROR_SUCCESS);
    EXPECT_EQ(m_->End(true), ERROR_SUCCESS);
    ASSERT_EQ(m_->changes().size(), 4u);
    EXPECT_EQ(m_->changes()[1].op, "delete");
    EXPECT_EQ(m_->changes()[1].text, "C:\\WINDOWS\\bad.exe");
    EXPECT_EQ(m_->changes()[1].row, 2);
    EXPECT_EQ(m_->changes()[3].type, "PROSTR");
    EXPECT_EQ(Reg(), registryBefore_);
    EXPECT_EQ(Tree(), filesBefore_);
    EXPECT_FALSE(fs::exists(fs::path(image_.folder()) / "drive_c" / "Q"));

    // A cure after the plan lists its own changes only.
    std::string problem;
    ASSERT_EQ(m_->BeginCure({"Bad"}, problem), ERROR_SUCCESS) << problem;
    EXPECT_TRUE(m_->changes().empty());
    EXPECT_EQ(m_->files().DeleteFile("C:\\WINDOWS\\win.ini"), ERROR_SUCCESS);
    ASSERT_EQ(m_->changes().size(), 1u);
    EXPECT_EQ(m_->changes()[0].seq, 1u);
    EXPECT_EQ(m_->changes()[0].row, -1);
}

TEST_F(Journaling, ADamagedForeignOrUnknownJournalIsRefusedAndNothingChanges) {
    Cure();
    const std::string id = m_->cureId();
    const fs::path journal = fs::path(image_.folder()) / "drive_c" / "Q" / id / "journal.jsonl";
    Reopen();
    const std::string cured = Reg();
    std::string original;
    {
        std::ifstream in(journal, std::ios::binary);
        original.assign(std::istreambuf_iterator<char>(in), {});
    }
    auto attempt = [&](const std::string& text, const std::string& expected) {
        std::ofstream(journal, std::ios::binary | std::ios::trunc) << text;
        RestoreReport report;
        std::string problem;
        EXPECT_EQ(RestoreCure(m_->inner(), kRoot, id, false, report, problem), ERROR_INVALID_DATA)
            << text;
        EXPECT_NE(problem.find(expected), std::string::npos) << problem;
        EXPECT_TRUE(report.items.empty());
        EXPECT_EQ(Reg(), cured);
    };
    attempt("{\"format\":\"something-else\",\"version\":1}\n", "not a quarantine journal");
    attempt(original.substr(0, original.find('\n') + 1) + "{not json\n" +
                original.substr(original.find('\n') + 1),
            "line 2 is not a JSON object");
    std::string newer = original;
    newer.replace(newer.find("\"version\":1"), 11, "\"version\":9");
    attempt(newer, "has version 9");
    EXPECT_EQ(ListCures(m_->files(), kRoot)[0].state, "damaged");

    RestoreReport report;
    std::string problem;
    EXPECT_EQ(RestoreCure(m_->inner(), kRoot, "20000101T000000Z-01", false, report, problem),
              ERROR_PATH_NOT_FOUND);
    EXPECT_NE(problem.find("no cure has the id"), std::string::npos);

    // A last line cut short by a stop is no damage: the journal reads up to it.
    std::ofstream(journal, std::ios::binary | std::ios::trunc)
        << original << "{\"seq\":99,\"op\":\"del";
    CureJournal read;
    EXPECT_EQ(
        ReadCureJournal(m_->inner().files(), "C:\\Q\\" + id + "\\journal.jsonl", read, problem),
        ERROR_SUCCESS);
    EXPECT_TRUE(read.ended);
}

// A drive that takes only so many bytes more, as a full disk does.
class FullDisk final : public ForwardingFileSystem {
  public:
    FullDisk(FileSystem& inner, long long room) : ForwardingFileSystem(inner), room_(room) {}
    WinError OpenWrite(std::string_view path, WriteMode mode,
                       std::unique_ptr<FileWriter>& writer) override {
        std::unique_ptr<FileWriter> w;
        if (WinError e = inner().OpenWrite(path, mode, w)) return e;
        writer = std::make_unique<Writer>(std::move(w), room_);
        return ERROR_SUCCESS;
    }

  private:
    class Writer final : public FileWriter {
      public:
        Writer(std::unique_ptr<FileWriter> inner, long long& room)
            : inner_(std::move(inner)), room_(room) {}
        WinError Write(const void* data, std::size_t size) override {
            if (static_cast<long long>(size) > room_) return ERROR_DISK_FULL;
            room_ -= static_cast<long long>(size);
            return inner_->Write(data, size);
        }
        WinError Flush() override { return inner_->Flush(); }

      private:
        std::unique_ptr<FileWriter> inner_;
        long long& room_;
    };
    long long room_;
};

// A loaded machine whose drive has only `room` bytes left.
class FullDiskMachine final : public LoadedMachine {
  public:
    FullDiskMachine(std::unique_ptr<LoadedMachine> inner, long long room)
        : inner_(std::move(inner)), files_(inner_->files(), room) {}
    Registry& registry() override { return inner_->registry(); }
    FileSystem& files() override { return files_; }
    Profiles& profiles() override { return inner_->profiles(); }
    ShellLinks& shellLinks() override { return inner_->shellLinks(); }
    Processes& processes() override { return inner_->processes(); }
    Windows& windows() override { return inner_->windows(); }
    Launcher& launcher() override { return inner_->launcher(); }
    Clock& clock() override { return inner_->clock(); }
    SystemInfo& system() override { return inner_->system(); }
    const std::string& folder() const override { return inner_->folder(); }
    const std::string& userName() const override { return inner_->userName(); }
    bool Save(MachineError& error) override { return inner_->Save(error); }
    bool CheckWritable(MachineError& error) const override { return inner_->CheckWritable(error); }
    std::vector<std::string> Backups() const override { return {}; }
    std::vector<RestartAction> Restart() override { return {}; }
    std::vector<std::string> PendingDeletes() const override { return {}; }

  private:
    std::unique_ptr<LoadedMachine> inner_;
    FullDisk files_;
};

TEST_F(Journaling, AQuarantineWithoutRoomKeepsTheMachineAsItIs) {
    m_.reset();
    // No room for the journal: the cure does not start and leaves nothing behind.
    JournalingMachine full(std::make_unique<FullDiskMachine>(image_.Load(), 10));
    full.SetQuarantineFolder(kRoot);
    std::string problem;
    EXPECT_EQ(full.BeginCure({"Bad"}, problem), ERROR_DISK_FULL);
    EXPECT_NE(problem.find("cannot write the journal"), std::string::npos);
    EXPECT_FALSE(full.Recording());
    std::vector<FindData> left;
    EXPECT_EQ(full.inner().files().FindFiles("C:\\Q\\*", left), ERROR_SUCCESS);
    EXPECT_EQ(left.size(), 2u);  // "." and ".." only

    // Room for the journal, not for a file that does not compress: the file stays.
    std::string noise;
    std::uint32_t lcg = 12345;
    for (int i = 0; i < 5000; ++i) {
        lcg = lcg * 1664525u + 1013904223u;
        noise.push_back(static_cast<char>(lcg >> 24));
    }
    ASSERT_EQ(full.inner().files().WriteFile("C:\\WINDOWS\\noise.bin", noise), ERROR_SUCCESS);
    JournalingMachine roomy(std::make_unique<FullDiskMachine>(image_.Load(), 2500));
    roomy.SetQuarantineFolder(kRoot);
    ASSERT_EQ(roomy.BeginCure({"Bad"}, problem), ERROR_SUCCESS) << problem;
    EXPECT_EQ(roomy.files().DeleteFile("C:\\WINDOWS\\noise.bin"), ERROR_DISK_FULL);
    std::string bytes;
    EXPECT_EQ(roomy.files().ReadFile("C:\\WINDOWS\\noise.bin", bytes), ERROR_SUCCESS);
    EXPECT_TRUE(bytes == noise);
    std::vector<FindData> kept;
    EXPECT_EQ(roomy.inner().files().FindFiles(roomy.cureFolder() + "\\*.gz*", kept),
              ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(roomy.changes().empty());
}

TEST_F(Journaling, ARestoreStoppedHalfWayFinishesWhenRunAgain) {
    Cure();
    id_ = m_->cureId();
    Reopen();
    {
        // The disk fills up while the first files come back.
        FullDiskMachine full(image_.Load(), 2500);
        RestoreReport report;
        std::string problem;
        ASSERT_EQ(RestoreCure(full, kRoot, id_, false, report, problem), ERROR_SUCCESS) << problem;
        EXPECT_GT(report.failed, 0);
        EXPECT_GT(report.restored, 0);
        MachineError error;
        ASSERT_TRUE(full.Save(error)) << error.ToString();
    }
    Open();
    EXPECT_EQ(ListCures(m_->files(), kRoot)[0].state, "restored with conflicts");
    const RestoreReport again = Restore();
    EXPECT_EQ(again.failed + again.conflicts, 0);
    EXPECT_GT(again.already, 0);
    Reopen();
    EXPECT_EQ(Reg(), registryBefore_);
    EXPECT_EQ(Tree(), filesBefore_);
    EXPECT_EQ(ListCures(m_->files(), kRoot)[0].state, "restored");
}

TEST_F(Journaling, AReadOnlyQuarantineStopsTheCureBeforeItStarts) {
    fs::create_directories(fs::path(image_.folder()) / "drive_c" / "RO");
    fs::permissions(fs::path(image_.folder()) / "drive_c" / "RO", fs::perms::owner_write,
                    fs::perm_options::remove);
    Open();
    m_->SetQuarantineFolder("C:\\RO\\Quarantine");
    std::string problem;
    EXPECT_EQ(m_->BeginCure({"Bad"}, problem), ERROR_ACCESS_DENIED);
    EXPECT_NE(problem.find("C:\\RO\\Quarantine"), std::string::npos);
    EXPECT_FALSE(m_->Recording());
    EXPECT_EQ(Tree(), filesBefore_ + "RO/ ro\n");
}

}  // namespace
}  // namespace veldan::quarantine
