#include "quarantine/restore.h"

#include <algorithm>
#include <set>

#include "machine/registry_paths.h"
#include "quarantine/payload.h"
#include "text/strings.h"

namespace veldan::quarantine {
using namespace machine;

namespace {

struct KeyRef {
    HKEY root = 0;
    std::string key;
};

bool TargetKey(const Change& c, KeyRef& k) {
    if (!c.target.is_object() || !c.target["root"].is_string() || !c.target["key"].is_string())
        return false;
    k.root = RootFromName(c.target["root"].get<std::string>());
    k.key = c.target["key"].get<std::string>();
    return k.root != 0;
}

std::string TargetPath(const Change& c) {
    return c.target.is_object() ? c.target.value("path", std::string()) : std::string();
}

// The state the change's target shows now, in the form its journal keeps.
bool Current(Machine& m, const Change& c, Json& state) {
    KeyRef k;
    if (c.kind == "regtree" && TargetKey(c, k)) {
        state = CaptureTree(m.registry(), k.root, k.key);
    } else if (c.kind == "regvalues" && TargetKey(c, k)) {
        state = CaptureValues(m.registry(), k.root, k.key);
    } else if (c.kind == "regsecurity" && TargetKey(c, k)) {
        state = CaptureSecurity(m.registry(), k.root, k.key);
    } else if (c.kind == "file") {
        state = CaptureFile(m.files(), TargetPath(c), true);
    } else if (c.kind == "attributes") {
        std::uint32_t a = 0;
        state = m.files().GetAttributes(TargetPath(c), a) == ERROR_SUCCESS ? Json(a) : Json();
    } else if (c.kind == "times") {
        FileTimes t;
        state = m.files().GetFileTime(TargetPath(c), t) == ERROR_SUCCESS
                    ? Json{t.creation, t.lastAccess, t.lastWrite}
                    : Json();
    } else {
        return false;
    }
    return true;
}

// A tree without the keys' rights, which changes of their own put back.
Json WithoutRights(Json tree) {
    if (!tree.is_object()) return tree;
    tree.erase("denyDelete");
    if (tree.contains("keys") && tree["keys"].is_array()) {
        for (Json& child : tree["keys"]) child = WithoutRights(std::move(child));
    }
    return tree;
}

// Whether the target shows state `b`, in what this change owns: a tree its keys
// and values, a file its content. A key that is gone has no values.
bool Same(const Change& c, const Json& a, const Json& b) {
    if (c.kind == "file") return SameFile(a, b);
    if (c.kind == "regtree") return WithoutRights(a) == WithoutRights(b);
    if (c.kind == "regvalues") {
        const Json none = Json::array();
        return (a.is_null() ? none : a) == (b.is_null() ? none : b);
    }
    return a == b;
}

// Key paths below a root, compared without regard to ASCII case.
std::vector<std::string> KeyParts(const std::string& key) {
    std::vector<std::string> parts;
    std::size_t pos = 0;
    while (pos <= key.size()) {
        std::size_t end = key.find('\\', pos);
        if (end == std::string::npos) end = key.size();
        if (end > pos) parts.push_back(text::UpperAscii(key.substr(pos, end - pos)));
        pos = end + 1;
    }
    return parts;
}

// True when `inner` is `outer` or below it; `rest` gets the parts below.
bool Below(const std::vector<std::string>& outer, const std::vector<std::string>& inner,
           std::vector<std::string>& rest) {
    if (inner.size() < outer.size() || !std::equal(outer.begin(), outer.end(), inner.begin()))
        return false;
    rest.assign(inner.begin() + static_cast<std::ptrdiff_t>(outer.size()), inner.end());
    return true;
}

// The node at `rest` below `tree`; null when it is not there.
Json* Node(Json& tree, const std::vector<std::string>& rest) {
    Json* node = &tree;
    for (const std::string& part : rest) {
        if (!node->is_object() || !(*node)["keys"].is_array()) return nullptr;
        Json* next = nullptr;
        for (Json& child : (*node)["keys"]) {
            if (text::UpperAscii(child.value("name", std::string())) == part) next = &child;
        }
        if (next == nullptr) return nullptr;
        node = next;
    }
    return node;
}

// Puts `state` (a tree, or null for none) at `rest` below `tree`.
void Replace(Json& tree, const std::vector<std::string>& rest, const Json& state) {
    if (rest.empty()) {
        tree = state;
        return;
    }
    std::vector<std::string> parentPath(rest.begin(), rest.end() - 1);
    Json* parent = Node(tree, parentPath);
    if (parent == nullptr) return;
    Json& keys = (*parent)["keys"];
    for (auto k = keys.begin(); k != keys.end(); ++k) {
        if (text::UpperAscii(k->value("name", std::string())) == rest.back()) {
            if (state.is_null()) {
                keys.erase(k);
            } else {
                *k = state;
            }
            return;
        }
    }
    if (!state.is_null()) keys.push_back(state);
}

// The state the target of registry change `it` had before the cure: its state
// before the change with the states before every earlier change laid over it.
Json StateBeforeCure(const CureJournal& journal, std::vector<Change>::const_reverse_iterator it) {
    const Change& c = *it;
    Json state = c.before;
    const std::vector<std::string> key = KeyParts(c.target.value("key", std::string()));
    for (auto e = std::next(it); e != journal.changes.rend(); ++e) {
        if (e->finished && e->result != ERROR_SUCCESS) continue;
        if (e->target.value("root", std::string()) != c.target.value("root", std::string()))
            continue;
        const std::vector<std::string> other = KeyParts(e->target.value("key", std::string()));
        std::vector<std::string> rest;
        if (e->kind == "regtree" && Below(other, key, rest)) {
            // An earlier tree holds the target.
            Json before = e->before;
            Json* node = before.is_null() ? nullptr : Node(before, rest);
            if (c.kind == "regtree") state = node ? *node : Json();
            if (c.kind == "regvalues") state = node ? (*node)["values"] : Json();
        } else if (c.kind == "regtree" && state.is_object() && Below(key, other, rest)) {
            // An earlier change below the target.
            if (e->kind == "regtree") Replace(state, rest, e->before);
            if (e->kind == "regvalues" && !e->before.is_null()) {
                if (Json* node = Node(state, rest)) (*node)["values"] = e->before;
            }
        } else if (c.kind == "regvalues" && e->kind == "regvalues" && other == key) {
            state = e->before;
        }
    }
    return state;
}

// True when the target of change `it` shows the state it had before the cure:
// the cure's changes since never reached the disk (a registry is written back
// only when the machine is saved), or earlier changes of it are undone already.
bool ShowsStateBeforeCure(const CureJournal& journal,
                          std::vector<Change>::const_reverse_iterator it, const Json& now) {
    const Change& c = *it;
    if (c.kind == "regtree" || c.kind == "regvalues")
        return Same(c, now, StateBeforeCure(journal, it));
    for (auto e = std::next(it); e != journal.changes.rend(); ++e) {
        if (e->kind == c.kind && e->target == c.target &&
            !(e->finished && e->result != ERROR_SUCCESS) && Same(c, now, e->before))
            return true;
    }
    return false;
}

FileTimes TimesOf(const Json& j) {
    FileTimes t;
    if (j.is_array() && j.size() == 3 && j[0].is_number_unsigned() && j[1].is_number_unsigned() &&
        j[2].is_number_unsigned()) {
        t = {j[0].get<std::uint64_t>(), j[1].get<std::uint64_t>(), j[2].get<std::uint64_t>()};
    }
    return t;
}

WinError ClearReadOnly(FileSystem& fs, const std::string& path) {
    std::uint32_t a = 0;
    if (fs.GetAttributes(path, a) != ERROR_SUCCESS || (a & FILE_ATTRIBUTE_READONLY) == 0)
        return ERROR_SUCCESS;
    return fs.SetAttributes(path, a & ~FILE_ATTRIBUTE_READONLY);
}

// Puts back a file or folder as `before` describes it.
WinError PutFile(FileSystem& fs, const std::string& folder, const Change& c, std::string& detail,
                 JournalObserver* observer) {
    const std::string path = TargetPath(c);
    const Json& before = c.before;
    const Json now = CaptureFile(fs, path, false);
    if (!before.value("exists", false)) {
        if (!now.value("exists", false)) return ERROR_SUCCESS;
        if (WinError e = ClearReadOnly(fs, path)) return e;
        return now.value("folder", false) ? fs.RemoveDirectory(path) : fs.DeleteFile(path);
    }
    if (before.value("folder", false)) {
        if (!now.value("exists", false)) {
            if (WinError e = fs.CreateDirectory(path)) return e;
        }
    } else {
        const std::string payload = before.value("payload", std::string());
        if (payload.empty()) {
            detail = "the journal keeps no content for it";
            return ERROR_INVALID_DATA;
        }
        // Unpacked beside the file and renamed over it: the file is whole or untouched.
        const std::size_t slash = path.rfind('\\');
        const std::string temp = path.substr(0, slash == std::string::npos ? 0 : slash) +
                                 "\\~veldan-restore-" + std::to_string(c.seq) + ".tmp";
        std::string sha;
        auto progress = [&](std::uint64_t done, std::uint64_t total) {
            if (observer) observer->OnFileProgress(path, done, total);
        };
        WinError e = UnpackPayload(fs, folder + "\\" + payload, temp, sha, progress);
        if (e == ERROR_SUCCESS && sha != before.value("sha256", std::string())) {
            e = ERROR_INVALID_DATA;
        }
        if (e == ERROR_INVALID_DATA) detail = "its kept content " + payload + " is damaged";
        if (e == ERROR_SUCCESS) e = ClearReadOnly(fs, path);
        if (e == ERROR_SUCCESS) e = fs.MoveFile(temp, path, true);
        if (e != ERROR_SUCCESS) {
            (void)fs.DeleteFile(temp);
            return e;
        }
    }
    (void)fs.SetFileTime(path, TimesOf(before.value("times", Json())));
    return fs.SetAttributes(path, before.value("attributes", FILE_ATTRIBUTE_NORMAL));
}

// Puts back the state before change `c`.
WinError Undo(Machine& m, const std::string& folder, const Change& c, std::string& detail,
              JournalObserver* observer) {
    KeyRef k;
    Registry& reg = m.registry();
    if (c.kind == "regtree" && TargetKey(c, k)) {
        if (reg.OpenKey(k.root, k.key) == ERROR_SUCCESS) {
            if (WinError e = reg.DeleteTree(k.root, k.key)) return e;
        }
        return c.before.is_null() ? ERROR_SUCCESS : WriteTree(reg, k.root, k.key, c.before);
    }
    if (c.kind == "regvalues" && TargetKey(c, k)) {
        if (c.before.is_null()) return ERROR_SUCCESS;
        if (WinError e = reg.CreateKey(k.root, k.key)) return e;
        return WriteValues(reg, k.root, k.key, c.before);
    }
    if (c.kind == "regsecurity" && TargetKey(c, k)) {
        if (!c.before.is_boolean()) return ERROR_SUCCESS;
        KeySecurity security;
        security.denyDelete = c.before.get<bool>();
        return reg.SetKeySecurity(k.root, k.key, security);
    }
    if (c.kind == "attributes" && c.before.is_number_unsigned())
        return m.files().SetAttributes(TargetPath(c), c.before.get<std::uint32_t>());
    if (c.kind == "times") return m.files().SetFileTime(TargetPath(c), TimesOf(c.before));
    if (c.kind == "file") return PutFile(m.files(), folder, c, detail, observer);
    detail = "the journal names no state to put back";
    return ERROR_INVALID_DATA;
}

std::string ErrorText(WinError e) {
    return "Windows error " + std::to_string(e);
}

}  // namespace

WinError LoadCure(const FileSystem& fs, std::string_view root, std::string_view id,
                  CureJournal& journal, std::string& problem) {
    const std::string folder = std::string(root) + "\\" + std::string(id);
    std::uint32_t a = 0;
    if (id.empty() || id.find_first_of("\\/") != std::string_view::npos ||
        fs.GetAttributes(folder, a) != ERROR_SUCCESS || (a & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        problem = "no cure has the id " + std::string(id);
        return ERROR_PATH_NOT_FOUND;
    }
    return ReadCureJournal(fs, folder + "\\" + std::string(kCureJournalName), journal, problem);
}

WinError RestoreCure(Machine& m, std::string_view root, std::string_view id, bool force,
                     RestoreReport& report, std::string& problem, JournalObserver* observer) {
    CureJournal journal;
    if (WinError e = LoadCure(m.files(), root, id, journal, problem)) return e;
    const std::string folder = std::string(root) + "\\" + std::string(id);
    JournalWriter log;
    if (WinError e = log.Open(m.files(), folder + "\\" + std::string(kRestoreJournalName),
                              JournalHeader("restore"))) {
        problem = "cannot write the restore journal in " + folder;
        return e;
    }
    Json run = JournalHeader("restore");
    if (WinError e = log.Append({{"run", run["time"]}, {"force", force}})) {
        problem = "cannot write the restore journal in " + folder;
        return e;
    }
    int conflicts = 0, failed = 0;
    // Targets left in conflict: their earlier changes stay as they are too.
    std::set<std::string> held;
    auto targetOf = [](const Change& c) { return text::UpperAscii(c.target.dump()); };
    for (auto it = journal.changes.rbegin(); it != journal.changes.rend(); ++it) {
        const Change& c = *it;
        if (c.finished && c.result != ERROR_SUCCESS) continue;  // it changed nothing
        if (MadeNoChange(c)) continue;
        RestoreItem item{std::string(id), c.seq, c.op, c.type, c.text, "", ""};
        Json now;
        if (!c.undoable || c.kind == "none") {
            if (!c.finished) continue;
            item.outcome = "not undoable";
            ++report.notUndoable;
        } else if (!Current(m, c, now)) {
            item.outcome = "failed";
            item.detail = "the journal names no state to put back";
        } else if (Same(c, now, c.before) || ShowsStateBeforeCure(journal, it, now)) {
            item.outcome = "already restored";
            ++report.already;
        } else if (!force && held.count(targetOf(c)) != 0) {
            item.outcome = "conflict";
            item.detail = "a later change of it is in conflict";
        } else if (!force && (!c.finished || !Same(c, now, c.after))) {
            item.outcome = "conflict";
            item.detail =
                c.finished ? "changed since the cure" : "the cure stopped while making it";
        } else {
            const WinError e = Undo(m, folder, c, item.detail, observer);
            if (e == ERROR_SUCCESS) {
                item.outcome = "restored";
                ++report.restored;
            } else {
                item.outcome = "failed";
                if (item.detail.empty()) item.detail = ErrorText(e);
            }
        }
        if (item.outcome == "conflict") {
            ++conflicts;
            held.insert(targetOf(c));
        }
        if (item.outcome == "failed") ++failed;
        (void)log.Append({{"seq", c.seq}, {"outcome", item.outcome}, {"text", c.text}});
        report.items.push_back(std::move(item));
    }
    report.conflicts += conflicts;
    report.failed += failed;
    (void)log.Append({{"end", "restore"}, {"conflicts", conflicts}, {"failed", failed}});
    return ERROR_SUCCESS;
}

}  // namespace veldan::quarantine
