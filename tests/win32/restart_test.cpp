// Deletions at restart on the machine Veldan runs on: the 9x family's
// Wininit.ini [Rename] lines, and a restart that is only ever reported.

#include "machine/win32/win32_api.h"
// (the Windows headers first; see win32_api.h)

#include <gtest/gtest.h>

#include "machine/forwarding.h"
#include "machine/win32/live_machine.h"
#include "machine/win32/pending_deletes.h"
#include "support/temp_dir.h"
#include "text/strings.h"

namespace veldan::machine::win32 {
namespace {

using Strings = std::vector<std::string>;

// The profile calls of the machine, with the Windows folder's Wininit.ini
// moved to a scratch folder so that the test never writes the prefix's own.
class ScratchWininit final : public ForwardingProfiles {
  public:
    ScratchWininit(Profiles& inner, std::string path)
        : ForwardingProfiles(inner), path_(std::move(path)) {}

    std::vector<std::pair<std::string, std::string>> GetSection(
        std::string_view section, std::string_view file) const override {
        return inner().GetSection(section, Redirect(file));
    }
    WinError AppendString(std::string_view section, std::string_view key, std::string_view value,
                          std::string_view file) override {
        return inner().AppendString(section, key, value, Redirect(file));
    }

  private:
    std::string Redirect(std::string_view file) const {
        return text::EqualsNoCase(file, "wininit.ini") ? path_ : std::string(file);
    }
    std::string path_;
};

class NineXRestartTest : public ::testing::Test {
  protected:
    std::string Path(std::string_view name) const { return dir_.str() + "\\" + std::string(name); }
    std::string ShortPath(std::string_view name) {
        std::string s;
        EXPECT_EQ(files_.GetShortPathName(Path(name), s), ERROR_SUCCESS) << name;
        return s;
    }

    test::TempDir dir_;
    Win32Profiles live_;
    ScratchWininit profiles_{live_, Path("WININIT.INI")};
    Win32FileSystem files_{OsFamily::Win9x, profiles_};
};

TEST_F(NineXRestartTest, DeletionsAreRenameLinesWithShortNamesInOrder) {
    ASSERT_EQ(files_.WriteFile(Path("Long Named Library.dll"), "MZ"), ERROR_SUCCESS);
    ASSERT_EQ(files_.WriteFile(Path("b.dll"), "MZ"), ERROR_SUCCESS);
    ASSERT_EQ(files_.DeleteAtRestart(Path("long named library.dll")), ERROR_SUCCESS);
    ASSERT_EQ(files_.DeleteAtRestart(Path("B.DLL")), ERROR_SUCCESS);

    // Wininit.exe of the 9x family reads 8.3 names only.
    const std::string first = ShortPath("Long Named Library.dll");
    EXPECT_EQ(first.find(' '), std::string::npos) << first;
    EXPECT_EQ(dir_.Read("WININIT.INI"),
              "[Rename]\r\nNUL=" + first + "\r\nNUL=" + ShortPath("b.dll") + "\r\n");
    EXPECT_EQ(WininitDeletes(profiles_), (Strings{first, ShortPath("b.dll")}));
    std::string bytes;
    EXPECT_EQ(files_.ReadFile(Path("Long Named Library.dll"), bytes), ERROR_SUCCESS);
    EXPECT_EQ(bytes, "MZ");  // only scheduled
}

TEST_F(NineXRestartTest, AMissingFileIsRefusedAndNothingIsWritten) {
    EXPECT_EQ(files_.DeleteAtRestart(Path("none.dll")), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(dir_.Read("WININIT.INI"), "");
    EXPECT_TRUE(WininitDeletes(profiles_).empty());
}

TEST(LiveRestartTest, RestartOnlyReportsWhatWindowsWillDoAndRestartsNothing) {
    test::TempDir dir;
    LiveMachine machine;
    if (machine.system().Family() != OsFamily::Nt) GTEST_SKIP() << "an NT family prefix is needed";
    const std::string path = dir.str() + "\\held.dll";
    ASSERT_EQ(machine.files().WriteFile(path, "x"), ERROR_SUCCESS);
    ASSERT_EQ(machine.files().DeleteAtRestart(path), ERROR_SUCCESS);

    const std::vector<RestartAction> actions = machine.Restart();
    const auto it = std::find_if(actions.begin(), actions.end(), [&](const RestartAction& a) {
        return text::EqualsNoCase(a.path, path);
    });
    ASSERT_NE(it, actions.end());
    EXPECT_FALSE(it->done);
    EXPECT_EQ(it->note, LiveMachine::kRestartNote);
    EXPECT_EQ(it->target, "");
    std::uint32_t attributes = 0;
    EXPECT_EQ(machine.files().GetAttributes(path, attributes), ERROR_SUCCESS);  // still there
    EXPECT_EQ(machine.Restart().size(), actions.size());                        // and still pending
    (void)ForgetPendingDeletes(machine.registry(), dir.str());
}

}  // namespace
}  // namespace veldan::machine::win32
