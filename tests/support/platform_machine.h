#pragma once
// A machine for the system access layer's tests: a loaded machine image whose
// registry and system information can be made to fail or answer differently,
// so that the platform operations' failure paths can be reached. Everything
// not overridden goes to the image, through the forwarding services.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "machine/forwarding.h"
#include "machine/machine.h"
#include "support/image_builder.h"

namespace veldan::test {

// One registry call as the fault hook sees it.
struct RegCall {
    std::string op;  // "OpenKey", "EnumKey", "DeleteTree", ...
    machine::HKEY root = 0;
    std::string subKey;
    std::string name;         // value name, where the call has one
    std::uint32_t index = 0;  // EnumKey / EnumValue
};

// Forwards to a registry, records every call and fails those the hook names.
class FaultRegistry final : public machine::ForwardingRegistry {
  public:
    using Hook = std::function<machine::WinError(const RegCall&)>;

    using machine::ForwardingRegistry::ForwardingRegistry;

    // Returns ERROR_SUCCESS to let a call through, or the error to fail it with.
    Hook hook;

    // Every call so far, in order.
    const std::vector<RegCall>& calls() const { return calls_; }
    void ClearCalls() { calls_.clear(); }
    int CountCalls(std::string_view op) const {
        int n = 0;
        for (const RegCall& c : calls_) n += c.op == op ? 1 : 0;
        return n;
    }

  protected:
    machine::WinError Intercept(const machine::RegistryCall& c) const override {
        RegCall call{std::string(c.op), c.root, std::string(c.subKey), std::string(c.name),
                     c.index};
        machine::WinError e = hook ? hook(call) : machine::ERROR_SUCCESS;
        calls_.push_back(std::move(call));
        return e;
    }

  private:
    mutable std::vector<RegCall> calls_;  // reads are recorded too
};

// Forwards to the image's system information; special folders, the temporary
// path and the Windows folder can be overridden.
class FakeSystemInfo final : public machine::ForwardingSystemInfo {
  public:
    using machine::ForwardingSystemInfo::ForwardingSystemInfo;

    // csidl -> path; an empty path makes the folder unknown (ERROR_FILE_NOT_FOUND).
    std::map<int, std::string> folders;
    std::optional<std::string> tempPath;
    std::optional<std::string> windowsDirectory;
    // Every folder asked for, with its create flag.
    std::vector<std::pair<int, bool>> asked;

    machine::WinError GetSpecialFolderPath(int csidl, bool create, std::string& path) override {
        asked.emplace_back(csidl, create);
        auto it = folders.find(csidl);
        if (it == folders.end()) return inner().GetSpecialFolderPath(csidl, create, path);
        if (it->second.empty()) return machine::ERROR_FILE_NOT_FOUND;
        path = it->second;
        return machine::ERROR_SUCCESS;
    }
    std::string WindowsDirectory() const override {
        return windowsDirectory ? *windowsDirectory : inner().WindowsDirectory();
    }
    std::string TempPath() const override { return tempPath ? *tempPath : inner().TempPath(); }
};

// An image machine seen through FaultRegistry and FakeSystemInfo.
class TestMachine final : public machine::ForwardingMachine {
  public:
    explicit TestMachine(std::unique_ptr<BuiltMachine> image)
        : machine::ForwardingMachine(*image),
          image_(std::move(image)),
          registry_(image_->registry()),
          system_(image_->system()) {}

    BuiltMachine& image() { return *image_; }
    FaultRegistry& faults() { return registry_; }
    FakeSystemInfo& fakeSystem() { return system_; }

    using machine::Machine::files;
    using machine::Machine::registry;

    machine::Registry& registry() override { return registry_; }
    machine::SystemInfo& system() override { return system_; }

  private:
    std::unique_ptr<BuiltMachine> image_;
    FaultRegistry registry_;
    FakeSystemInfo system_;
};

}  // namespace veldan::test
