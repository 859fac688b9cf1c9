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

class ForwardingRegistry : public Registry {
  public:
    explicit ForwardingRegistry(Registry& inner) : inner_(inner) {}

    WinError OpenKey(HKEY root, std::string_view subKey) const override {
        if (WinError e = See("OpenKey", root, subKey)) return e;
        return inner_.OpenKey(root, subKey);
    }
    WinError CreateKey(HKEY root, std::string_view subKey) override {
        if (WinError e = See("CreateKey", root, subKey)) return e;
        return inner_.CreateKey(root, subKey);
    }
    WinError QueryInfoKey(HKEY root, std::string_view subKey, RegKeyInfo& info) const override {
        if (WinError e = See("QueryInfoKey", root, subKey)) return e;
        return inner_.QueryInfoKey(root, subKey, info);
    }
    WinError EnumKey(HKEY root, std::string_view subKey, std::uint32_t index,
                     std::string& name) const override {
        if (WinError e = See("EnumKey", root, subKey, {}, index)) return e;
        return inner_.EnumKey(root, subKey, index, name);
    }
    WinError EnumValue(HKEY root, std::string_view subKey, std::uint32_t index, std::string& name,
                       RegValue* value) const override {
        if (WinError e = See("EnumValue", root, subKey, {}, index)) return e;
        return inner_.EnumValue(root, subKey, index, name, value);
    }
    WinError QueryValue(HKEY root, std::string_view subKey, std::string_view name,
                        RegValue& value) const override {
        if (WinError e = See("QueryValue", root, subKey, name)) return e;
        return inner_.QueryValue(root, subKey, name, value);
    }
    WinError SetValue(HKEY root, std::string_view subKey, std::string_view name,
                      const RegValue& value) override {
        if (WinError e = See("SetValue", root, subKey, name)) return e;
        return inner_.SetValue(root, subKey, name, value);
    }
    WinError DeleteValue(HKEY root, std::string_view subKey, std::string_view name) override {
        if (WinError e = See("DeleteValue", root, subKey, name)) return e;
        return inner_.DeleteValue(root, subKey, name);
    }
    WinError DeleteKey(HKEY root, std::string_view subKey) override {
        if (WinError e = See("DeleteKey", root, subKey)) return e;
        return inner_.DeleteKey(root, subKey);
    }
    WinError DeleteTree(HKEY root, std::string_view subKey) override {
        if (WinError e = See("DeleteTree", root, subKey)) return e;
        return inner_.DeleteTree(root, subKey);
    }
    WinError GetKeySecurity(HKEY root, std::string_view subKey,
                            KeySecurity& security) const override {
        if (WinError e = See("GetKeySecurity", root, subKey)) return e;
        return inner_.GetKeySecurity(root, subKey, security);
    }
    WinError SetKeySecurity(HKEY root, std::string_view subKey,
                            const KeySecurity& security) override {
        if (WinError e = See("SetKeySecurity", root, subKey)) return e;
        return inner_.SetKeySecurity(root, subKey, security);
    }

  protected:
    // Sees every call before it is passed on: ERROR_SUCCESS lets it through,
    // any other result fails it with that error. Lets every call through.
    virtual WinError Intercept(const RegistryCall& call) const { return ERROR_SUCCESS; }
    Registry& inner() const { return inner_; }

  private:
    WinError See(std::string_view op, HKEY root, std::string_view subKey,
                 std::string_view name = {}, std::uint32_t index = 0) const {
        return Intercept(RegistryCall{op, root, subKey, name, index});
    }

    Registry& inner_;
};

class ForwardingFileSystem : public FileSystem {
  public:
    explicit ForwardingFileSystem(FileSystem& inner) : inner_(inner) {}

    WinError GetAttributes(std::string_view path, std::uint32_t& attributes) const override {
        return inner_.GetAttributes(path, attributes);
    }
    WinError SetAttributes(std::string_view path, std::uint32_t attributes) override {
        return inner_.SetAttributes(path, attributes);
    }
    WinError GetFileSize(std::string_view path, std::uint64_t& size) const override {
        return inner_.GetFileSize(path, size);
    }
    WinError FindFiles(std::string_view pattern, std::vector<FindData>& entries) const override {
        return inner_.FindFiles(pattern, entries);
    }
    WinError GetLongPathName(std::string_view path, std::string& longPath) const override {
        return inner_.GetLongPathName(path, longPath);
    }
    WinError GetShortPathName(std::string_view path, std::string& shortPath) const override {
        return inner_.GetShortPathName(path, shortPath);
    }
    WinError DeleteFile(std::string_view path) override { return inner_.DeleteFile(path); }
    WinError RemoveDirectory(std::string_view path) override {
        return inner_.RemoveDirectory(path);
    }
    WinError CreateDirectory(std::string_view path) override {
        return inner_.CreateDirectory(path);
    }
    WinError OpenRead(std::string_view path, std::unique_ptr<FileReader>& reader) const override {
        return inner_.OpenRead(path, reader);
    }
    WinError ReadFile(std::string_view path, std::string& bytes) const override {
        return inner_.ReadFile(path, bytes);
    }
    WinError WriteFile(std::string_view path, std::string_view bytes) override {
        return inner_.WriteFile(path, bytes);
    }
    WinError DeleteAtRestart(std::string_view path) override {
        return inner_.DeleteAtRestart(path);
    }
    WinError OpenWrite(std::string_view path, WriteMode mode,
                       std::unique_ptr<FileWriter>& writer) override {
        return inner_.OpenWrite(path, mode, writer);
    }
    WinError MoveFile(std::string_view from, std::string_view to, bool replace) override {
        return inner_.MoveFile(from, to, replace);
    }
    WinError GetFileTime(std::string_view path, FileTimes& times) const override {
        return inner_.GetFileTime(path, times);
    }
    WinError SetFileTime(std::string_view path, const FileTimes& times) override {
        return inner_.SetFileTime(path, times);
    }

  protected:
    FileSystem& inner() const { return inner_; }

  private:
    FileSystem& inner_;
};

class ForwardingProfiles : public Profiles {
  public:
    explicit ForwardingProfiles(Profiles& inner) : inner_(inner) {}

    std::string GetString(std::string_view section, std::string_view key, std::string_view def,
                          std::string_view file) const override {
        return inner_.GetString(section, key, def, file);
    }
    std::vector<std::pair<std::string, std::string>> GetSection(
        std::string_view section, std::string_view file) const override {
        return inner_.GetSection(section, file);
    }
    std::vector<std::string> GetSectionNames(std::string_view file) const override {
        return inner_.GetSectionNames(file);
    }
    WinError WriteString(std::string_view section, std::optional<std::string_view> key,
                         std::optional<std::string_view> value, std::string_view file) override {
        return inner_.WriteString(section, key, value, file);
    }
    WinError AppendString(std::string_view section, std::string_view key, std::string_view value,
                          std::string_view file) override {
        return inner_.AppendString(section, key, value, file);
    }

  protected:
    Profiles& inner() const { return inner_; }

  private:
    Profiles& inner_;
};

class ForwardingSystemInfo : public SystemInfo {
  public:
    explicit ForwardingSystemInfo(SystemInfo& inner) : inner_(inner) {}

    OsFamily Family() const override { return inner_.Family(); }
    std::uint32_t Version() const override { return inner_.Version(); }
    std::string UserName() const override { return inner_.UserName(); }
    WinError GetSpecialFolderPath(int csidl, bool create, std::string& path) override {
        return inner_.GetSpecialFolderPath(csidl, create, path);
    }
    std::string WindowsDirectory() const override { return inner_.WindowsDirectory(); }
    std::string SystemDirectory() const override { return inner_.SystemDirectory(); }
    std::string TempPath() const override { return inner_.TempPath(); }
    std::string ExpandEnvironment(std::string_view text) const override {
        return inner_.ExpandEnvironment(text);
    }

  protected:
    SystemInfo& inner() const { return inner_; }

  private:
    SystemInfo& inner_;
};

class ForwardingShellLinks : public ShellLinks {
  public:
    explicit ForwardingShellLinks(ShellLinks& inner) : inner_(inner) {}

    WinError LoadShellLink(std::string_view path, ShellLinkData& link) const override {
        return inner_.LoadShellLink(path, link);
    }
    WinError LoadUrlShortcut(std::string_view path, UrlShortcutData& link) const override {
        return inner_.LoadUrlShortcut(path, link);
    }

  protected:
    ShellLinks& inner() const { return inner_; }

  private:
    ShellLinks& inner_;
};

// A machine whose services are those of an inner machine; a test double
// overrides the accessors of the services it replaces.
class ForwardingMachine : public Machine {
  public:
    explicit ForwardingMachine(Machine& inner) : inner_(inner) {}

    Registry& registry() override { return inner_.registry(); }
    FileSystem& files() override { return inner_.files(); }
    Profiles& profiles() override { return inner_.profiles(); }
    ShellLinks& shellLinks() override { return inner_.shellLinks(); }
    Processes& processes() override { return inner_.processes(); }
    Windows& windows() override { return inner_.windows(); }
    Launcher& launcher() override { return inner_.launcher(); }
    Clock& clock() override { return inner_.clock(); }
    SystemInfo& system() override { return inner_.system(); }

    using Machine::files;
    using Machine::registry;

  protected:
    Machine& inner() const { return inner_; }

  private:
    Machine& inner_;
};

}  // namespace veldan::machine
