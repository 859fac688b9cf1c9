// HKLM\SYSTEM\CurrentControlSet of a machine image as the link to the control
// set that Select names: one key under two names, listed under both, saved
// once; images without Select keep CurrentControlSet as an ordinary key.

#include <gtest/gtest.h>

#include <filesystem>

#include "machine/image/image_machine.h"
#include "machine/reg_file.h"
#include "support/hive_factory.h"
#include "support/image_builder.h"

namespace veldan::machine::image {
namespace {

using test::ImageBuilder;
using test::TempDir;
using Names = std::vector<std::string>;

constexpr std::string_view kTwoSets =
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\r\n\"Current\"=dword:00000002\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Services\\Old]\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Services\\New]\r\n\"Start\"=dword:00000002\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\WPA]\r\n";

Names SubKeys(const Registry& r, HKEY root, std::string_view path) {
    Names names;
    std::string name;
    while (r.EnumKey(root, path, static_cast<std::uint32_t>(names.size()), name) == ERROR_SUCCESS) {
        names.push_back(name);
    }
    return names;
}

class ControlSetLink : public testing::Test {
  protected:
    Registry& Load(std::string_view regText) {
        image.Reg("10.reg", regText);
        machine = image.Load();
        if (!machine) throw std::runtime_error("image does not load");
        return machine->registry();
    }
    std::string SavedRegText() {
        MachineError error;
        EXPECT_TRUE(machine->Save(error)) << error.ToString();
        return dir.Read("image/registry/machine.reg");
    }
    TempDir dir;
    ImageBuilder image{dir};
    std::unique_ptr<ImageMachine> machine;
};

TEST_F(ControlSetLink, BothNamesReadTheSelectedSet) {
    Registry& reg = Load(kTwoSets);
    EXPECT_EQ(machine->imageRegistry().linkedControlSet(), "ControlSet002");
    RegValue v;
    ASSERT_EQ(
        reg.QueryValue(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\New", "Start", v),
        ERROR_SUCCESS);
    EXPECT_EQ(v.AsDword(), 2u);
    EXPECT_EQ(reg.OpenKey(HKEY_LOCAL_MACHINE, "system\\currentcontrolset\\services\\new"),
              ERROR_SUCCESS);
    EXPECT_EQ(reg.OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Old"),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SubKeys(reg, HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services"),
              Names{"New"});
    // Only HKLM\SYSTEM holds the link.
    EXPECT_EQ(reg.OpenKey(HKEY_CURRENT_USER, "SYSTEM\\CurrentControlSet"), ERROR_FILE_NOT_FOUND);
}

TEST_F(ControlSetLink, WhatOneNameWritesTheOtherReads) {
    Registry& reg = Load(kTwoSets);
    const std::string link = "SYSTEM\\CurrentControlSet\\Services\\New";
    const std::string set = "SYSTEM\\ControlSet002\\Services\\New";
    ASSERT_EQ(reg.SetValue(HKEY_LOCAL_MACHINE, link, "Type", RegValue::Dword(16)), ERROR_SUCCESS);
    RegValue v;
    ASSERT_EQ(reg.QueryValue(HKEY_LOCAL_MACHINE, set, "Type", v), ERROR_SUCCESS);
    EXPECT_EQ(v.AsDword(), 16u);
    ASSERT_EQ(reg.CreateKey(HKEY_LOCAL_MACHINE, set + "\\Enum"), ERROR_SUCCESS);
    EXPECT_EQ(reg.OpenKey(HKEY_LOCAL_MACHINE, link + "\\Enum"), ERROR_SUCCESS);
    ASSERT_EQ(reg.DeleteValue(HKEY_LOCAL_MACHINE, link, "Start"), ERROR_SUCCESS);
    EXPECT_EQ(reg.QueryValue(HKEY_LOCAL_MACHINE, set, "Start", v), ERROR_FILE_NOT_FOUND);
    RegKeyInfo info;
    ASSERT_EQ(reg.QueryInfoKey(HKEY_LOCAL_MACHINE, link, info), ERROR_SUCCESS);
    EXPECT_EQ(info.values, 1u);
    EXPECT_EQ(info.subKeys, 1u);
}

TEST_F(ControlSetLink, SubKeysGoUnderEitherNameButTheLinkAndItsSetStay) {
    Registry& reg = Load(kTwoSets);
    ASSERT_EQ(reg.DeleteTree(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\New"),
              ERROR_SUCCESS);
    EXPECT_EQ(reg.OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet002\\Services\\New"),
              ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(reg.DeleteKey(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet002\\Services"), ERROR_SUCCESS);
    EXPECT_EQ(reg.OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services"),
              ERROR_FILE_NOT_FOUND);

    for (const char* key : {"SYSTEM\\CurrentControlSet", "SYSTEM\\ControlSet002", "SYSTEM"}) {
        SCOPED_TRACE(key);
        EXPECT_EQ(reg.DeleteTree(HKEY_LOCAL_MACHINE, key), ERROR_ACCESS_DENIED);
        EXPECT_EQ(reg.DeleteKey(HKEY_LOCAL_MACHINE, key), ERROR_ACCESS_DENIED);
    }
    EXPECT_EQ(reg.OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet"), ERROR_SUCCESS);
    // Another set is an ordinary key.
    EXPECT_EQ(reg.DeleteTree(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001"), ERROR_SUCCESS);
}

TEST_F(ControlSetLink, SystemListsTheLinkInItsPlaceLikeAnInstallation) {
    Registry& reg = Load(kTwoSets);
    const Names expected{"ControlSet001", "ControlSet002", "CurrentControlSet", "Select", "WPA"};
    EXPECT_EQ(SubKeys(reg, HKEY_LOCAL_MACHINE, "SYSTEM"), expected);
    RegKeyInfo info;
    ASSERT_EQ(reg.QueryInfoKey(HKEY_LOCAL_MACHINE, "SYSTEM", info), ERROR_SUCCESS);
    EXPECT_EQ(info.subKeys, 5u);
    // Asked out of order, each index still names the same key.
    std::string name;
    ASSERT_EQ(reg.EnumKey(HKEY_LOCAL_MACHINE, "SYSTEM", 4, name), ERROR_SUCCESS);
    EXPECT_EQ(name, "WPA");
    ASSERT_EQ(reg.EnumKey(HKEY_LOCAL_MACHINE, "SYSTEM", 2, name), ERROR_SUCCESS);
    EXPECT_EQ(name, "CurrentControlSet");
    ASSERT_EQ(reg.EnumKey(HKEY_LOCAL_MACHINE, "SYSTEM", 3, name), ERROR_SUCCESS);
    EXPECT_EQ(name, "Select");
    EXPECT_EQ(reg.EnumKey(HKEY_LOCAL_MACHINE, "SYSTEM", 5, name), ERROR_NO_MORE_ITEMS);

    // The same machine as an installation lists the same names.
    const std::string installation = test::MakeInstallation(image, dir);
    ASSERT_FALSE(installation.empty());
    auto hives = test::LoadMachine(installation);
    ASSERT_NE(hives, nullptr);
    EXPECT_EQ(SubKeys(hives->registry(), HKEY_LOCAL_MACHINE, "SYSTEM"), expected);
    EXPECT_EQ(SubKeys(hives->registry(), HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services"),
              Names{"New"});
}

TEST_F(ControlSetLink, WithoutASelectedSetCurrentControlSetIsAKeyOfItsOwn) {
    for (std::string_view select :
         {std::string_view(""),
          std::string_view(
              "[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\r\n\"Current\"=dword:00000003\r\n"),
          std::string_view("[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\r\n\"Current\"=\"1\"\r\n")}) {
        SCOPED_TRACE(select);
        TempDir here;
        ImageBuilder b(here);
        b.Reg("10.reg", std::string(select) +
                            "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Services\\A]\r\n"
                            "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\B]\r\n");
        auto m = b.Load();
        ASSERT_NE(m, nullptr);
        Registry& reg = m->registry();
        EXPECT_EQ(m->imageRegistry().linkedControlSet(), "");
        EXPECT_EQ(reg.OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\A"),
                  ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(reg.OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Services\\B"),
                  ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(reg.DeleteTree(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet"), ERROR_SUCCESS);
        EXPECT_EQ(reg.DeleteTree(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001"), ERROR_SUCCESS);
    }
}

TEST_F(ControlSetLink, AnOwnCurrentControlSetKeyMergesIntoTheSet) {
    Registry& reg = Load(
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\A]\r\n\"v\"=\"own\"\r\n"
        "\"w\"=\"own\"\r\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\B]\r\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Services\\A]\r\n\"v\"=\"set\"\r\n"
        "\"u\"=\"set\"\r\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\r\n\"Current\"=dword:00000001\r\n");
    RegValue v;
    const std::string a = "SYSTEM\\ControlSet001\\Services\\A";
    for (auto [name, data] :
         {std::pair{"v", "own"}, std::pair{"w", "own"}, std::pair{"u", "set"}}) {
        ASSERT_EQ(reg.QueryValue(HKEY_LOCAL_MACHINE, a, name, v), ERROR_SUCCESS) << name;
        EXPECT_EQ(v.AsString(), data) << name;
    }
    EXPECT_EQ(reg.OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Services\\B"), ERROR_SUCCESS);
    EXPECT_EQ(SubKeys(reg, HKEY_LOCAL_MACHINE, "SYSTEM"),
              (Names{"ControlSet001", "CurrentControlSet", "Select"}));
}

TEST_F(ControlSetLink, SavingWritesTheSetOnceAndLoadsTheSameMachine) {
    Registry& reg = Load(kTwoSets);
    ASSERT_EQ(reg.CreateKey(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Added"),
              ERROR_SUCCESS);
    const std::string before = WriteRegText(machine->imageRegistry(), RegWriteOptions{});
    const std::string saved = SavedRegText();
    EXPECT_EQ(saved.find("CurrentControlSet"), std::string::npos);
    EXPECT_NE(saved.find("[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Services\\Added]"),
              std::string::npos);

    machine = image.Load();
    ASSERT_NE(machine, nullptr);
    EXPECT_EQ(WriteRegText(machine->imageRegistry(), RegWriteOptions{}), before);
    EXPECT_EQ(machine->registry().OpenKey(HKEY_LOCAL_MACHINE,
                                          "SYSTEM\\CurrentControlSet\\Services\\Added"),
              ERROR_SUCCESS);
}

TEST_F(ControlSetLink, PendingRenamesGoToTheSelectedSet) {
    image.File("C:\\WINDOWS\\bad.dll");
    Registry& reg = Load(kTwoSets);
    ASSERT_EQ(machine->files().DeleteAtRestart("C:\\WINDOWS\\bad.dll"), ERROR_SUCCESS);
    RegValue v;
    ASSERT_EQ(reg.QueryValue(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet002\\Control\\Session Manager",
                             folder::kPendingRenamesValue, v),
              ERROR_SUCCESS);
    EXPECT_EQ(machine->PendingDeletes(), Names{"C:\\WINDOWS\\bad.dll"});
    EXPECT_EQ(reg.OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Control"),
              ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(SavedRegText().find("CurrentControlSet"), std::string::npos);
    machine = image.Load();
    ASSERT_NE(machine, nullptr);
    auto actions = machine->Restart();
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_TRUE(actions[0].done);
    EXPECT_FALSE(std::filesystem::exists(image.Host("C:\\WINDOWS\\bad.dll")));
    EXPECT_TRUE(machine->PendingDeletes().empty());
}

TEST_F(ControlSetLink, ExportAndProtectionReachTheSetThroughTheLink) {
    image.Ini("[protected]\nkey=HKLM\\SYSTEM\\CurrentControlSet\\Services\n");
    Registry& reg = Load(kTwoSets);
    KeySecurity sec;
    ASSERT_EQ(reg.GetKeySecurity(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet002\\Services", sec),
              ERROR_SUCCESS);
    EXPECT_TRUE(sec.denyDelete);

    std::string text;
    ASSERT_TRUE(WriteRegKeyText(machine->imageRegistry(), HKEY_LOCAL_MACHINE,
                                "system\\currentcontrolset\\services", RegWriteOptions{}, text));
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\New]"),
              std::string::npos)
        << text;
    EXPECT_FALSE(WriteRegKeyText(machine->imageRegistry(), HKEY_LOCAL_MACHINE,
                                 "SYSTEM\\CurrentControlSet\\Nowhere", RegWriteOptions{}, text));
}

}  // namespace
}  // namespace veldan::machine::image
