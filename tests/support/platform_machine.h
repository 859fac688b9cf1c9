#pragma once
// A machine for the system access layer's tests: a loaded machine image whose
// registry and system information can be made to fail or answer differently,
// so that the platform operations' failure paths can be reached. Everything
// not overridden goes to the image.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "machine/image/image_machine.h"
#include "machine/machine.h"

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
class FaultRegistry final : public machine::Registry {
  public:
    using Hook = std::function<machine::WinError(const RegCall&)>;

    explicit FaultRegistry(machine::Registry& inner) : inner_(inner) {}

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

    machine::WinError OpenKey(machine::HKEY root, std::string_view subKey) const override {
        if (auto e = Check("OpenKey", root, subKey)) return e;
        return inner_.OpenKey(root, subKey);
    }
    machine::WinError CreateKey(machine::HKEY root, std::string_view subKey) override {
        if (auto e = Check("CreateKey", root, subKey)) return e;
        return inner_.CreateKey(root, subKey);
    }
    machine::WinError QueryInfoKey(machine::HKEY root, std::string_view subKey,
                                   machine::RegKeyInfo& info) const override {
        if (auto e = Check("QueryInfoKey", root, subKey)) return e;
        return inner_.QueryInfoKey(root, subKey, info);
    }
    machine::WinError EnumKey(machine::HKEY root, std::string_view subKey, std::uint32_t index,
                              std::string& name) const override {
        if (auto e = Check("EnumKey", root, subKey, "", index)) return e;
        return inner_.EnumKey(root, subKey, index, name);
    }
    machine::WinError EnumValue(machine::HKEY root, std::string_view subKey, std::uint32_t index,
                                std::string& name, machine::RegValue* value) const override {
        if (auto e = Check("EnumValue", root, subKey, "", index)) return e;
        return inner_.EnumValue(root, subKey, index, name, value);
    }
    machine::WinError QueryValue(machine::HKEY root, std::string_view subKey, std::string_view name,
                                 machine::RegValue& value) const override {
        if (auto e = Check("QueryValue", root, subKey, name)) return e;
        return inner_.QueryValue(root, subKey, name, value);
    }
    machine::WinError SetValue(machine::HKEY root, std::string_view subKey, std::string_view name,
                               const machine::RegValue& value) override {
        if (auto e = Check("SetValue", root, subKey, name)) return e;
        return inner_.SetValue(root, subKey, name, value);
    }
    machine::WinError DeleteValue(machine::HKEY root, std::string_view subKey,
                                  std::string_view name) override {
        if (auto e = Check("DeleteValue", root, subKey, name)) return e;
        return inner_.DeleteValue(root, subKey, name);
    }
    machine::WinError DeleteKey(machine::HKEY root, std::string_view subKey) override {
        if (auto e = Check("DeleteKey", root, subKey)) return e;
        return inner_.DeleteKey(root, subKey);
    }
    machine::WinError DeleteTree(machine::HKEY root, std::string_view subKey) override {
        if (auto e = Check("DeleteTree", root, subKey)) return e;
        return inner_.DeleteTree(root, subKey);
    }
    machine::WinError GetKeySecurity(machine::HKEY root, std::string_view subKey,
                                     machine::KeySecurity& security) const override {
        if (auto e = Check("GetKeySecurity", root, subKey)) return e;
        return inner_.GetKeySecurity(root, subKey, security);
    }
    machine::WinError SetKeySecurity(machine::HKEY root, std::string_view subKey,
                                     const machine::KeySecurity& security) override {
        if (auto e = Check("SetKeySecurity", root, subKey)) return e;
        return inner_.SetKeySecurity(root, subKey, security);
    }

  private:
    machine::WinError Check(std::string op, machine::HKEY root, std::string_view subKey,
                            std::string_view name = {}, std::uint32_t index = 0) const {
        RegCall call{std::move(op), root, std::string(subKey), std::string(name), index};
        machine::WinError e = hook ? hook(call) : machine::ERROR_SUCCESS;
        calls_.push_back(std::move(call));
        return e;
    }

    machine::Registry& inner_;
    mutable std::vector<RegCall> calls_;  // reads are recorded too
};

// Forwards to the image's system information; special folders, the temporary
// path and the Windows folder can be overridden.
class FakeSystemInfo final : public machine::SystemInfo {
  public:
    explicit FakeSystemInfo(machine::SystemInfo& inner) : inner_(inner) {}

    // csidl -> path; an empty path makes the folder unknown (ERROR_FILE_NOT_FOUND).
    std::map<int, std::string> folders;
    std::optional<std::string> tempPath;
    std::optional<std::string> windowsDirectory;
    // Every folder asked for, with its create flag.
    std::vector<std::pair<int, bool>> asked;

    machine::OsFamily Family() const override { return inner_.Family(); }
    std::uint32_t Version() const override { return inner_.Version(); }
    std::string UserName() const override { return inner_.UserName(); }
    machine::WinError GetSpecialFolderPath(int csidl, bool create, std::string& path) override {
        asked.emplace_back(csidl, create);
        auto it = folders.find(csidl);
        if (it == folders.end()) return inner_.GetSpecialFolderPath(csidl, create, path);
        if (it->second.empty()) return machine::ERROR_FILE_NOT_FOUND;
        path = it->second;
        return machine::ERROR_SUCCESS;
    }
    std::string WindowsDirectory() const override {
        return windowsDirectory ? *windowsDirectory : inner_.WindowsDirectory();
    }
    std::string SystemDirectory() const override { return inner_.SystemDirectory(); }
    std::string TempPath() const override { return tempPath ? *tempPath : inner_.TempPath(); }
    std::string ExpandEnvironment(std::string_view text) const override {
        return inner_.ExpandEnvironment(text);
    }

  private:
    machine::SystemInfo& inner_;
};

// An image machine seen through FaultRegistry and FakeSystemInfo.
class TestMachine final : public machine::Machine {
  public:
    explicit TestMachine(std::unique_ptr<machine::image::ImageMachine> image)
        : image_(std::move(image)), registry_(image_->registry()), system_(image_->system()) {}

    machine::image::ImageMachine& image() { return *image_; }
    FaultRegistry& faults() { return registry_; }
    FakeSystemInfo& fakeSystem() { return system_; }

    using machine::Machine::files;
    using machine::Machine::registry;

    machine::Registry& registry() override { return registry_; }
    machine::FileSystem& files() override { return image_->files(); }
    machine::Profiles& profiles() override { return image_->profiles(); }
    machine::ShellLinks& shellLinks() override { return image_->shellLinks(); }
    machine::Processes& processes() override { return image_->processes(); }
    machine::Windows& windows() override { return image_->windows(); }
    machine::Launcher& launcher() override { return image_->launcher(); }
    machine::Clock& clock() override { return image_->clock(); }
    machine::SystemInfo& system() override { return system_; }

  private:
    std::unique_ptr<machine::image::ImageMachine> image_;
    FaultRegistry registry_;
    FakeSystemInfo system_;
};

}  // namespace veldan::test
