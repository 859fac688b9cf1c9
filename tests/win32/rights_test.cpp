// What the live machine does about rights: the privileges of a cure, and the
// one clear refusal when Windows denies a change of the machine-wide keys.

#include "machine/win32/win32_api.h"
// (the Windows headers first; see win32_api.h)

#include <gtest/gtest.h>

#include "machine/memory_registry.h"
#include "machine/win32/denied_writes.h"
#include "machine/win32/live_machine.h"
#include "support/scratch_key_win32.h"
#include "text/strings.h"

namespace veldan::machine::win32 {
namespace {

// A registry whose keys below "Software\Locked" refuse every change, as
// HKEY_LOCAL_MACHINE does for a user who is not an administrator.
class LockedKeys final : public ForwardingRegistry {
  public:
    LockedKeys() : ForwardingRegistry(memory_) {}

  protected:
    WinError Intercept(const RegistryCall& call) const override {
        const bool change = call.op != "OpenKey" && call.op != "QueryInfoKey" &&
                            call.op != "EnumKey" && call.op != "EnumValue" &&
                            call.op != "QueryValue" && call.op != "GetKeySecurity";
        if (change && text::StartsWithNoCase(call.subKey, "Software\\Locked")) {
            return ERROR_ACCESS_DENIED;
        }
        if (change && call.subKey == "Software\\Broken") return ERROR_INVALID_PARAMETER;
        return ERROR_SUCCESS;
    }

  private:
    MemoryRegistry memory_;
};

class DeniedWritesTest : public ::testing::Test {
  protected:
    LockedKeys locked_;
    DeniedWrites registry_{locked_};
};

TEST_F(DeniedWritesTest, TheFirstRefusedMachineWideChangeIsToldOnceWithItsKey) {
    ASSERT_EQ(registry_.CreateKey(HKEY_LOCAL_MACHINE, "Software\\Free"), ERROR_SUCCESS);
    EXPECT_EQ(registry_.refused(), std::nullopt);
    EXPECT_EQ(registry_.DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Locked\\Bad"),
              ERROR_ACCESS_DENIED);  // the caller still sees the refusal
    EXPECT_EQ(registry_.SetValue(HKEY_CLASSES_ROOT, "Software\\Locked", "v", RegValue::Dword(1)),
              ERROR_ACCESS_DENIED);

    MachineError error;
    ASSERT_TRUE(registry_.Take(false, error));
    EXPECT_EQ(error.kind, MachineErrorKind::Refused);
    EXPECT_EQ(error.ToString(),
              "not enough rights: Windows refused to change "
              "HKEY_LOCAL_MACHINE\\Software\\Locked\\Bad (run veldan-cli as an administrator)");
    EXPECT_FALSE(registry_.Take(false, error));  // once: the refusal is forgotten

    EXPECT_EQ(registry_.DeleteValue(HKEY_CLASSES_ROOT, "Software\\Locked", "v"),
              ERROR_ACCESS_DENIED);
    ASSERT_TRUE(registry_.Take(true, error));
    EXPECT_EQ(error.message,
              "not enough rights: Windows refused to change HKEY_CLASSES_ROOT\\Software\\Locked");
}

TEST_F(DeniedWritesTest, UserKeysAndOtherErrorsAreNoLackOfRights) {
    EXPECT_EQ(registry_.SetValue(HKEY_CURRENT_USER, "Software\\Locked", "v", RegValue::Dword(1)),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(registry_.DeleteKey(HKEY_LOCAL_MACHINE, "Software\\Broken"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(registry_.refused(), std::nullopt);
    MachineError error;
    EXPECT_FALSE(registry_.Take(false, error));
}

// The live machine below a scratch key: its registry is watched, its save
// passes on the refusal, and it holds the privileges a cure needs.
class LiveRightsTest : public ::testing::Test {
  protected:
    ~LiveRightsTest() override { test::DeleteScratchKey(scratch_); }
    std::string scratch_ = test::NewScratchKey();
    LiveMachine machine_{nullptr, Win32Registry::ScratchRoots(scratch_)};
};

TEST_F(LiveRightsTest, SaveSucceedsWhenNothingWasRefused) {
    ASSERT_EQ(machine_.registry().CreateKey(HKEY_LOCAL_MACHINE, "Software\\X"), ERROR_SUCCESS);
    ASSERT_EQ(
        machine_.registry().SetValue(HKEY_LOCAL_MACHINE, "Software\\X", "v", RegValue::Dword(7)),
        ERROR_SUCCESS);
    MachineError error;
    EXPECT_TRUE(machine_.Save(error)) << error.ToString();
    RegValue value;
    ASSERT_EQ(machine_.registry().QueryValue(HKEY_LOCAL_MACHINE, "Software\\X", "v", value),
              ERROR_SUCCESS);
    EXPECT_EQ(value.AsDword(), 7u);
}

TEST_F(LiveRightsTest, TheCuresPrivilegesAreEnabled) {
    if (machine_.system().Family() != OsFamily::Nt) GTEST_SKIP() << "the 9x family has none";
    // Every name is one Windows knows; Wine's user, an administrator, holds them all.
    EXPECT_EQ(machine_.missingPrivileges(), std::vector<std::string>{});
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    PRIVILEGE_SET set{};
    set.PrivilegeCount = 1;
    ASSERT_TRUE(LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &set.Privilege[0].Luid));
    BOOL enabled = FALSE;
    ASSERT_TRUE(PrivilegeCheck(token, &set, &enabled));
    CloseHandle(token);
    EXPECT_TRUE(enabled);
}

}  // namespace
}  // namespace veldan::machine::win32
