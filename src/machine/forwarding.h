#pragma once
// Forwarding services: each passes every call to an inner object of the same
// interface. A test double derives from one and overrides only the calls it
// changes. ForwardingRegistry also offers one hook that sees every call first.

#include <memory>
#include <string>
#include <string_view>

#include "machine/machine.h"

namespace veldan::machine {

// One registry call as ForwardingRegistry::Intercept sees it.
struct RegistryCall {
    std::string_view op;  // "OpenKey", "EnumKey", "DeleteTree", ...
    HKEY root = 0;
    std::string_view subKey;
    std::string_view name;    // value name, where the call has one
    std::uint32_t index = 0;  // EnumKey / EnumValue
};

// What every forwarding service shares: the inner object of the same interface,
// which the derived class passes each call to and a test double may reach.
template <class Interface>
class Forwarding : public Interface {
  public:
    explicit Forwarding(Interface& inner) : inner_(inner) {}

  protected:
    Interface& inner() const { return inner_; }

  private:
    Interface& inner_;
};

class ForwardingRegistry : public Forwarding<Registry> {
  public:
    using Forwarding::Forwarding;

    WinError OpenKey(HKEY root, std::string_view subKey) const override {
        if (WinError e = See("OpenKey", root, subKey)) return e;
        return inner().OpenKey(root, subKey);
    }
    WinError CreateKey(HKEY root, std::string_view subKey) override {
        if (WinError e = See("CreateKey", root, subKey)) return e;
        return inner().CreateKey(root, subKey);
    }
    WinError QueryInfoKey(HKEY root, std::string_view subKey, RegKeyInfo& info) const override {
        if (WinError e = See("QueryInfoKey", root, subKey)) return e;
        return inner().QueryInfoKey(root, subKey, info);
    }
    WinError EnumKey(HKEY root, std::string_view subKey, std::uint32_t index,
                     std::string& name) const override {
        if (WinError e = See("EnumKey", root, subKey, {}, index)) return e;
        return inner().EnumKey(root, subKey, index, name);
    }
    WinError EnumValue(HKEY root, std::string_view subKey, std::uint32_t index, std::string& name,
                       RegValue* value) const override {
        if (WinError e = See("EnumValue", root, subKey, {}, index)) return e;
        return inner().EnumValue(root, subKey, index, name, value);
    }
    WinError QueryValue(HKEY root, std::string_view subKey, std::string_view name,
                        RegValue& value) const override {
        if (WinError e = See("QueryValue", root, subKey, name)) return e;
        return inner().QueryValue(root, subKey, name, value);
    }
    WinError SetValue(HKEY root, std::string_view subKey, std::string_view name,
                      const RegValue& value) override {
        if (WinError e = See("SetValue", root, subKey, name)) return e;
        return inner().SetValue(root, subKey, name, value);
    }
    WinError DeleteValue(HKEY root, std::string_view subKey, std::string_view name) override {
        if (WinError e = See("DeleteValue", root, subKey, name)) return e;
        return inner().DeleteValue(root, subKey, name);
    }
    WinError DeleteKey(HKEY root, std::string_view subKey) override {
        if (WinError e = See("DeleteKey", root, subKey)) return e;
        return inner().DeleteKey(root, subKey);
    }
    WinError DeleteTree(HKEY root, std::string_view subKey) override {
        if (WinError e = See("DeleteTree", root, subKey)) return e;
        return inner().DeleteTree(root, subKey);
    }
    WinError GetKeySecurity(HKEY root, std::string_view subKey,
                            KeySecurity& security) const override {
        if (WinError e = See("GetKeySecurity", root, subKey)) return e;
        return inner().GetKeySecurity(root, subKey, security);
    }
    WinError SetKeySecurity(HKEY root, std::string_view subKey,
                            const KeySecurity& security) override {
        if (WinError e = See("SetKeySecurity", root, subKey)) return e;
        return inner().SetKeySecurity(root, subKey, security);
    }

  protected:
    // Sees every call before it is passed on: ERROR_SUCCESS lets it through,
    // any other result fails it with that error. Lets every call through.
    virtual WinError Intercept(const RegistryCall& call) const { return ERROR_SUCCESS; }

  private:
    WinError See(std::string_view op, HKEY root, std::string_view subKey,
                 std::string_view name = {}, std::uint32_t index = 0) const {
        return Intercept(RegistryCall{op, root, subKey, name, index});
    }
};

class ForwardingFileSystem : public Forwarding<FileSystem> {
  public:
    using Forwarding::Forwarding;

    WinError GetAttributes(std::string_view path, std::uint32_t& attributes) const override {
        return inner().GetAttributes(path, attributes);
    }
    WinError SetAttributes(std::string_view path, std::uint32_t attributes) override {
        return inner().SetAttributes(path, attributes);
    }
    WinError GetFileSize(std::string_view path, std::uint64_t& size) const override {
        return inner().GetFileSize(path, size);
    }
    WinError FindFiles(std::string_view pattern, std::vector<FindData>& entries) const override {
        return inner().FindFiles(pattern, entries);
    }
    WinError GetLongPathName(std::string_view path, std::string& longPath) const override {
        return inner().GetLongPathName(path, longPath);
    }
    WinError GetShortPathName(std::string_view path, std::string& shortPath) const override {
        return inner().GetShortPathName(path, shortPath);
    }
    WinError DeleteFile(std::string_view path) override { return inner().DeleteFile(path); }
    WinError RemoveDirectory(std::string_view path) override {
        return inner().RemoveDirectory(path);
    }
    WinError CreateDirectory(std::string_view path) override {
        return inner().CreateDirectory(path);
    }
    WinError OpenRead(std::string_view path, std::unique_ptr<FileReader>& reader) const override {
        return inner().OpenRead(path, reader);
    }
    WinError ReadFile(std::string_view path, std::string& bytes) const override {
        return inner().ReadFile(path, bytes);
    }
    WinError WriteFile(std::string_view path, std::string_view bytes) override {
        return inner().WriteFile(path, bytes);
    }
    WinError DeleteAtRestart(std::string_view path) override {
        return inner().DeleteAtRestart(path);
    }
    WinError OpenWrite(std::string_view path, WriteMode mode,
                       std::unique_ptr<FileWriter>& writer) override {
        return inner().OpenWrite(path, mode, writer);
    }
    WinError MoveFile(std::string_view from, std::string_view to, bool replace) override {
        return inner().MoveFile(from, to, replace);
    }
    WinError GetFileTime(std::string_view path, FileTimes& times) const override {
        return inner().GetFileTime(path, times);
    }
    WinError SetFileTime(std::string_view path, const FileTimes& times) override {
        return inner().SetFileTime(path, times);
    }
    WinError GetDiskFreeSpaceEx(std::string_view path, std::uint64_t& freeBytes) const override {
        return inner().GetDiskFreeSpaceEx(path, freeBytes);
    }
};

class ForwardingProfiles : public Forwarding<Profiles> {
  public:
    using Forwarding::Forwarding;

    std::string GetString(std::string_view section, std::string_view key, std::string_view def,
                          std::string_view file) const override {
        return inner().GetString(section, key, def, file);
    }
    std::vector<std::pair<std::string, std::string>> GetSection(
        std::string_view section, std::string_view file) const override {
        return inner().GetSection(section, file);
    }
    std::vector<std::string> GetSectionNames(std::string_view file) const override {
        return inner().GetSectionNames(file);
    }
    WinError WriteString(std::string_view section, std::optional<std::string_view> key,
                         std::optional<std::string_view> value, std::string_view file) override {
        return inner().WriteString(section, key, value, file);
    }
    WinError AppendString(std::string_view section, std::string_view key, std::string_view value,
                          std::string_view file) override {
        return inner().AppendString(section, key, value, file);
    }
};

class ForwardingSystemInfo : public Forwarding<SystemInfo> {
  public:
    using Forwarding::Forwarding;

    OsFamily Family() const override { return inner().Family(); }
    std::uint32_t Version() const override { return inner().Version(); }
    std::string UserName() const override { return inner().UserName(); }
    WinError GetSpecialFolderPath(int csidl, bool create, std::string& path) override {
        return inner().GetSpecialFolderPath(csidl, create, path);
    }
    std::string WindowsDirectory() const override { return inner().WindowsDirectory(); }
    std::string SystemDirectory() const override { return inner().SystemDirectory(); }
    std::string TempPath() const override { return inner().TempPath(); }
    std::string ExpandEnvironment(std::string_view text) const override {
        return inner().ExpandEnvironment(text);
    }
};

class ForwardingShellLinks : public Forwarding<ShellLinks> {
  public:
    using Forwarding::Forwarding;

    WinError LoadShellLink(std::string_view path, ShellLinkData& link) const override {
        return inner().LoadShellLink(path, link);
    }
    WinError LoadUrlShortcut(std::string_view path, UrlShortcutData& link) const override {
        return inner().LoadUrlShortcut(path, link);
    }
};

// A machine whose services are those of an inner machine; a test double
// overrides the accessors of the services it replaces.
class ForwardingMachine : public Forwarding<Machine> {
  public:
    using Forwarding::Forwarding;

    Registry& registry() override { return inner().registry(); }
    FileSystem& files() override { return inner().files(); }
    Profiles& profiles() override { return inner().profiles(); }
    ShellLinks& shellLinks() override { return inner().shellLinks(); }
    Processes& processes() override { return inner().processes(); }
    Windows& windows() override { return inner().windows(); }
    Launcher& launcher() override { return inner().launcher(); }
    Clock& clock() override { return inner().clock(); }
    SystemInfo& system() override { return inner().system(); }

    using Machine::files;
    using Machine::registry;
};

}  // namespace veldan::machine
