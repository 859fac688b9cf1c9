#include "quarantine/journaling_machine.h"

#include <cstdio>
#include <functional>

#include "machine/forwarding.h"
#include "machine/registry_paths.h"
#include "quarantine/payload.h"
#include "quarantine/store.h"
#include "text/strings.h"

namespace veldan::quarantine {
using namespace machine;

// One change as the services describe it: what it is, how to take the state
// it replaces, how to keep content first, how to make it and how to take the
// state it leaves.
class JournalingMachine::Step {
  public:
    Change change;
    std::function<Json()> before;
    std::function<WinError(Change&)> keep;
    std::function<WinError()> apply;
    std::function<Json()> after;
};

namespace {

using Step = JournalingMachine::Step;

constexpr std::string_view kPendingKey = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

std::string KeyText(const Registry& reg, HKEY root, std::string_view subKey) {
    std::string text(RootShortName(root));
    const std::string stored = StoredKeyPath(reg, root, subKey);
    if (!stored.empty()) text += "\\" + stored;
    return text;
}

std::string ValueText(const RegValue& v) {
    if (IsStringType(v.type) && v.type != REG_MULTI_SZ) return v.AsString();
    if (v.type == REG_DWORD) return std::to_string(v.AsDword());
    return {};
}

// Winsock catalogs are reported as such.
std::string KeyType(std::string_view subKey, std::string_view whenOther) {
    return text::FindNoCase(subKey, "WinSock2\\Parameters") != std::string_view::npos
               ? "LSP"
               : std::string(whenOther);
}

Json KeyTarget(HKEY root, std::string_view subKey) {
    return {{"root", std::string(RootShortName(root))}, {"key", std::string(subKey)}};
}

Json PathTarget(std::string_view path) {
    return {{"path", std::string(path)}};
}

Change NewChange(std::string op, std::string type, std::string text, std::string kind, Json target,
                 bool undoable = true) {
    Change c;
    c.op = std::move(op);
    c.type = std::move(type);
    c.text = std::move(text);
    c.kind = std::move(kind);
    c.target = std::move(target);
    c.undoable = undoable;
    return c;
}

}  // namespace

class JournalingMachine::Services {
  public:
    // A change that cannot be undone (a process ended, a window closed): only recorded.
    static WinError RecordOnly(JournalingMachine& m, std::string op, std::string type,
                               std::string text, Json target, std::function<WinError()> apply) {
        Step s;
        s.change = NewChange(std::move(op), std::move(type), std::move(text), "none",
                             std::move(target), false);
        s.apply = std::move(apply);
        return m.Make(s);
    }

    class JRegistry final : public ForwardingRegistry {
      public:
        JRegistry(JournalingMachine& m) : ForwardingRegistry(m.inner_->registry()), m_(m) {}

        WinError CreateKey(HKEY root, std::string_view subKey) override {
            if (!m_.Recording()) return inner().CreateKey(root, subKey);
            const std::string top = FirstMissingKey(inner(), root, subKey);
            if (top.empty()) return inner().CreateKey(root, subKey);
            Step s = TreeStep("create", "REGKEY", root, top,
                              KeyText(inner(), root, top) + Rest(subKey, top));
            s.apply = [&] { return inner().CreateKey(root, subKey); };
            return m_.Make(s);
        }
        WinError SetValue(HKEY root, std::string_view subKey, std::string_view name,
                          const RegValue& value) override {
            if (!m_.Recording() || inner().OpenKey(root, subKey) != ERROR_SUCCESS)
                return inner().SetValue(root, subKey, name, value);
            std::string text = ValueName(root, subKey, name);
            if (const std::string shown = ValueText(value); !shown.empty()) text += " = " + shown;
            Step s = ValuesStep("set", "REGVAL", root, subKey, text);
            s.apply = [&] { return inner().SetValue(root, subKey, name, value); };
            return m_.Make(s);
        }
        WinError DeleteValue(HKEY root, std::string_view subKey, std::string_view name) override {
            RegValue old;
            if (!m_.Recording() || inner().QueryValue(root, subKey, name, old) != ERROR_SUCCESS)
                return inner().DeleteValue(root, subKey, name);
            Step s = ValuesStep("delete", "REGVAL", root, subKey, ValueName(root, subKey, name));
            s.apply = [&] { return inner().DeleteValue(root, subKey, name); };
            return m_.Make(s);
        }
        WinError DeleteKey(HKEY root, std::string_view subKey) override {
            return DeleteThrough(root, subKey, [&] { return inner().DeleteKey(root, subKey); });
        }
        WinError DeleteTree(HKEY root, std::string_view subKey) override {
            return DeleteThrough(root, subKey, [&] { return inner().DeleteTree(root, subKey); });
        }
        WinError SetKeySecurity(HKEY root, std::string_view subKey,
                                const KeySecurity& security) override {
            KeySecurity now;
            if (!m_.Recording() || inner().GetKeySecurity(root, subKey, now) != ERROR_SUCCESS ||
                now == security)
                return inner().SetKeySecurity(root, subKey, security);
            Step s;
            s.change = NewChange("security", "REGKEY", KeyText(inner(), root, subKey),
                                 "regsecurity", KeyTarget(root, subKey));
            s.before = s.after = [&] { return CaptureSecurity(inner(), root, subKey); };
            s.apply = [&] { return inner().SetKeySecurity(root, subKey, security); };
            return m_.Make(s);
        }

        // A change of the values of a key, or, when the key is missing and the
        // change creates it, of the tree from its first missing key.
        WinError ValuesOrTree(std::string op, std::string type, std::string text, HKEY root,
                              std::string_view subKey, std::function<WinError()> apply) {
            const std::string top = FirstMissingKey(inner(), root, subKey);
            Step s = top.empty() ? ValuesStep(op, type, root, subKey, text)
                                 : TreeStep(op, type, root, top, text);
            s.change.type = type;
            s.apply = std::move(apply);
            return m_.Make(s);
        }

      private:
        // The deletion of key `subKey` (with its tree) made by `apply`.
        WinError DeleteThrough(HKEY root, std::string_view subKey,
                               std::function<WinError()> apply) {
            if (!m_.Recording() || inner().OpenKey(root, subKey) != ERROR_SUCCESS) return apply();
            Step s = TreeStep("delete", "REGKEY", root, subKey, KeyText(inner(), root, subKey));
            s.apply = std::move(apply);
            return m_.Make(s);
        }
        static std::string Rest(std::string_view full, std::string_view top) {
            return full.size() > top.size() ? std::string(full.substr(top.size())) : std::string();
        }
        std::string ValueName(HKEY root, std::string_view subKey, std::string_view name) const {
            return KeyText(inner(), root, subKey) + "\\" +
                   (name.empty() ? std::string("@") : std::string(name));
        }
        Step TreeStep(std::string op, std::string type, HKEY root, std::string_view subKey,
                      std::string text) {
            return KeyStep(true, std::move(op), std::move(type), root, subKey, std::move(text));
        }
        Step ValuesStep(std::string op, std::string type, HKEY root, std::string_view subKey,
                        std::string text) {
            return KeyStep(false, std::move(op), std::move(type), root, subKey, std::move(text));
        }
        // A step on a key: its whole tree (`tree`) or only its values.
        Step KeyStep(bool tree, std::string op, std::string type, HKEY root,
                     std::string_view subKey, std::string text) {
            Step s;
            const std::string stored = StoredKeyPath(inner(), root, subKey);
            s.change = NewChange(std::move(op), KeyType(stored, type), std::move(text),
                                 tree ? "regtree" : "regvalues", KeyTarget(root, stored));
            s.before = s.after = [this, tree, root, stored] {
                return tree ? CaptureTree(inner(), root, stored)
                            : CaptureValues(inner(), root, stored);
            };
            return s;
        }

        JournalingMachine& m_;
    };

    class JFiles final : public ForwardingFileSystem {
      public:
        JFiles(JournalingMachine& m) : ForwardingFileSystem(m.inner_->files()), m_(m) {}

        WinError FindFiles(std::string_view pattern,
                           std::vector<FindData>& entries) const override {
            std::vector<FindData> found;
            if (WinError e = inner().FindFiles(pattern, found)) return e;
            std::erase_if(found,
                          [&](const FindData& f) { return m_.IsQuarantine(pattern, f.name); });
            if (found.empty()) return ERROR_FILE_NOT_FOUND;
            entries = std::move(found);
            return ERROR_SUCCESS;
        }
        WinError DeleteFile(std::string_view path) override {
            if (!m_.Recording()) return inner().DeleteFile(path);
            const Json state = CaptureFile(inner(), path, false);
            if (!state.value("exists", false) || state.value("folder", false))
                return inner().DeleteFile(path);
            Step s = FileStep("delete", "FILE", state);
            s.keep = [&](Change& c) { return m_.Keep(path, c.seq, c.before); };
            s.apply = [&] { return inner().DeleteFile(path); };
            return m_.Make(s);
        }
        WinError RemoveDirectory(std::string_view path) override {
            if (!m_.Recording()) return inner().RemoveDirectory(path);
            const Json state = CaptureFile(inner(), path, false);
            if (!state.value("folder", false)) return inner().RemoveDirectory(path);
            Step s = FileStep("delete", "DIR", state);
            s.apply = [&] { return inner().RemoveDirectory(path); };
            return m_.Make(s);
        }
        WinError CreateDirectory(std::string_view path) override {
            if (!m_.Recording()) return inner().CreateDirectory(path);
            Step s = FileStep("create", "DIR", PathTarget(path));
            s.apply = [&] { return inner().CreateDirectory(path); };
            return m_.Make(s);
        }
        WinError WriteFile(std::string_view path, std::string_view bytes) override {
            if (!m_.Recording()) return inner().WriteFile(path, bytes);
            return WriteThrough(path, "write", "FILE", std::string(path),
                                [&] { return inner().WriteFile(path, bytes); });
        }
        WinError SetAttributes(std::string_view path, std::uint32_t attributes) override {
            return MetadataThrough(
                path, "attributes",
                [this](const std::string& longPath) {
                    std::uint32_t a = 0;
                    return inner().GetAttributes(longPath, a) == ERROR_SUCCESS ? Json(a) : Json();
                },
                [&] { return inner().SetAttributes(path, attributes); });
        }
        WinError SetFileTime(std::string_view path, const FileTimes& times) override {
            return MetadataThrough(
                path, "times",
                [this](const std::string& longPath) {
                    FileTimes t;
                    if (inner().GetFileTime(longPath, t) != ERROR_SUCCESS) return Json();
                    return Json{t.creation, t.lastAccess, t.lastWrite};
                },
                [&] { return inner().SetFileTime(path, times); });
        }
        WinError DeleteAtRestart(std::string_view path) override {
            if (!m_.Recording()) return inner().DeleteAtRestart(path);
            auto apply = [&] { return inner().DeleteAtRestart(path); };
            WinError e;
            if (m_.system().Family() == OsFamily::Nt) {
                e = m_.services_->registry.ValuesOrTree(
                    "set", "REGVAL",
                    "HKLM\\" + std::string(kPendingKey) +
                        "\\PendingFileRenameOperations (delete at restart: " + std::string(path) +
                        ")",
                    HKEY_LOCAL_MACHINE, kPendingKey, apply);
            } else {
                e = WriteThrough(m_.system().WindowsDirectory() + "\\Wininit.ini", "set", "PROSTR",
                                 m_.system().WindowsDirectory() +
                                     "\\Wininit.ini [Rename] NUL=" + std::string(path),
                                 apply);
            }
            if (e != ERROR_SUCCESS) return e;
            // The file goes at the restart, not through the cure: its content is
            // kept now, so that a restore after the restart brings it back. A
            // file that cannot be read is simply not kept.
            const Json state = CaptureFile(inner(), path, false);
            if (!state.value("exists", false) || state.value("folder", false)) return e;
            Step s = FileStep("delete-at-restart", "FILE", state);
            s.keep = [&](Change& c) { return m_.Keep(path, c.seq, c.before); };
            s.apply = [] { return ERROR_SUCCESS; };
            s.after = [] { return Json{{"exists", false}}; };  // as the restart leaves it
            (void)m_.Make(s);
            return e;
        }

        // A change `op` of the metadata of file or folder `path` made by `apply`;
        // `read` gives the metadata of its long path before and after.
        WinError MetadataThrough(std::string_view path, const std::string& op,
                                 std::function<Json(const std::string&)> read,
                                 std::function<WinError()> apply) {
            std::uint32_t old = 0;
            if (!m_.Recording() || inner().GetAttributes(path, old) != ERROR_SUCCESS)
                return apply();
            std::string longPath(path);
            (void)inner().GetLongPathName(path, longPath);
            Step s;
            s.change = NewChange(op, (old & FILE_ATTRIBUTE_DIRECTORY) ? "DIR" : "FILE", longPath,
                                 op, PathTarget(longPath));
            s.before = s.after = [read = std::move(read), longPath] { return read(longPath); };
            s.apply = std::move(apply);
            return m_.Make(s);
        }

        // A change of the whole content of file `path` made by `apply`; its
        // content before is kept in the quarantine.
        WinError WriteThrough(std::string_view path, std::string op, std::string type,
                              std::string text, std::function<WinError()> apply) {
            const Json state = CaptureFile(inner(), path, false);
            if (state.value("folder", false)) return apply();
            Step s = FileStep(std::move(op), std::move(type),
                              state.value("exists", false) ? state : PathTarget(path));
            s.change.text = std::move(text);
            const std::string where = state.value("path", std::string(path));
            if (state.value("exists", false)) {
                s.keep = [this, where](Change& c) { return m_.Keep(where, c.seq, c.before); };
            }
            s.apply = std::move(apply);
            return m_.Make(s);
        }

      private:
        // A change of file `state` (a captured state, or just {"path"}).
        Step FileStep(std::string op, std::string type, const Json& state) {
            Step s;
            const std::string path = state.value("path", std::string());
            s.change = NewChange(std::move(op), std::move(type), path, "file", PathTarget(path));
            s.before = [this, path] { return CaptureFile(inner(), path, false); };
            s.after = [this, path] { return CaptureFile(inner(), path, true); };
            return s;
        }

        JournalingMachine& m_;
    };

    class JProfiles final : public ForwardingProfiles {
      public:
        JProfiles(JournalingMachine& m) : ForwardingProfiles(m.inner_->profiles()), m_(m) {}

        WinError WriteString(std::string_view section, std::optional<std::string_view> key,
                             std::optional<std::string_view> value,
                             std::string_view file) override {
            auto apply = [&] { return inner().WriteString(section, key, value, file); };
            if (!m_.Recording()) return apply();
            std::string text = Describe(section, key ? *key : std::string_view(), file);
            const char* op = !key ? "delete" : !value ? "delete" : "set";
            if (value) text += " = " + std::string(*value);
            return m_.services_->files.WriteThrough(PathOf(file), op, "PROSTR", text, apply);
        }
        WinError AppendString(std::string_view section, std::string_view key,
                              std::string_view value, std::string_view file) override {
            auto apply = [&] { return inner().AppendString(section, key, value, file); };
            if (!m_.Recording()) return apply();
            return m_.services_->files.WriteThrough(
                PathOf(file), "set", "PROSTR",
                Describe(section, key, file) + " = " + std::string(value), apply);
        }

      private:
        std::string PathOf(std::string_view file) const {
            if (file.find('\\') != std::string_view::npos ||
                file.find('/') != std::string_view::npos)
                return std::string(file);
            return m_.system().WindowsDirectory() + "\\" + std::string(file);
        }
        // "C:\WINDOWS\win.ini [windows] load (was: x.exe)"
        std::string Describe(std::string_view section, std::string_view key,
                             std::string_view file) const {
            std::string path = PathOf(file), longPath;
            if (m_.inner_->files().GetLongPathName(path, longPath) == ERROR_SUCCESS)
                path = longPath;
            std::string text = path + " [" + std::string(section) + "]";
            if (!key.empty()) {
                text += " " + std::string(key);
                const std::string old = inner().GetString(section, key, "\x01", file);
                if (old != "\x01") text += " (was: " + old + ")";
            }
            return text;
        }

        JournalingMachine& m_;
    };

    class JProcesses final : public Processes {
      public:
        JProcesses(JournalingMachine& m) : m_(m), inner_(m.inner_->processes()) {}
        std::vector<ProcessInfo> List() const override { return inner_.List(); }
        WinError Terminate(std::uint32_t id, std::uint32_t exitCode) override {
            if (!m_.Recording()) return inner_.Terminate(id, exitCode);
            std::string image = "process " + std::to_string(id);
            for (const ProcessInfo& p : inner_.List()) {
                if (p.id == id) image = p.imagePath;
            }
            return RecordOnly(m_, "terminate", "PROCESS", image, {{"process", id}},
                              [&] { return inner_.Terminate(id, exitCode); });
        }
        WinError AdjustPrivilege(std::string_view privilege, bool enable) override {
            return inner_.AdjustPrivilege(privilege, enable);
        }

      private:
        JournalingMachine& m_;
        Processes& inner_;
    };

    class JWindows final : public Windows {
      public:
        JWindows(JournalingMachine& m) : m_(m), inner_(m.inner_->windows()) {}
        std::vector<WindowInfo> Enumerate() const override { return inner_.Enumerate(); }
        std::uint32_t FindByClass(std::string_view className) const override {
            return inner_.FindByClass(className);
        }
        WinError PostMessage(std::uint32_t handle, std::uint32_t message) override {
            if (!m_.Recording() || message != WM_CLOSE) return inner_.PostMessage(handle, message);
            std::string name = "window " + std::to_string(handle);
            for (const WindowInfo& w : inner_.Enumerate()) {
                if (w.handle == handle) name = w.className;
            }
            return RecordOnly(m_, "close", "WINDOW", name, {{"window", handle}},
                              [&] { return inner_.PostMessage(handle, message); });
        }

      private:
        JournalingMachine& m_;
        Windows& inner_;
    };

    explicit Services(JournalingMachine& m)
        : registry(m), files(m), profiles(m), processes(m), windows(m) {}

    JRegistry registry;
    JFiles files;
    JProfiles profiles;
    JProcesses processes;
    JWindows windows;
};

JournalingMachine::JournalingMachine(std::unique_ptr<LoadedMachine> inner)
    : inner_(std::move(inner)), services_(std::make_unique<Services>(*this)) {}

JournalingMachine::~JournalingMachine() = default;

Registry& JournalingMachine::registry() {
    return services_->registry;
}
FileSystem& JournalingMachine::files() {
    return services_->files;
}
Profiles& JournalingMachine::profiles() {
    return services_->profiles;
}
Processes& JournalingMachine::processes() {
    return services_->processes;
}
Windows& JournalingMachine::windows() {
    return services_->windows;
}

void JournalingMachine::SetQuarantineFolder(std::string path) {
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
    quarantine_ = std::move(path);
}

std::string JournalingMachine::cureFolder() const {
    return cureId_.empty() ? std::string() : quarantine_ + "\\" + cureId_;
}

WinError JournalingMachine::BeginCure(const std::vector<std::string>& entries,
                                      std::string& problem) {
    FileSystem& fs = inner_->files();
    if (WinError e = CreateFolders(fs, quarantine_)) {
        problem = "cannot create the quarantine folder " + quarantine_;
        return e;
    }
    const std::string id = NewCureId(fs, quarantine_);
    const std::string folder = quarantine_ + "\\" + id;
    if (WinError e = fs.CreateDirectory(folder)) {
        problem = "cannot create the quarantine folder " + folder;
        return e;
    }
    Json header = JournalHeader("cure");
    header["id"] = id;
    header["entries"] = entries;
    if (WinError e = journal_.Open(fs, folder + "\\" + std::string(kCureJournalName), header)) {
        problem = "cannot write the journal in " + folder;
        (void)fs.DeleteFile(folder + "\\" + std::string(kCureJournalName));
        (void)fs.RemoveDirectory(folder);
        return e;
    }
    cureId_ = id;
    changes_.clear();
    seq_ = 0;
    stopProblem_.clear();
    mode_ = Mode::Journal;
    return ERROR_SUCCESS;
}

void JournalingMachine::BeginPlan() {
    cureId_.clear();
    changes_.clear();
    seq_ = 0;
    mode_ = Mode::Plan;
}

WinError JournalingMachine::End(bool completed) {
    WinError e = ERROR_SUCCESS;
    if (mode_ == Mode::Journal) e = journal_.Append({{"end", "cure"}, {"completed", completed}});
    if (mode_ != Mode::Halted) journal_.Close();
    mode_ = Mode::Pass;
    row_ = -1;
    return e;
}

void JournalingMachine::Halt() {
    mode_ = Mode::Halted;
    row_ = -1;
    journal_.Close();
}

bool JournalingMachine::IsQuarantine(std::string_view pattern, std::string_view name) const {
    if (quarantine_.empty()) return false;
    const std::size_t slash = quarantine_.rfind('\\');
    if (slash == std::string::npos || !text::EqualsNoCase(quarantine_.substr(slash + 1), name))
        return false;
    // Only a listing of the quarantine's own parent folder hides it.
    std::size_t cut = pattern.size();
    while (cut > 0 && pattern[cut - 1] != '\\' && pattern[cut - 1] != '/') --cut;
    std::string folder(pattern.substr(0, cut));
    while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    std::string longFolder, longParent;
    if (inner_->files().GetLongPathName(folder, longFolder) != ERROR_SUCCESS) return false;
    if (inner_->files().GetLongPathName(quarantine_.substr(0, slash), longParent) != ERROR_SUCCESS)
        return false;
    while (longFolder.size() > 3 && longFolder.back() == '\\') longFolder.pop_back();
    return text::EqualsNoCase(longFolder, longParent);
}

WinError JournalingMachine::Keep(std::string_view path, std::uint64_t seq, Json& state) {
    char name[32];
    std::snprintf(name, sizeof name, "%06llu.gz", static_cast<unsigned long long>(seq));
    std::string sha;
    std::uint64_t size = 0;
    const std::string source(path);
    auto progress = [this, &source](std::uint64_t done, std::uint64_t total) {
        if (observer_) observer_->OnFileProgress(source, done, total);
    };
    if (WinError e =
            StorePayload(inner_->files(), path, cureFolder() + "\\" + name, sha, size, progress))
        return e;
    state["payload"] = name;
    state["sha256"] = sha;
    state["size"] = size;
    return ERROR_SUCCESS;
}

WinError JournalingMachine::Make(Step& step) {
    if (mode_ == Mode::Halted) return ERROR_WRITE_FAULT;
    Change& c = step.change;
    c.row = row_;
    c.seq = ++seq_;
    if (mode_ == Mode::Plan) {
        // What the plan does not make stays for the next lines to find, so
        // they plan the same change again: it is listed once.
        for (const Change& planned : changes_) {
            if (planned.op == c.op && planned.type == c.type && planned.text == c.text)
                return ERROR_SUCCESS;
        }
        c.finished = true;
        changes_.push_back(c);
        if (observer_) observer_->OnChange(c);
        return ERROR_SUCCESS;
    }
    auto dropPayload = [&] {
        if (c.before.is_object() && c.before.contains("payload"))
            (void)inner_->files().DeleteFile(cureFolder() + "\\" +
                                             c.before["payload"].get<std::string>());
    };
    if (step.before) c.before = step.before();
    // The content goes into the quarantine first; without it, nothing changes.
    if (step.keep) {
        if (WinError e = step.keep(c)) {
            if (e == ERROR_DISK_FULL) {
                Stop("the disk of the quarantine is full: " + c.text + " could not be kept", true);
            }
            return e;
        }
    }
    if (WinError e = journal_.Append(ChangeLine(c))) {
        dropPayload();
        JournalFailed(e);
        return e;
    }
    c.result = step.apply();
    c.after = c.result == ERROR_SUCCESS && step.after ? step.after() : c.before;
    c.finished = true;
    // The outcome reaches the disk with the next change's line or the end line;
    // lost, the restore compares the machine with the state before instead.
    const WinError outcome = journal_.Append(OutcomeLine(c), false);
    if (c.result != ERROR_SUCCESS) {
        dropPayload();
    } else if (!MadeNoChange(c)) {
        changes_.push_back(c);
        if (observer_) observer_->OnChange(c);
    }
    if (outcome != ERROR_SUCCESS && mode_ == Mode::Journal) JournalFailed(outcome);
    return c.result;
}

void JournalingMachine::JournalFailed(WinError e) {
    // A line that failed may be on the disk in part: nothing may follow it.
    Stop("the journal " + cureFolder() + "\\" + std::string(kCureJournalName) +
             " cannot be written (Windows error " + std::to_string(e) + ")",
         false);
}

void JournalingMachine::Stop(std::string problem, bool journalWhole) {
    if (mode_ != Mode::Journal) return;
    stopProblem_ = std::move(problem);
    if (journalWhole) {
        // Short enough to fit where a file did not; cut short, readers drop it.
        (void)journal_.Append({{"end", "cure"}, {"completed", false}, {"stopped", stopProblem_}});
    }
    Halt();
    if (cancel_ != nullptr) cancel_->store(1);
}

std::unique_ptr<JournalingMachine> Journaled(std::unique_ptr<LoadedMachine> opened,
                                             std::string_view chosen) {
    auto m = std::make_unique<JournalingMachine>(std::move(opened));
    m->SetQuarantineFolder(QuarantineFolder(*m, chosen));
    return m;
}

}  // namespace veldan::quarantine
