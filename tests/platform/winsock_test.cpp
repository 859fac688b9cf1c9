// The Winsock catalog repair on machine images: what a scan records, what a
// cure deletes and how it renumbers both catalogs, and that a rewrite stopped
// at any write never loses an entry.

#include "platform/winsock.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "support/on_windows.h"
#include "support/platform_rig.h"
#include "text/strings.h"

namespace veldan::platform {
namespace {

using namespace machine;

// One entry as the catalog holds it: value name (upper-cased) -> value.
using Entry = std::map<std::string, RegValue>;
// The entries of a catalog by key name.
using Catalog = std::map<std::string, Entry>;

std::string Num(int i) {
    return text::Format("%012d", i);
}

// A PackedCatalogItem: the ANSI path, its NUL, then bytes that tell entries apart.
std::string Blob(std::string_view path, int tag) {
    std::string blob(path);
    blob.push_back('\0');
    blob += text::Format("provider-%d", tag);
    blob.push_back('\0');
    blob.append(40, static_cast<char>(0x80 + tag));
    return blob;
}

RegValue Binary(std::string data) {
    RegValue v;
    v.type = REG_BINARY;
    v.data = std::move(data);
    return v;
}

// Mutating registry calls: where a rewrite can be cut off.
bool IsWrite(const test::RegCall& call) {
    return call.op == "CreateKey" || call.op == "SetValue" || call.op == "DeleteValue" ||
           call.op == "DeleteKey" || call.op == "DeleteTree" || call.op == "SetKeySecurity";
}

class Winsock : public ::testing::Test {
  protected:
    Context& Load() {
        Context& ctx = R().Load();
        Must(R().raw().CreateKey(HKEY_LOCAL_MACHINE, kProtocolEntriesKey));
        Must(R().raw().CreateKey(HKEY_LOCAL_MACHINE, kNameSpaceEntriesKey));
        return ctx;
    }
    static void Must(WinError e) { ASSERT_EQ(e, ERROR_SUCCESS); }

    void Put(std::string_view entriesKey, std::string_view name, std::string_view value,
             const RegValue& v) {
        const std::string key = std::string(entriesKey) + "\\" + std::string(name);
        Must(R().raw().CreateKey(HKEY_LOCAL_MACHINE, key));
        Must(R().raw().SetValue(HKEY_LOCAL_MACHINE, key, value, v));
    }
    void PutProtocol(std::string_view name, std::string blob) {
        Put(kProtocolEntriesKey, name, "PackedCatalogItem", Binary(std::move(blob)));
    }
    // A name-space entry with its seven values; `tag` tells entries apart.
    void PutNameSpace(std::string_view name, std::string_view libraryPath, int tag,
                      std::uint32_t pathType = REG_SZ) {
        Put(kNameSpaceEntriesKey, name, "DisplayString",
            RegValue::String(text::Format("Provider %d", tag)));
        Put(kNameSpaceEntriesKey, name, "Enabled", RegValue::Dword(1));
        Put(kNameSpaceEntriesKey, name, "LibraryPath", RegValue::String(libraryPath, pathType));
        Put(kNameSpaceEntriesKey, name, "ProviderId", Binary(std::string(16, char('A' + tag))));
        Put(kNameSpaceEntriesKey, name, "StoresServiceClassInfo", RegValue::Dword(0));
        Put(kNameSpaceEntriesKey, name, "SupportedNameSpace", RegValue::Dword(12));
        Put(kNameSpaceEntriesKey, name, "Version", RegValue::Dword(100 + tag));
    }
    void PutCount(std::string_view catalogKey, std::uint32_t n) {
        Must(R().raw().SetValue(HKEY_LOCAL_MACHINE, catalogKey, "Num_Catalog_Entries",
                                RegValue::Dword(n)));
    }
    std::uint32_t Count(std::string_view catalogKey) {
        RegValue v;
        EXPECT_EQ(R().raw().QueryValue(HKEY_LOCAL_MACHINE, catalogKey, "Num_Catalog_Entries", v),
                  ERROR_SUCCESS);
        EXPECT_EQ(v.type, REG_DWORD);
        return v.AsDword();
    }

    // The catalog as the image holds it now.
    Catalog Read(std::string_view entriesKey) {
        Catalog out;
        std::string name;
        for (std::uint32_t i = 0;
             R().raw().EnumKey(HKEY_LOCAL_MACHINE, entriesKey, i, name) == ERROR_SUCCESS; ++i) {
            const std::string key = std::string(entriesKey) + "\\" + name;
            Entry& entry = out[name];
            std::string valueName;
            RegValue v;
            for (std::uint32_t k = 0;
                 R().raw().EnumValue(HKEY_LOCAL_MACHINE, key, k, valueName, &v) == ERROR_SUCCESS;
                 ++k) {
                entry[text::UpperAscii(valueName)] = v;
            }
        }
        return out;
    }
    std::vector<std::string> Names(const Catalog& c) {
        std::vector<std::string> out;
        for (const auto& [name, entry] : c) out.push_back(name);
        return out;
    }
    std::vector<std::string> Found() {
        std::vector<std::string> out;
        for (const CScanItem& item : R().ctx->report().found().items()) out.push_back(item.text);
        return out;
    }
    std::vector<std::string> Failed() {
        std::vector<std::string> out;
        for (const CScanItem& item : R().ctx->report().failed().items()) out.push_back(item.text);
        return out;
    }

    // The rig of the test; Reset starts over with a fresh one.
    test::PlatformRig& R() { return *rig_; }
    void Reset() { rig_ = std::make_unique<test::PlatformRig>(); }

  private:
    std::unique_ptr<test::PlatformRig> rig_ = std::make_unique<test::PlatformRig>();
};

const std::string kProtoText = "HKLM\\" + std::string(kProtocolEntriesKey) + "\\";
const std::string kNameText = "HKLM\\" + std::string(kNameSpaceEntriesKey) + "\\";

// ---- scanning

TEST_F(Winsock, ScanRecordsMatchingEntriesOfBothCatalogsOnce) {
    Context& ctx = Load();
    PutProtocol(Num(1), Blob("%SystemRoot%\\system32\\mswsock.dll", 1));
    PutProtocol(Num(2), Blob("C:\\WINDOWS\\system32\\newdotnet6_38.dll", 2));
    PutProtocol(Num(3), Blob("%SystemRoot%\\system32\\rsvpsp.dll", 3));
    PutProtocol(Num(4), Blob("c:\\windows\\system32\\newdotnet6_38.dll", 4));
    PutNameSpace(Num(1), "%SystemRoot%\\System32\\mswsock.dll", 1, REG_EXPAND_SZ);
    PutNameSpace(Num(2), "C:\\WINDOWS\\system32\\NewDotNet6_38.dll", 2);
    const Catalog protoBefore = Read(kProtocolEntriesKey);
    const Catalog nameBefore = Read(kNameSpaceEntriesKey);

    EXPECT_EQ(FixProtocolCatalog(ctx, "NEWDOTNET", false), 2);
    EXPECT_EQ(FixNameSpaceCatalog(ctx, "NEWDOTNET", false), 1);
    EXPECT_EQ(Found(), (std::vector<std::string>{kProtoText + Num(2), kProtoText + Num(4),
                                                 kNameText + Num(2)}));
    const CScanItem& first = ctx.report().found().At(0);
    EXPECT_EQ(first.type, LSP);
    EXPECT_EQ(first.status, SCAN);
    EXPECT_EQ(first.extra, "newdotnet");

    // An entry an earlier line of the same scan recorded is not counted again.
    EXPECT_EQ(LspFix(ctx, "newdotnet6", false), 0);
    EXPECT_EQ(ctx.report().found().Count(), 3);
    EXPECT_EQ(LspFix(ctx, "rsvpsp", false), 1);
    EXPECT_EQ(ctx.report().found().Count(), 4);
    EXPECT_EQ(LspFix(ctx, "nothing-like-it", false), 0);
    EXPECT_EQ(LspFix(ctx, "provider-1", false), 0);  // the blob after the path's NUL

    // Scanning changes nothing.
    EXPECT_EQ(Read(kProtocolEntriesKey), protoBefore);
    EXPECT_EQ(Read(kNameSpaceEntriesKey), nameBefore);
}

TEST_F(Winsock, EmptyPatternMatchesNothingAndDeletesNothing) {
    Context& ctx = Load();
    PutProtocol(Num(1), Blob("C:\\a.dll", 1));
    PutProtocol(Num(2), Blob("C:\\b.dll", 2));
    PutNameSpace(Num(1), "C:\\c.dll", 1);
    PutCount(kProtocolCatalogKey, 2);
    PutCount(kNameSpaceCatalogKey, 1);

    EXPECT_EQ(LspFix(ctx, "", false), 0);
    EXPECT_EQ(ctx.report().found().Count(), 0);
    EXPECT_EQ(LspFix(ctx, "", true), 0);
    EXPECT_EQ(Names(Read(kProtocolEntriesKey)), (std::vector<std::string>{Num(1), Num(2)}));
    EXPECT_EQ(Names(Read(kNameSpaceEntriesKey)), std::vector<std::string>{Num(1)});
    EXPECT_EQ(Count(kProtocolCatalogKey), 2u);
}

// ---- curing

TEST_F(Winsock, CureDeletesTheMatchAndMovesLaterEntriesDown) {
    Context& ctx = Load();
    for (int i = 1; i <= 12; ++i) {
        PutProtocol(Num(i), Blob(i == 5 ? "C:\\WINDOWS\\system32\\BadLsp.dll"
                                        : "%SystemRoot%\\system32\\mswsock.dll",
                                 i));
    }
    PutCount(kProtocolCatalogKey, 12);
    const Catalog before = Read(kProtocolEntriesKey);

    EXPECT_EQ(FixProtocolCatalog(ctx, "badlsp", true), 1);
    const Catalog after = Read(kProtocolEntriesKey);
    std::vector<std::string> expectedNames;
    for (int i = 1; i <= 11; ++i) expectedNames.push_back(Num(i));
    EXPECT_EQ(Names(after), expectedNames);
    for (int i = 1; i <= 11; ++i) {
        const int from = i < 5 ? i : i + 1;
        EXPECT_EQ(after.at(Num(i)), before.at(Num(from))) << i;
    }
    EXPECT_EQ(Count(kProtocolCatalogKey), 11u);
    EXPECT_EQ(ctx.report().found().Count(), 0);  // curing records nothing
    EXPECT_EQ(Failed(), std::vector<std::string>{});
}

TEST_F(Winsock, CureWithoutMatchKeepsEveryEntryExactly) {
    Context& ctx = Load();
    for (int i = 1; i <= 3; ++i) PutProtocol(Num(i), Blob("C:\\p.dll", i));
    PutNameSpace(Num(1), "%SystemRoot%\\System32\\mswsock.dll", 1, REG_EXPAND_SZ);
    PutNameSpace(Num(2), "%SystemRoot%\\System32\\winrnr.dll", 2);
    PutCount(kProtocolCatalogKey, 3);
    PutCount(kNameSpaceCatalogKey, 2);
    const Catalog protoBefore = Read(kProtocolEntriesKey);
    const Catalog nameBefore = Read(kNameSpaceEntriesKey);

    EXPECT_EQ(LspFix(ctx, "absent.dll", true), 0);
    EXPECT_EQ(Read(kProtocolEntriesKey), protoBefore);
    EXPECT_EQ(Read(kNameSpaceEntriesKey), nameBefore);
    EXPECT_EQ(Count(kProtocolCatalogKey), 3u);
    EXPECT_EQ(Count(kNameSpaceCatalogKey), 2u);
}

// Windows Vista and later keep values beside PackedCatalogItem; a renumbered
// entry keeps every value, its type and its bytes, in its order.
TEST_F(Winsock, RenumberedEntriesKeepValuesOfLaterWindowsVersions) {
    Context& ctx = Load();
    for (int i = 1; i <= 4; ++i) {
        PutProtocol(Num(i), Blob(i == 2 ? "C:\\bad\\lsp.dll" : "%SystemRoot%\\mswsock.dll", i));
        Put(kProtocolEntriesKey, Num(i), "ProtocolName",
            RegValue::String(text::Format("@%%SystemRoot%%\\system32\\wshtcpip.dll,-6010%d", i)));
        Put(kProtocolEntriesKey, Num(i), "ProviderInfo", Binary(std::string(24, char(i))));
        // An odd value: a string type whose bytes are not valid text.
        Put(kProtocolEntriesKey, Num(i), "Odd",
            RegValue::FromUtf16(REG_EXPAND_SZ, std::string("\x00\xd8\x41", 3)));
    }
    PutCount(kProtocolCatalogKey, 4);
    const Catalog before = Read(kProtocolEntriesKey);

    EXPECT_EQ(FixProtocolCatalog(ctx, "\\bad\\", true), 1);
    const Catalog after = Read(kProtocolEntriesKey);
    ASSERT_EQ(Names(after), (std::vector<std::string>{Num(1), Num(2), Num(3)}));
    EXPECT_EQ(after.at(Num(1)), before.at(Num(1)));
    EXPECT_EQ(after.at(Num(2)), before.at(Num(3)));
    EXPECT_EQ(after.at(Num(3)), before.at(Num(4)));
    EXPECT_EQ(after.at(Num(3)).at("ODD").StoredUtf16(), std::string("\x00\xd8\x41", 3));
    // In the order they were written (Wine keeps values sorted by name instead).
    if (test::OnWine()) return;
    std::string first;
    ASSERT_EQ(R().raw().EnumValue(HKEY_LOCAL_MACHINE, std::string(kProtocolEntriesKey) + "\\" + Num(2),
                                  1, first, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(first, "ProtocolName");
}

TEST_F(Winsock, RenumberedNameSpaceEntryHoldsOnlyItsOwnValues) {
    Context& ctx = Load();
    PutNameSpace(Num(1), "C:\\bad\\ns.dll", 1);
    // The second entry lacks ProviderId and Version and holds one of its own; it
    // moves to number 1, where the deleted entry held both.
    Put(kNameSpaceEntriesKey, Num(2), "DisplayString", RegValue::String("Second"));
    Put(kNameSpaceEntriesKey, Num(2), "LibraryPath", RegValue::String("C:\\good.dll"));
    Put(kNameSpaceEntriesKey, Num(2), "Extra", RegValue::Dword(5));
    Put(kNameSpaceEntriesKey, Num(3), "LibraryPath", RegValue::String("C:\\third.dll"));

    EXPECT_EQ(FixNameSpaceCatalog(ctx, "\\BAD\\", true), 1);
    const Catalog after = Read(kNameSpaceEntriesKey);
    ASSERT_EQ(Names(after), (std::vector<std::string>{Num(1), Num(2)}));
    const Entry& first = after.at(Num(1));
    EXPECT_EQ(first.size(), 3u);
    EXPECT_EQ(first.at("DISPLAYSTRING").AsString(), "Second");
    EXPECT_EQ(first.at("LIBRARYPATH").AsString(), "C:\\good.dll");
    EXPECT_EQ(first.at("EXTRA").AsDword(), 5u);
    EXPECT_EQ(after.at(Num(2)).size(), 1u);
    EXPECT_EQ(after.at(Num(2)).at("LIBRARYPATH").AsString(), "C:\\third.dll");
    EXPECT_EQ(Count(kNameSpaceCatalogKey), 2u);
}

TEST_F(Winsock, NamesOutOfNumberOrderAreWrittenWithoutOverwritingAnEntry) {
    Context& ctx = Load();
    // "-" sorts before the digits: the odd name is listed first and takes number
    // 1, which the second entry holds until it has moved to number 2.
    PutProtocol("0000000000-a", Blob("C:\\odd.dll", 1));
    PutProtocol(Num(1), Blob("C:\\one.dll", 2));
    const Catalog before = Read(kProtocolEntriesKey);

    EXPECT_EQ(RenumberProtocolCatalog(ctx), 1);
    Catalog expected = {{Num(1), before.at("0000000000-a")}, {Num(2), before.at(Num(1))}};
    EXPECT_EQ(Read(kProtocolEntriesKey), expected);
    EXPECT_EQ(Count(kProtocolCatalogKey), 2u);
}

TEST_F(Winsock, CatalogThatCannotBeListedWholeIsLeftAlone) {
    Context& ctx = Load();
    for (int i = 1; i <= 3; ++i) PutProtocol(Num(i), Blob("C:\\p.dll", i));
    PutProtocol(Num(5), Blob("C:\\bad.dll", 5));
    PutCount(kProtocolCatalogKey, 4);
    const Catalog before = Read(kProtocolEntriesKey);
    R().faults().hook = [](const test::RegCall& c) {
        return c.op == "EnumKey" && c.index == 1 ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    };

    EXPECT_EQ(RenumberProtocolCatalog(ctx), 0);
    EXPECT_EQ(Read(kProtocolEntriesKey), before);
    EXPECT_EQ(Count(kProtocolCatalogKey), 4u);
    EXPECT_TRUE(
        R().debug.Contains("RegEnumKey... " + kProtoText.substr(0, kProtoText.size() - 1) + "\n"));
}

TEST_F(Winsock, MissingCatalogIsNotCreated) {
    Context& ctx = R().Load();
    EXPECT_EQ(LspFix(ctx, "x.dll", true), 0);
    EXPECT_NE(R().raw().OpenKey(HKEY_LOCAL_MACHINE, kProtocolCatalogKey), ERROR_SUCCESS);
    EXPECT_NE(R().raw().OpenKey(HKEY_LOCAL_MACHINE, kNameSpaceCatalogKey), ERROR_SUCCESS);
    EXPECT_EQ(RenumberNameSpaceCatalog(ctx), 0);
}

// ---- interrupted rewrites

// A catalog whose every entry must survive a rewrite that stops anywhere.
class WinsockInterrupted : public Winsock {
  protected:
    void Build() {
        Load();
        for (int i = 1; i <= 6; ++i) {
            PutProtocol(Num(i), Blob(i == 2 ? "C:\\bad\\lsp.dll" : "C:\\p.dll", i));
        }
        PutProtocol("0000000000-x", Blob("C:\\odd.dll", 9));
        PutNameSpace(Num(1), "C:\\bad\\ns.dll", 1);
        for (int i = 2; i <= 4; ++i) PutNameSpace(Num(i), "C:\\ns.dll", i, REG_EXPAND_SZ);
        PutCount(kProtocolCatalogKey, 7);
        PutCount(kNameSpaceCatalogKey, 4);
    }
    // True when some entry of `now` holds everything `entry` held (strings by text).
    static bool Held(const Catalog& now, const Entry& entry) {
        for (const auto& [name, candidate] : now) {
            bool all = true;
            for (const auto& [value, v] : entry) {
                auto it = candidate.find(value);
                if (it == candidate.end()) {
                    all = false;
                } else if (v.type == REG_SZ || v.type == REG_EXPAND_SZ) {
                    all = all && it->second.AsString() == v.AsString();
                } else {
                    all = all && it->second.data == v.data;
                }
            }
            if (all) return true;
        }
        return false;
    }
    // Every entry of `before` except those whose key text is dropped is held by `now`.
    static void ExpectNoneLost(const Catalog& before, const Catalog& now, std::string_view dropped,
                               const std::string& where) {
        for (const auto& [name, entry] : before) {
            if (name == dropped) continue;
            EXPECT_TRUE(Held(now, entry)) << where << ": entry " << name << " lost";
        }
    }
};

TEST_F(WinsockInterrupted, WriteFailingHalfWayLosesNoEntryAndIsReported) {
    Build();
    const Catalog before = Read(kProtocolEntriesKey);
    int setValues = 0;
    R().faults().hook = [&](const test::RegCall& c) {
        if (c.op != "SetValue" || c.subKey.rfind(kProtocolEntriesKey, 0) != 0) return ERROR_SUCCESS;
        return ++setValues == 3 ? ERROR_WRITE_FAULT : ERROR_SUCCESS;
    };

    EXPECT_EQ(FixProtocolCatalog(*R().ctx, "\\bad\\", true), 1);
    ExpectNoneLost(before, Read(kProtocolEntriesKey), Num(2), "third write fails");
    // Stopped before the count and before removing anything left over.
    EXPECT_EQ(Count(kProtocolCatalogKey), 7u);
    // The odd name waits for number 1 to move; 1 -> 2, 3 -> 3, then 4 -> 4 fails.
    EXPECT_EQ(Failed(), std::vector<std::string>{kProtoText + Num(4)});
    EXPECT_EQ(R().ctx->report().failed().At(0).type, REGKEY);
}

// The machine stops taking writes after the k-th one, for every k up to the
// whole cure: whatever state the catalogs are left in still holds every entry
// that was not to be deleted.
TEST_F(WinsockInterrupted, StoppingAfterAnyWriteLosesNoEntry) {
    // The number of writes a whole cure makes, and its result.
    Build();
    int total = 0;
    R().faults().hook = [&](const test::RegCall& c) {
        total += IsWrite(c) ? 1 : 0;
        return ERROR_SUCCESS;
    };
    EXPECT_EQ(LspFix(*R().ctx, "\\bad\\", true), 1);
    const Catalog protoDone = Read(kProtocolEntriesKey);
    const Catalog nameDone = Read(kNameSpaceEntriesKey);
    ASSERT_EQ(protoDone.size(), 6u);
    ASSERT_EQ(nameDone.size(), 3u);
    ASSERT_GT(total, 20);

    for (int k = 0; k <= total; ++k) {
        Reset();
        Build();
        const Catalog protoBefore = Read(kProtocolEntriesKey);
        const Catalog nameBefore = Read(kNameSpaceEntriesKey);
        int writes = 0;
        R().faults().hook = [&](const test::RegCall& c) {
            if (!IsWrite(c)) return ERROR_SUCCESS;
            return ++writes > k ? ERROR_WRITE_FAULT : ERROR_SUCCESS;
        };
        LspFix(*R().ctx, "\\bad\\", true);
        const std::string where = "stopped after write " + std::to_string(k);
        ExpectNoneLost(protoBefore, Read(kProtocolEntriesKey), Num(2), where);
        ExpectNoneLost(nameBefore, Read(kNameSpaceEntriesKey), Num(1), where);
        if (k == total) {
            EXPECT_EQ(Read(kProtocolEntriesKey), protoDone);
            EXPECT_EQ(Read(kNameSpaceEntriesKey), nameDone);
        }
    }
}

}  // namespace
}  // namespace veldan::platform
