// veldan-cli immunize and killbit, run as a user runs them, on a small machine
// image and a program folder with plain databases.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/scramble.h"
#include "support/image_builder.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace veldan::test {
namespace {

using Strings = std::vector<std::string>;
const std::string kA = "{AAAAAAAA-1111-2222-3333-444444444444}";
const std::string kB = "{BBBBBBBB-1111-2222-3333-444444444444}";
const std::string kU = "{0000000U-1111-2222-3333-444444444444}";
const std::string kCompat =
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Internet Explorer\\ActiveX Compatibility";
const std::string kHistory =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\P3P\\"
    "History";

class CliImmunize : public testing::Test {
  protected:
    void SetUp() override {
        image.Reg("ie.reg", "[" + kCompat + "]\r\n[" + kCompat + "\\" + kB +
                                "]\r\n\"Compatibility Flags\"=dword:00000400\r\n");
        prog.Write("core/addb.txt",
                   "#NAME Alpha Bar\r\nCLSID " + kA + "\r\n#NAME Beta\r\nAx x.ocx " + kB + "\r\n");
        prog.Write("core/ckdb.txt", "ads.test\r\n");
        prog.Write("data/.keep", "");
    }
    RunResult Cli(const std::string& command, Strings args) {
        args.insert(args.begin(),
                    {"--program-folder", prog.str(), command, "--machine", image.folder()});
        return RunProgram("veldan-cli", args);
    }
    std::string Export(const std::string& key) {
        return RunProgram("veldan-cli", {"reg", "export", "--machine", image.folder(), key}).out;
    }
    TempDir dir;
    ImageBuilder image{dir};
    TempDir prog;
};

int Lines(const std::string& s) {
    return static_cast<int>(std::count(s.begin(), s.end(), '\n'));
}

TEST_F(CliImmunize, BadUsageExitsTwoWithOneLine) {
    for (const Strings& args : std::vector<Strings>{{"immunize"},
                                                    {"immunize", "list", "extra"},
                                                    {"immunize", "frob"},
                                                    {"immunize", "list", "--bogus"},
                                                    {"killbit", "add", kU},
                                                    {"killbit", "remove"},
                                                    {"killbit", "drop", kA}}) {
        Strings rest(args.begin() + 1, args.end());
        RunResult r = Cli(args[0], rest);
        EXPECT_EQ(r.exitCode, 2) << testing::PrintToString(args);
        EXPECT_EQ(Lines(r.err), 1) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    RunResult r = RunProgram("veldan-cli", {"--program-folder", prog.str(), "killbit", "list"});
    EXPECT_EQ(r.exitCode, 2);  // no machine
    r = RunProgram("veldan-cli", {"--program-folder", prog.str(), "immunize", "--machine",
                                  (dir.path() / "none").string(), "list"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.empty());
}

TEST_F(CliImmunize, ListBlockAllAndUnblockAll) {
    RunResult r = Cli("immunize", {"list", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(
        r.out,
        R"({"total": 3, "blocked": 1, "rows": [{"kind": "activex", "name": "Alpha Bar", "clsid": ")" +
            kA + R"(", "blocked": false}, {"kind": "activex", "name": "Beta", "clsid": ")" + kB +
            R"(", "blocked": true}, {"kind": "cookie", "domain": "ads.test", "blocked": false}]})"
            "\n");
    r = Cli("immunize", {"list"});
    EXPECT_EQ(r.out.rfind("전체 3 개 중 1 개가 면역, 예방 상태입니다.\n", 0), 0u) << r.out;

    r = Cli("immunize", {"block-all", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind(R"({"total": 3, "blocked": 3,)", 0), 0u) << r.out;
    // Saved: a new run sees it.
    EXPECT_NE(Export(kCompat + "\\" + kA).find("\"Compatibility Flags\"=dword:00000400"),
              std::string::npos);
    EXPECT_NE(Export(kHistory + "\\ads.test").find("@=dword:00000005"), std::string::npos);

    r = Cli("immunize", {"unblock-all"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("전체 3 개 중 0 개가 면역, 예방 상태입니다.\n", 0), 0u) << r.out;
    EXPECT_EQ(Export(kCompat).find(kB), std::string::npos);  // the whole key went
}

TEST_F(CliImmunize, KillBitListIsEditedAndSaved) {
    RunResult r = Cli("killbit", {"list", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "{\"total\": 0, \"blocked\": 0, \"rows\": []}\n");

    r = Cli("killbit", {"add", kA, "Mine"});  // an immunization-list identifier
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "veldan-cli: 면역, 예방으로 차단 가능한 CLSID입니다. 다시 입력하세요.\n");
    EXPECT_EQ(prog.Read("data/killbit"), "");

    r = Cli("killbit", {"add", kU, " My Bar "});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string line;
    engine::Scramble(kU + " My Bar", line);
    EXPECT_EQ(prog.Read("data/killbit"), line + "\r\n");
    r = Cli("killbit", {"add", "{0000000u-1111-2222-3333-444444444444}", "Again"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "veldan-cli: CLSID가 이미 입력되어 있습니다. 다시 입력하세요.\n");

    r = Cli("killbit", {"block-all", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "{\"total\": 1, \"blocked\": 1, \"rows\": [{\"clsid\": \"" + kU +
                         "\", \"name\": \"My Bar\", \"blocked\": true}]}\n");
    EXPECT_NE(Export(kCompat + "\\" + kU).find("dword:00000400"), std::string::npos);

    EXPECT_EQ(Cli("killbit", {"remove", kA}).exitCode, 2);  // not in the list
    r = Cli("killbit", {"remove", kU});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "전체 0 개 중 0 개가 차단 상태입니다.\n");
    EXPECT_EQ(prog.Read("data/killbit"), "");
    EXPECT_EQ(Export(kCompat).find(kU), std::string::npos);
}

}  // namespace
}  // namespace veldan::test
