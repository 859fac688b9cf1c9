// The contract every Registry backend keeps. The suite talks to the registry
// only through machine::Registry; each backend instantiates it with its factory.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "machine/registry.h"
#include "support/registry_backends.h"
#include "support/registry_factory.h"

namespace veldan::machine {
namespace {

using test::NamedRegistryFactory;
using Names = std::vector<std::string>;

class RegistryContract : public ::testing::TestWithParam<NamedRegistryFactory> {
  protected:
    std::unique_ptr<Registry> Make(std::string_view body, bool nt = true) {
        return GetParam().make("Windows Registry Editor Version 5.00\r\n\r\n" + std::string(body),
                               nt);
    }
    static Names SubKeys(const Registry& r, HKEY root, std::string_view path) {
        Names names;
        std::string name;
        while (r.EnumKey(root, path, names.size(), name) == ERROR_SUCCESS) names.push_back(name);
        return names;
    }
    static Names ValueNames(const Registry& r, HKEY root, std::string_view path) {
        Names names;
        std::string name;
        while (r.EnumValue(root, path, names.size(), name, nullptr) == ERROR_SUCCESS) {
            names.push_back(name);
        }
        return names;
    }
    static RegValue Query(const Registry& r, HKEY root, std::string_view path,
                          std::string_view name) {
        RegValue v;
        EXPECT_EQ(r.QueryValue(root, path, name, v), ERROR_SUCCESS) << path << " / " << name;
        return v;
    }
};

TEST_P(RegistryContract, OpenAndCreateIgnoreCaseAndStrayBackslashes) {
    auto r = Make("[HKEY_CURRENT_USER\\Software\\Vendor\\App]\r\n\"v\"=dword:00000007\r\n");
    for (std::string_view path :
         {"Software\\Vendor\\App", "SOFTWARE\\vendor\\aPP", "\\Software\\\\Vendor\\App\\", ""}) {
        EXPECT_EQ(r->OpenKey(HKEY_CURRENT_USER, path), ERROR_SUCCESS) << path;
    }
    EXPECT_EQ(r->OpenKey(HKEY_CURRENT_USER, "Software\\Vendor\\Ap"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(r->OpenKey(HKEY_LOCAL_MACHINE, "Software\\Vendor"), ERROR_FILE_NOT_FOUND);

    ASSERT_EQ(r->CreateKey(HKEY_CURRENT_USER, "Software\\New\\Deep\\Deeper"), ERROR_SUCCESS);
    EXPECT_EQ(r->OpenKey(HKEY_CURRENT_USER, "Software\\New\\Deep"), ERROR_SUCCESS);
    // Creating an existing key keeps its first name, its values and its sub-keys.
    ASSERT_EQ(r->CreateKey(HKEY_CURRENT_USER, "SOFTWARE\\VENDOR"), ERROR_SUCCESS);
    ASSERT_EQ(r->CreateKey(HKEY_CURRENT_USER, "software\\new"), ERROR_SUCCESS);
    EXPECT_EQ(SubKeys(*r, HKEY_CURRENT_USER, "Software"), (Names{"New", "Vendor"}));
    EXPECT_EQ(SubKeys(*r, HKEY_CURRENT_USER, "Software\\New"), (Names{"Deep"}));
    EXPECT_EQ(Query(*r, HKEY_CURRENT_USER, "Software\\Vendor\\App", "V"), RegValue::Dword(7));
}

// Look-ups remember parent keys by their path text: a parent missing or found
// under one spelling follows later creations and deletions under another.
TEST_P(RegistryContract, RememberedParentsFollowCreationAndDeletion) {
    auto r = Make("[HKEY_CURRENT_USER\\Software\\Other]\r\n");
    EXPECT_EQ(r->OpenKey(HKEY_CURRENT_USER, "Software\\Vendor\\App"), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(r->CreateKey(HKEY_CURRENT_USER, "SOFTWARE\\VENDOR"), ERROR_SUCCESS);
    EXPECT_EQ(r->OpenKey(HKEY_CURRENT_USER, "Software\\Vendor\\App"), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(r->CreateKey(HKEY_CURRENT_USER, "software\\vendor\\app"), ERROR_SUCCESS);
    for (std::string_view path : {"Software\\Vendor\\App", "\\Software\\\\Vendor\\APP\\",
                                  "Software\\Vendor\\App\\\\", "software\\VENDOR\\app"}) {
        EXPECT_EQ(r->OpenKey(HKEY_CURRENT_USER, path), ERROR_SUCCESS) << path;
        EXPECT_EQ(r->OpenKey(HKEY_USERS, path), ERROR_FILE_NOT_FOUND) << path;
    }
    ASSERT_EQ(r->DeleteTree(HKEY_CURRENT_USER, "Software\\Vendor"), ERROR_SUCCESS);
    EXPECT_EQ(r->OpenKey(HKEY_CURRENT_USER, "Software\\Vendor\\App"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(r->OpenKey(HKEY_CURRENT_USER, "Software\\Other"), ERROR_SUCCESS);
    EXPECT_EQ(r->OpenKey(HKEY_CURRENT_USER, "\\"), ERROR_SUCCESS);
    EXPECT_EQ(r->OpenKey(HKEY_CLASSES_ROOT, "\\"), ERROR_FILE_NOT_FOUND);
}

// Short names are upper-cased in place, long ones the general way: both ignore
// ASCII case only, and a non-ASCII name matches itself alone.
TEST_P(RegistryContract, ShortAndLongKeyNamesIgnoreAsciiCaseOnly) {
    if (!GetParam().caseDiffers.empty()) GTEST_SKIP() << GetParam().caseDiffers;
    const std::string longName = "Long" + std::string(196, 'x');
    std::string longUpper = longName;
    for (char& c : longUpper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    auto r = Make("[HKEY_CURRENT_USER\\Software\\" + longName + "\\Inner]\r\n" +
                  "[HKEY_CURRENT_USER\\Software\\Caf\xC3\xA9]\r\n");
    EXPECT_EQ(r->OpenKey(HKEY_CURRENT_USER, "SOFTWARE\\" + longUpper + "\\inner"), ERROR_SUCCESS);
    EXPECT_EQ(r->OpenKey(HKEY_CURRENT_USER, "Software\\" + longName + "y"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(r->OpenKey(HKEY_CURRENT_USER, "software\\CAF\xC3\xA9"), ERROR_SUCCESS);
    EXPECT_EQ(r->OpenKey(HKEY_CURRENT_USER, "Software\\Caf\xC3\x89"), ERROR_FILE_NOT_FOUND);
}

TEST_P(RegistryContract, SubKeysEnumerateInOrdinalOrderOfUpperCasedNames) {
    if (!GetParam().orderDiffers.empty()) GTEST_SKIP() << GetParam().orderDiffers;
    // Upper-cased "A" (41) < "B" (42) < "_X" (5F) < Hangul: neither lower-cased
    // nor case-sensitive ordering gives this.
    auto r = Make(
        "[HKEY_LOCAL_MACHINE\\K\\_x]\r\n[HKEY_LOCAL_MACHINE\\K\\B]\r\n"
        "[HKEY_LOCAL_MACHINE\\K\\한글]\r\n[HKEY_LOCAL_MACHINE\\K\\a1]\r\n"
        "[HKEY_LOCAL_MACHINE\\K\\a]\r\n");
    EXPECT_EQ(SubKeys(*r, HKEY_LOCAL_MACHINE, "K"), (Names{"a", "a1", "B", "_x", "한글"}));
    RegKeyInfo info;
    ASSERT_EQ(r->QueryInfoKey(HKEY_LOCAL_MACHINE, "K", info), ERROR_SUCCESS);
    EXPECT_EQ(info.subKeys, 5u);
    EXPECT_EQ(info.values, 0u);
    std::string name;
    EXPECT_EQ(r->EnumKey(HKEY_LOCAL_MACHINE, "K", 5, name), ERROR_NO_MORE_ITEMS);

    // Keys added or removed between calls show at once, forwards and backwards.
    ASSERT_EQ(r->EnumKey(HKEY_LOCAL_MACHINE, "K", 1, name), ERROR_SUCCESS);
    ASSERT_EQ(r->CreateKey(HKEY_LOCAL_MACHINE, "K\\_"), ERROR_SUCCESS);  // before "_x"
    ASSERT_EQ(r->DeleteKey(HKEY_LOCAL_MACHINE, "K\\a"), ERROR_SUCCESS);
    ASSERT_EQ(r->EnumKey(HKEY_LOCAL_MACHINE, "K", 2, name), ERROR_SUCCESS);
    EXPECT_EQ(name, "_");
    ASSERT_EQ(r->EnumKey(HKEY_LOCAL_MACHINE, "", 0, name), ERROR_SUCCESS);
    ASSERT_EQ(r->EnumKey(HKEY_LOCAL_MACHINE, "K", 0, name), ERROR_SUCCESS);
    EXPECT_EQ(name, "a1");
}

TEST_P(RegistryContract, ValuesKeepCreationOrderTypesAndBytes) {
    if (!GetParam().orderDiffers.empty()) GTEST_SKIP() << GetParam().orderDiffers;
    auto r = Make(
        "[HKEY_CURRENT_USER\\K]\r\n\"zeta\"=\"1\"\r\n\"Alpha\"=\"2\"\r\n@=\"default\"\r\n"
        "\"@\"=\"at\"\r\n\"mid\"=hex(7):61,00,00,00,00,00\r\n");
    EXPECT_EQ(ValueNames(*r, HKEY_CURRENT_USER, "K"), (Names{"zeta", "Alpha", "", "@", "mid"}));
    EXPECT_EQ(Query(*r, HKEY_CURRENT_USER, "K", ""), RegValue::String("default"));
    EXPECT_EQ(Query(*r, HKEY_CURRENT_USER, "K", "@"), RegValue::String("at"));
    EXPECT_EQ(Query(*r, HKEY_CURRENT_USER, "K", "MID"), RegValue::MultiString({"a"}));

    // Replacing keeps the position, the first name and takes the new type; new names go last.
    const RegValue odd{0x1234, std::string("\0a\0", 3)};
    ASSERT_EQ(r->SetValue(HKEY_CURRENT_USER, "K", "ALPHA", odd), ERROR_SUCCESS);
    ASSERT_EQ(r->DeleteValue(HKEY_CURRENT_USER, "K", "Zeta"), ERROR_SUCCESS);
    ASSERT_EQ(r->DeleteValue(HKEY_CURRENT_USER, "K", ""), ERROR_SUCCESS);
    ASSERT_EQ(r->SetValue(HKEY_CURRENT_USER, "K", "zeta", RegValue{REG_SZ, ""}), ERROR_SUCCESS);
    EXPECT_EQ(ValueNames(*r, HKEY_CURRENT_USER, "K"), (Names{"Alpha", "@", "mid", "zeta"}));
    std::string name;
    RegValue v;
    ASSERT_EQ(r->EnumValue(HKEY_CURRENT_USER, "K", 0, name, &v), ERROR_SUCCESS);
    EXPECT_EQ(v, odd);
    ASSERT_EQ(r->EnumValue(HKEY_CURRENT_USER, "K", 3, name, &v), ERROR_SUCCESS);
    EXPECT_EQ(v, (RegValue{REG_SZ, ""}));
    EXPECT_EQ(r->EnumValue(HKEY_CURRENT_USER, "K", 4, name, &v), ERROR_NO_MORE_ITEMS);
    RegKeyInfo info;
    ASSERT_EQ(r->QueryInfoKey(HKEY_CURRENT_USER, "K", info), ERROR_SUCCESS);
    EXPECT_EQ(info.values, 4u);
}

TEST_P(RegistryContract, ClassesRootIsHklmSoftwareClassesBothWays) {
    auto r = Make("[HKEY_LOCAL_MACHINE\\Software\\Vendor]\r\n");
    // Software\Classes does not exist yet: creating through HKCR makes it.
    EXPECT_EQ(r->OpenKey(HKEY_CLASSES_ROOT, ""), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(r->CreateKey(HKEY_CLASSES_ROOT, "CLSID\\{2}"), ERROR_SUCCESS);
    EXPECT_EQ(SubKeys(*r, HKEY_LOCAL_MACHINE, "Software"), (Names{"Classes", "Vendor"}));
    EXPECT_EQ(SubKeys(*r, HKEY_CLASSES_ROOT, ""), (Names{"CLSID"}));

    ASSERT_EQ(r->SetValue(HKEY_CLASSES_ROOT, "clsid\\{2}", "a", RegValue::String("x")),
              ERROR_SUCCESS);
    EXPECT_EQ(Query(*r, HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID\\{2}", "a"),
              RegValue::String("x"));
    ASSERT_EQ(r->SetValue(HKEY_LOCAL_MACHINE, "Software\\Classes", "", RegValue::Dword(1)),
              ERROR_SUCCESS);
    EXPECT_EQ(Query(*r, HKEY_CLASSES_ROOT, "", ""), RegValue::Dword(1));

    ASSERT_EQ(r->DeleteTree(HKEY_CLASSES_ROOT, "CLSID"), ERROR_SUCCESS);
    EXPECT_EQ(r->OpenKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID"), ERROR_FILE_NOT_FOUND);
    // The top of the view is a root.
    EXPECT_EQ(r->DeleteKey(HKEY_CLASSES_ROOT, ""), ERROR_ACCESS_DENIED);
    EXPECT_EQ(r->DeleteTree(HKEY_CLASSES_ROOT, ""), ERROR_ACCESS_DENIED);
    EXPECT_EQ(r->OpenKey(HKEY_LOCAL_MACHINE, "Software\\Classes"), ERROR_SUCCESS);
}

TEST_P(RegistryContract, MissingKeysAndValuesAreFileNotFound) {
    auto r = Make("[HKEY_CURRENT_USER\\K]\r\n\"v\"=\"1\"\r\n");
    RegValue v;
    std::string name;
    RegKeyInfo info;
    EXPECT_EQ(r->QueryValue(HKEY_CURRENT_USER, "K", "w", v), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(r->QueryValue(HKEY_CURRENT_USER, "K\\X", "v", v), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(r->DeleteValue(HKEY_CURRENT_USER, "K", "w"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(r->DeleteValue(HKEY_CURRENT_USER, "X", "v"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(r->EnumKey(HKEY_CURRENT_USER, "X", 0, name), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(r->EnumValue(HKEY_CURRENT_USER, "X", 0, name, nullptr), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(r->QueryInfoKey(HKEY_CURRENT_USER, "X", info), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(r->DeleteKey(HKEY_CURRENT_USER, "X"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(r->DeleteTree(HKEY_CURRENT_USER, "K\\X\\Y"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(r->SetValue(HKEY_CURRENT_USER, "K\\X", "v", v), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(r->OpenKey(HKEY_CURRENT_USER, "K\\X"), ERROR_FILE_NOT_FOUND);
}

TEST_P(RegistryContract, DeleteKeyTakesLeavesDeleteTreeTakesTreesNeitherTakesRoots) {
    auto r = Make(
        "[HKEY_LOCAL_MACHINE\\Software\\Bad\\Sub\\Leaf]\r\n\"v\"=\"1\"\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Good]\r\n");
    EXPECT_EQ(r->DeleteKey(HKEY_LOCAL_MACHINE, "Software\\Bad"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(r->DeleteKey(HKEY_LOCAL_MACHINE, "software\\bad\\sub\\leaf"), ERROR_SUCCESS);
    EXPECT_EQ(r->OpenKey(HKEY_LOCAL_MACHINE, "Software\\Bad\\Sub"), ERROR_SUCCESS);
    ASSERT_EQ(r->CreateKey(HKEY_LOCAL_MACHINE, "Software\\Bad\\Sub\\Leaf"), ERROR_SUCCESS);
    EXPECT_EQ(ValueNames(*r, HKEY_LOCAL_MACHINE, "Software\\Bad\\Sub\\Leaf"), Names{});

    EXPECT_EQ(r->DeleteTree(HKEY_LOCAL_MACHINE, "Software\\BAD"), ERROR_SUCCESS);
    EXPECT_EQ(SubKeys(*r, HKEY_LOCAL_MACHINE, "Software"), (Names{"Good"}));
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS}) {
        EXPECT_EQ(r->DeleteKey(root, ""), ERROR_ACCESS_DENIED) << root;
        EXPECT_EQ(r->DeleteTree(root, "\\"), ERROR_ACCESS_DENIED) << root;
    }
    EXPECT_EQ(r->OpenKey(HKEY_LOCAL_MACHINE, "Software\\Good"), ERROR_SUCCESS);
}

TEST_P(RegistryContract, ProtectedKeyKeepsItsWholeTreeUntilRightsAreTakenOver) {
    auto r = Make(
        "[HKEY_LOCAL_MACHINE\\Software\\Spy]\r\n\"v\"=\"1\"\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Spy\\A\\Locked]\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Spy\\B]\r\n");
    const std::string locked = "Software\\Spy\\A\\Locked";
    ASSERT_EQ(r->SetKeySecurity(HKEY_LOCAL_MACHINE, locked, {true}), ERROR_SUCCESS);
    ASSERT_EQ(r->CreateKey(HKEY_LOCAL_MACHINE, locked + "\\New"), ERROR_SUCCESS);
    KeySecurity sec;
    ASSERT_EQ(r->GetKeySecurity(HKEY_LOCAL_MACHINE, locked, sec), ERROR_SUCCESS);
    EXPECT_TRUE(sec.denyDelete);
    // Rights are per key: neither parents nor new sub-keys take them.
    for (std::string path : {std::string("Software\\Spy"), locked + "\\New"}) {
        ASSERT_EQ(r->GetKeySecurity(HKEY_LOCAL_MACHINE, path, sec), ERROR_SUCCESS);
        EXPECT_FALSE(sec.denyDelete) << path;
    }
    EXPECT_EQ(r->DeleteKey(HKEY_LOCAL_MACHINE, locked + "\\New"), ERROR_SUCCESS);

    // One locked key keeps the whole tree, siblings and values included.
    EXPECT_EQ(r->DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Spy"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(r->DeleteKey(HKEY_LOCAL_MACHINE, locked), ERROR_ACCESS_DENIED);
    EXPECT_EQ(r->OpenKey(HKEY_LOCAL_MACHINE, "Software\\Spy\\B"), ERROR_SUCCESS);
    EXPECT_EQ(Query(*r, HKEY_LOCAL_MACHINE, "Software\\Spy", "v"), RegValue::String("1"));

    ASSERT_EQ(r->SetKeySecurity(HKEY_LOCAL_MACHINE, locked, KeySecurity::FullControl()),
              ERROR_SUCCESS);
    EXPECT_EQ(r->DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Spy"), ERROR_SUCCESS);
    EXPECT_EQ(r->OpenKey(HKEY_LOCAL_MACHINE, "Software\\Spy"), ERROR_FILE_NOT_FOUND);
}

TEST_P(RegistryContract, NineXHasNoKeySecurity) {
    auto r = Make("[HKEY_LOCAL_MACHINE\\Software\\X\\Y]\r\n", /*nt=*/false);
    KeySecurity sec{true};
    EXPECT_EQ(r->GetKeySecurity(HKEY_LOCAL_MACHINE, "Software\\X", sec),
              ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_TRUE(sec.denyDelete);
    EXPECT_EQ(r->SetKeySecurity(HKEY_LOCAL_MACHINE, "Software\\X", KeySecurity::FullControl()),
              ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(r->DeleteTree(HKEY_LOCAL_MACHINE, "Software\\X"), ERROR_SUCCESS);
}

TEST_P(RegistryContract, OutParametersAreUntouchedOnFailure) {
    auto r = Make("[HKEY_CURRENT_USER\\K\\Sub]\r\n\"v\"=\"1\"\r\n");
    RegKeyInfo info{11, 22};
    EXPECT_NE(r->QueryInfoKey(HKEY_CURRENT_USER, "Missing", info), ERROR_SUCCESS);
    EXPECT_NE(r->QueryInfoKey(HKEY_CURRENT_CONFIG, "K", info), ERROR_SUCCESS);
    EXPECT_EQ(info.subKeys, 11u);
    EXPECT_EQ(info.values, 22u);

    const RegValue sentinel{0x77, "sentinel"};
    std::string name = "keep";
    RegValue value = sentinel;
    EXPECT_NE(r->EnumKey(HKEY_CURRENT_USER, "K", 1, name), ERROR_SUCCESS);
    EXPECT_NE(r->EnumKey(HKEY_CURRENT_USER, "Missing", 0, name), ERROR_SUCCESS);
    EXPECT_NE(r->EnumValue(HKEY_CURRENT_USER, "K\\Sub", 1, name, &value), ERROR_SUCCESS);
    EXPECT_NE(r->EnumValue(HKEY_CURRENT_USER, "K\\Missing", 0, name, &value), ERROR_SUCCESS);
    EXPECT_NE(r->QueryValue(HKEY_CURRENT_USER, "K\\Sub", "w", value), ERROR_SUCCESS);
    EXPECT_NE(r->QueryValue(HKEY_CURRENT_USER, "K", "v", value), ERROR_SUCCESS);
    EXPECT_EQ(name, "keep");
    EXPECT_EQ(value, sentinel);
    KeySecurity sec{true};
    EXPECT_NE(r->GetKeySecurity(HKEY_CURRENT_USER, "Missing", sec), ERROR_SUCCESS);
    EXPECT_TRUE(sec.denyDelete);
}

TEST_P(RegistryContract, UnknownRootsAreInvalidHandles) {
    auto r = Make("[HKEY_LOCAL_MACHINE\\K]\r\n\"v\"=\"1\"\r\n");
    for (HKEY root : {HKEY_CURRENT_CONFIG, HKEY_PERFORMANCE_DATA, HKEY{0}, HKEY{2}}) {
        SCOPED_TRACE(root);
        RegKeyInfo info;
        std::string name;
        RegValue value;
        KeySecurity sec;
        EXPECT_EQ(r->OpenKey(root, ""), ERROR_INVALID_HANDLE);
        EXPECT_EQ(r->CreateKey(root, "K"), ERROR_INVALID_HANDLE);
        EXPECT_EQ(r->QueryInfoKey(root, "K", info), ERROR_INVALID_HANDLE);
        EXPECT_EQ(r->EnumKey(root, "", 0, name), ERROR_INVALID_HANDLE);
        EXPECT_EQ(r->EnumValue(root, "K", 0, name, &value), ERROR_INVALID_HANDLE);
        EXPECT_EQ(r->QueryValue(root, "K", "v", value), ERROR_INVALID_HANDLE);
        EXPECT_EQ(r->SetValue(root, "K", "v", value), ERROR_INVALID_HANDLE);
        EXPECT_EQ(r->DeleteValue(root, "K", "v"), ERROR_INVALID_HANDLE);
        EXPECT_EQ(r->DeleteKey(root, "K"), ERROR_INVALID_HANDLE);
        EXPECT_EQ(r->DeleteTree(root, "K"), ERROR_INVALID_HANDLE);
        EXPECT_EQ(r->GetKeySecurity(root, "K", sec), ERROR_INVALID_HANDLE);
        EXPECT_EQ(r->SetKeySecurity(root, "K", sec), ERROR_INVALID_HANDLE);
    }
    EXPECT_EQ(Query(*r, HKEY_LOCAL_MACHINE, "K", "v"), RegValue::String("1"));
}

INSTANTIATE_TEST_SUITE_P(Backends, RegistryContract,
                         ::testing::ValuesIn(test::RegistryContractBackends()),
                         [](const auto& info) { return info.param.name; });

// ---- RegValue, the value vocabulary of every backend ----

TEST(RegValue, BuildersLayOutBytesAsWindowsStoresThem) {
    EXPECT_EQ(RegValue::String("ab", REG_EXPAND_SZ), (RegValue{REG_EXPAND_SZ, {"ab\0", 3}}));
    EXPECT_EQ(RegValue::Dword(0x12345678), (RegValue{REG_DWORD, "\x78\x56\x34\x12"}));
    EXPECT_EQ(RegValue::MultiString({"a", "bc"}), (RegValue{REG_MULTI_SZ, {"a\0bc\0\0", 6}}));
    EXPECT_EQ(RegValue::MultiString({}), (RegValue{REG_MULTI_SZ, {"\0", 1}}));
}

TEST(RegValue, ReadersStopWhereWindowsDoes) {
    EXPECT_EQ((RegValue{REG_SZ, {"ab\0cd", 5}}).AsString(), "ab");
    EXPECT_EQ((RegValue{REG_SZ, "no terminator"}).AsString(), "no terminator");
    EXPECT_EQ((RegValue{REG_MULTI_SZ, {"a\0b\0\0c\0\0", 8}}).AsMultiString(), (Names{"a", "b"}));
    EXPECT_EQ((RegValue{REG_MULTI_SZ, {"a\0last", 6}}).AsMultiString(), (Names{"a", "last"}));
    EXPECT_EQ((RegValue{REG_MULTI_SZ, ""}).AsMultiString(), Names{});
    EXPECT_EQ((RegValue{REG_DWORD, "\xff\xff\xff\xfe"}).AsDword(), 0xfeffffffu);
    EXPECT_EQ((RegValue{REG_DWORD, "\x01\x02\x03"}).AsDword(), 0u);
    EXPECT_EQ((RegValue{REG_BINARY, {"\x01\x00\x00\x00\x09", 5}}).AsDword(), 1u);
}

}  // namespace
}  // namespace veldan::machine
