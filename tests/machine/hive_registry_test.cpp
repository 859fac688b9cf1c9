// The hive registry beyond the contract every backend keeps: hives mounted
// where Windows shows them, keys above the mounts, the current control set, the
// merged classes view, one file at two places, and writing back.

#include <gtest/gtest.h>
#include <hivex.h>

#include <filesystem>

#include "host/file_read.h"
#include "machine/backends/hive_convert.h"
#include "machine/hive/hive_registry.h"
#include "machine/memory_registry.h"
#include "machine/reg_file.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "text/codepage.h"

namespace veldan::machine::hive {
namespace {

using test::TempDir;
using Names = std::vector<std::string>;

// A hive file holding the tree root\path of the .reg text.
std::string Hive(const TempDir& dir, const std::string& name, std::string_view regBody, HKEY root,
                 std::string_view path) {
    MemoryRegistry text(true);
    RegFileError re;
    EXPECT_TRUE(ApplyRegFile("Windows Registry Editor Version 5.00\r\n\r\n" + std::string(regBody),
                             name, text, re))
        << re.ToString();
    const std::string file = (dir.path() / name).string();
    std::string error;
    EXPECT_TRUE(WriteHiveFile(text, root, path, file, {}, error)) << error;
    return file;
}

Names SubKeys(const Registry& r, HKEY root, std::string_view path) {
    Names names;
    std::string name;
    while (r.EnumKey(root, path, static_cast<std::uint32_t>(names.size()), name) == ERROR_SUCCESS) {
        names.push_back(name);
    }
    return names;
}

std::string Str(const Registry& r, HKEY root, std::string_view path, std::string_view name) {
    RegValue v;
    if (r.QueryValue(root, path, name, v) != ERROR_SUCCESS) return "<missing>";
    return v.AsString();
}

// SOFTWARE, SYSTEM with two control sets, a user hive and its classes, mounted
// as an installation mounts them.
class MountedHives : public ::testing::Test {
  protected:
    void SetUp() override {
        software =
            Hive(dir, "SOFTWARE",
                 "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{1}]\r\n@=\"machine one\"\r\n"
                 "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{1}\\Sub]\r\n"
                 "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{2}]\r\n@=\"machine two\"\r\n"
                 "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{2}\\InprocServer32]\r\n"
                 "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]\r\n\"v\"=\"1\"\r\n",
                 HKEY_LOCAL_MACHINE, "SOFTWARE");
        system = Hive(dir, "SYSTEM",
                      "[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\r\n\"Current\"=dword:00000002\r\n"
                      "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Services\\Old]\r\n"
                      "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Services\\New]\r\n",
                      HKEY_LOCAL_MACHINE, "SYSTEM");
        ntuser =
            Hive(dir, "NTUSER.DAT", "[HKEY_CURRENT_USER\\Software\\Vendor]\r\n\"u\"=\"user\"\r\n",
                 HKEY_CURRENT_USER, "");
        usrclass =
            Hive(dir, "UsrClass.dat",
                 "[HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{2}]\r\n@=\"user two\"\r\n"
                 "[HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{3}]\r\n@=\"user three\"\r\n",
                 HKEY_CURRENT_USER, "Software\\Classes");
        std::string error;
        for (auto [root, path, file, node] :
             {std::tuple{HKEY_LOCAL_MACHINE, "SOFTWARE", software, ""},
              std::tuple{HKEY_LOCAL_MACHINE, "SYSTEM", system, ""},
              std::tuple{HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet", system, "ControlSet002"},
              std::tuple{HKEY_CURRENT_USER, "", ntuser, ""},
              std::tuple{HKEY_CURRENT_USER, "Software\\Classes", usrclass, ""},
              std::tuple{HKEY_USERS, "S-1-5-21-7", ntuser, ""},
              std::tuple{HKEY_USERS, "S-1-5-21-7_Classes", usrclass, ""}}) {
            ASSERT_TRUE(reg.Mount(root, path, file, node, false, error)) << error;
        }
    }

    TempDir dir;
    std::string software, system, ntuser, usrclass;
    HiveRegistry reg;
};

TEST_F(MountedHives, KeysAboveTheMountsHoldOnlyTheMounts) {
    EXPECT_EQ(SubKeys(reg, HKEY_LOCAL_MACHINE, ""), (Names{"SOFTWARE", "SYSTEM"}));
    EXPECT_EQ(SubKeys(reg, HKEY_USERS, ""), (Names{"S-1-5-21-7", "S-1-5-21-7_Classes"}));
    RegKeyInfo info;
    ASSERT_EQ(reg.QueryInfoKey(HKEY_LOCAL_MACHINE, "", info), ERROR_SUCCESS);
    EXPECT_EQ(info.subKeys, 2u);
    EXPECT_EQ(info.values, 0u);
    // Nothing can be made or removed there.
    EXPECT_EQ(reg.CreateKey(HKEY_LOCAL_MACHINE, "HARDWARE"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.SetValue(HKEY_LOCAL_MACHINE, "", "x", RegValue::Dword(1)), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.DeleteKey(HKEY_USERS, "S-1-5-21-7_Classes"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.DeleteTree(HKEY_CURRENT_USER, "Software\\Classes"), ERROR_ACCESS_DENIED);
    // A tree with a mount inside it stays whole.
    EXPECT_EQ(reg.DeleteTree(HKEY_CURRENT_USER, "Software"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.OpenKey(HKEY_CURRENT_USER, "Software\\Vendor"), ERROR_SUCCESS);
    KeySecurity sec{true};
    ASSERT_EQ(reg.GetKeySecurity(HKEY_LOCAL_MACHINE, "", sec), ERROR_SUCCESS);
    EXPECT_FALSE(sec.denyDelete);
    EXPECT_EQ(reg.SetKeySecurity(HKEY_USERS, "", KeySecurity{true}), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(reg.HasChanges());
}

TEST_F(MountedHives, CurrentControlSetIsTheSetSelectNames) {
    EXPECT_EQ(SubKeys(reg, HKEY_LOCAL_MACHINE, "SYSTEM"),
              (Names{"ControlSet001", "ControlSet002", "CurrentControlSet", "Select"}));
    EXPECT_EQ(SubKeys(reg, HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services"),
              Names{"New"});
    ASSERT_EQ(
        reg.CreateKey(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager"),
        ERROR_SUCCESS);
    EXPECT_EQ(reg.OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet002\\Control\\Session Manager"),
              ERROR_SUCCESS);
    EXPECT_EQ(reg.OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Control"),
              ERROR_FILE_NOT_FOUND);
    // The set in use cannot go, through either name; the other one can.
    EXPECT_EQ(reg.DeleteTree(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet002"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.DeleteTree(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.DeleteTree(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001"), ERROR_SUCCESS);
    EXPECT_EQ(reg.DeleteTree(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\New"),
              ERROR_SUCCESS);
    EXPECT_EQ(SubKeys(reg, HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet002\\Services"), Names{});
}

TEST_F(MountedHives, ClassesRootMergesTheUsersClassesOverTheMachines) {
    EXPECT_EQ(SubKeys(reg, HKEY_CLASSES_ROOT, "CLSID"), (Names{"{1}", "{2}", "{3}"}));
    RegKeyInfo info;
    ASSERT_EQ(reg.QueryInfoKey(HKEY_CLASSES_ROOT, "CLSID", info), ERROR_SUCCESS);
    EXPECT_EQ(info.subKeys, 3u);
    EXPECT_EQ(Str(reg, HKEY_CLASSES_ROOT, "CLSID\\{1}", ""), "machine one");
    EXPECT_EQ(SubKeys(reg, HKEY_CLASSES_ROOT, "CLSID\\{1}"), Names{"Sub"});
    // Where both have the key, the user's values show, and the sub-keys of both.
    EXPECT_EQ(Str(reg, HKEY_CLASSES_ROOT, "CLSID\\{2}", ""), "user two");
    EXPECT_EQ(SubKeys(reg, HKEY_CLASSES_ROOT, "CLSID\\{2}"), Names{"InprocServer32"});
    EXPECT_EQ(Str(reg, HKEY_CLASSES_ROOT, "CLSID\\{3}", ""), "user three");

    // Changes go to the key that shows; new keys to the machine.
    ASSERT_EQ(reg.SetValue(HKEY_CLASSES_ROOT, "CLSID\\{2}", "", RegValue::String("changed")),
              ERROR_SUCCESS);
    EXPECT_EQ(Str(reg, HKEY_CURRENT_USER, "Software\\Classes\\CLSID\\{2}", ""), "changed");
    EXPECT_EQ(Str(reg, HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\CLSID\\{2}", ""), "machine two");
    ASSERT_EQ(reg.CreateKey(HKEY_CLASSES_ROOT, "CLSID\\{3}\\New"), ERROR_SUCCESS);
    EXPECT_EQ(reg.OpenKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\CLSID\\{3}\\New"), ERROR_SUCCESS);
    EXPECT_EQ(reg.OpenKey(HKEY_CURRENT_USER, "Software\\Classes\\CLSID\\{3}\\New"),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SubKeys(reg, HKEY_CLASSES_ROOT, "CLSID\\{3}"), Names{"New"});

    // Deleting takes the key from both, and refuses while either has sub-keys.
    EXPECT_EQ(reg.DeleteKey(HKEY_CLASSES_ROOT, "CLSID\\{2}"), ERROR_ACCESS_DENIED);
    ASSERT_EQ(reg.DeleteTree(HKEY_CLASSES_ROOT, "CLSID\\{2}"), ERROR_SUCCESS);
    EXPECT_EQ(reg.OpenKey(HKEY_CLASSES_ROOT, "CLSID\\{2}"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg.OpenKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\CLSID\\{2}"),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg.OpenKey(HKEY_USERS, "S-1-5-21-7_Classes\\CLSID\\{2}"), ERROR_FILE_NOT_FOUND);

    // A protected key on either side keeps both.
    ASSERT_EQ(reg.SetKeySecurity(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\CLSID\\{3}\\New",
                                 KeySecurity{true}),
              ERROR_SUCCESS);
    EXPECT_EQ(reg.DeleteTree(HKEY_CLASSES_ROOT, "CLSID\\{3}"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Str(reg, HKEY_CLASSES_ROOT, "CLSID\\{3}", ""), "user three");
}

TEST_F(MountedHives, OneFileAtTwoPlacesIsOneKey) {
    ASSERT_EQ(reg.SetValue(HKEY_USERS, "S-1-5-21-7\\Software\\Vendor", "n", RegValue::Dword(3)),
              ERROR_SUCCESS);
    RegValue v;
    ASSERT_EQ(reg.QueryValue(HKEY_CURRENT_USER, "Software\\Vendor", "N", v), ERROR_SUCCESS);
    EXPECT_EQ(v, RegValue::Dword(3));
    ASSERT_EQ(reg.SetKeySecurity(HKEY_CURRENT_USER, "Software\\Vendor", KeySecurity{true}),
              ERROR_SUCCESS);
    EXPECT_EQ(reg.DeleteTree(HKEY_USERS, "S-1-5-21-7\\Software\\Vendor"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.Files(), (Names{software, system, ntuser, usrclass}));
}

TEST_F(MountedHives, CommitWritesOnlyChangedHivesAndTheyReadBack) {
    ASSERT_EQ(reg.SetValue(HKEY_CURRENT_USER, "Software\\Vendor", "s", RegValue::String("가")),
              ERROR_SUCCESS);
    ASSERT_EQ(reg.DeleteValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", "v"), ERROR_SUCCESS);
    EXPECT_TRUE(reg.HasChanges());
    std::string error;
    ASSERT_TRUE(reg.Commit(true, error)) << error;
    EXPECT_FALSE(reg.HasChanges());
    EXPECT_EQ(reg.Backups(), (Names{software + ".veldan-backup", ntuser + ".veldan-backup"}));
    EXPECT_FALSE(std::filesystem::exists(system + ".veldan-backup"));

    // The string is UTF-16 in the file, as Windows reads it.
    hive_h* h = hivex_open(ntuser.c_str(), 0);
    ASSERT_NE(h, nullptr);
    hive_node_h node = hivex_node_get_child(h, hivex_root(h), "Software");
    node = hivex_node_get_child(h, node, "Vendor");
    hive_value_h value = hivex_node_get_value(h, node, "s");
    ASSERT_NE(value, 0u);
    hive_type type{};
    std::size_t len = 0;
    char* data = hivex_value_value(h, value, &type, &len);
    EXPECT_EQ(type, hive_t_REG_SZ);
    EXPECT_EQ(std::string(data, len), std::string("\x00\xAC\0\0", 4));
    free(data);
    hivex_close(h);

    HiveRegistry again;
    ASSERT_TRUE(again.Mount(HKEY_LOCAL_MACHINE, "SOFTWARE", software, "", false, error));
    ASSERT_TRUE(again.Mount(HKEY_CURRENT_USER, "", ntuser, "", false, error));
    EXPECT_EQ(Str(again, HKEY_CURRENT_USER, "Software\\Vendor", "s"), "가");
    EXPECT_EQ(Str(again, HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", "v"), "<missing>");
}

TEST(HiveMount, RefusesTakenPlacesAndFilesThatAreNoHives) {
    TempDir dir;
    const std::string hive = Hive(dir, "h", "[HKEY_CURRENT_USER\\A]\r\n", HKEY_CURRENT_USER, "");
    dir.Write("not-a-hive", std::string(0x2000, '\0'));
    HiveRegistry reg;
    std::string error;
    ASSERT_TRUE(reg.Mount(HKEY_CURRENT_USER, "", hive, "", false, error));
    EXPECT_FALSE(reg.Mount(HKEY_CURRENT_USER, "\\", hive, "", false, error));
    EXPECT_NE(error.find("mounted there already"), std::string::npos) << error;
    EXPECT_FALSE(reg.Mount(HKEY_CLASSES_ROOT, "X", hive, "", false, error));
    EXPECT_FALSE(
        reg.Mount(HKEY_USERS, "X", (dir.path() / "not-a-hive").string(), "", false, error));
    EXPECT_FALSE(reg.Mount(HKEY_USERS, "Y", (dir.path() / "missing").string(), "", false, error));
    EXPECT_NE(error.find("missing"), std::string::npos);
    EXPECT_EQ(SubKeys(reg, HKEY_USERS, ""), Names{});
}

// A hive whose first key's tree points at something that is not a cell (found
// by fuzzing): hivex would end the process deleting it. The deletion is refused
// and the hive stays as it was.
TEST(HiveRegistryDamage, DeletingADamagedTreeFailsInsteadOfEndingTheProgram) {
    std::string input;
    ASSERT_TRUE(host::ReadWholeFile(
        test::SourceFolder() + "/fuzz/corpus/hive/delete-tree-invalid-block", input));
    test::TempDir dir;
    const std::string file = dir.Write("SOFTWARE", input.substr(1)).string();
    HiveRegistry reg;
    std::string error;
    ASSERT_TRUE(reg.Mount(HKEY_LOCAL_MACHINE, "SOFTWARE", file, "", true, error)) << error;
    std::string first;
    ASSERT_EQ(reg.EnumKey(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, first), ERROR_SUCCESS);
    EXPECT_NE(reg.DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\" + first), ERROR_SUCCESS);
    EXPECT_EQ(reg.OpenKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\" + first), ERROR_SUCCESS);
    // The rest of the hive can still be changed and written.
    ASSERT_EQ(reg.CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\After"), ERROR_SUCCESS);
    EXPECT_TRUE(reg.Commit(false, error)) << error;
}

}  // namespace
}  // namespace veldan::machine::hive
