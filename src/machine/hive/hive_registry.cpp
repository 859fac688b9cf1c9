#include "machine/hive/hive_registry.h"

#include <algorithm>
#include <cerrno>

#include "host/errno_map.h"
#include "machine/registry_paths.h"
#include "text/strings.h"

namespace veldan::machine::hive {
namespace {

std::vector<std::string_view> SplitPath(std::string_view path) {
    std::vector<std::string_view> parts;
    AppendKeyParts(path, parts);
    return parts;
}

// The result of a hive operation that reports an errno value (0: success). A
// value too large for one cell (EFBIG) is something the hive format cannot
// hold; errno values without a Windows counterpart mean the hive was not written.
WinError FromErrno(int err) {
    if (err == 0) return ERROR_SUCCESS;
    if (err == EFBIG) return ERROR_NOT_SUPPORTED;
    return host::WinErrorFromErrno(err, ERROR_CANTWRITE);
}

void SortNames(std::vector<std::string>& names) {
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        int c = text::CompareUpper(a, b);
        return c != 0 ? c < 0 : a < b;
    });
}

// Adds `name` unless a name equal to it (ASCII case ignored) is there already.
void AddUnique(std::vector<std::string>& names, const std::string& name) {
    for (const auto& n : names) {
        if (text::EqualsNoCase(n, name)) return;
    }
    names.push_back(name);
}

}  // namespace

HiveRegistry::HiveRegistry(bool hasSecurity) : hasSecurity_(hasSecurity) {}

HiveRegistry::~HiveRegistry() = default;

bool HiveRegistry::Mount(HKEY root, std::string_view path, const std::string& hostPath,
                         std::string_view node, bool force, std::string& error) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!IsStoredRoot(root)) {
        error = "hives mount under HKLM, HKCU or HKU only";
        return false;
    }
    MountPoint m;
    m.root = root;
    for (auto p : SplitPath(path)) m.parts.emplace_back(p);
    for (auto p : SplitPath(node)) m.nodeParts.emplace_back(p);
    for (const auto& other : mounts_) {
        if (other.root == root && other.parts.size() == m.parts.size()) {
            Parts parts(m.parts.begin(), m.parts.end());
            if (PrefixOf(other.parts, parts)) {
                error = std::string(path) + ": a hive is mounted there already";
                return false;
            }
        }
    }
    for (const auto& f : files_) {
        if (f->path() == hostPath) m.file = f.get();
    }
    if (m.file == nullptr) {
        auto file = HiveFile::Open(hostPath, force, error);
        if (!file) return false;
        m.file = file.get();
        files_.push_back(std::move(file));
    }
    mounts_.push_back(std::move(m));
    return true;
}

// ---- Finding keys ----

bool HiveRegistry::PrefixOf(const std::vector<std::string>& prefix, const Parts& parts) {
    if (prefix.size() > parts.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (!text::EqualsNoCase(prefix[i], parts[i])) return false;
    }
    return true;
}

const HiveRegistry::MountPoint* HiveRegistry::Longest(HKEY root, const Parts& parts) const {
    const MountPoint* best = nullptr;
    for (const auto& m : mounts_) {
        if (m.root != root || !PrefixOf(m.parts, parts)) continue;
        if (best == nullptr || m.parts.size() > best->parts.size()) best = &m;
    }
    return best;
}

hive_node_h HiveRegistry::MountNode(const MountPoint& m, bool create, int* err) const {
    hive_node_h node = m.file->root();
    for (const auto& part : m.nodeParts) {
        hive_node_h child = m.file->FindChild(node, part);
        if (child == 0) {
            if (!create) return 0;
            int e = m.file->AddChild(node, part, child);
            if (e != 0) {
                if (err != nullptr) *err = e;
                return 0;
            }
        }
        node = child;
    }
    return node;
}

HiveRegistry::Loc HiveRegistry::Find(HKEY root, const Parts& parts) const {
    Loc loc;
    if (const MountPoint* m = Longest(root, parts)) {
        hive_node_h node = MountNode(*m, false, nullptr);
        for (std::size_t i = m->parts.size(); node != 0 && i < parts.size(); ++i) {
            node = m->file->FindChild(node, parts[i]);
        }
        if (node != 0) {
            loc.kind = Kind::Key;
            loc.file = m->file;
            loc.node = node;
            loc.mountPoint = parts.size() == m->parts.size();
            return loc;
        }
    }
    // Keys above the mounts exist as long as something is mounted below them;
    // the roots always do.
    if (parts.empty() || MountsBelow(root, parts)) {
        loc.kind = Kind::Virtual;
        loc.mountPoint = true;
    }
    return loc;
}

bool HiveRegistry::MountsBelow(HKEY root, const Parts& parts) const {
    for (const auto& m : mounts_) {
        if (m.root != root || m.parts.size() <= parts.size()) continue;
        Parts mp(m.parts.begin(), m.parts.end());
        std::vector<std::string> prefix(parts.begin(), parts.end());
        if (PrefixOf(prefix, mp)) return true;
    }
    return false;
}

std::vector<std::string> HiveRegistry::MountChildren(HKEY root, const Parts& parts) const {
    std::vector<std::string> names;
    std::vector<std::string> prefix(parts.begin(), parts.end());
    for (const auto& m : mounts_) {
        if (m.root != root || m.parts.size() <= parts.size()) continue;
        Parts mp(m.parts.begin(), m.parts.end());
        if (!PrefixOf(prefix, mp)) continue;
        // Only mounts that lead somewhere show.
        if (Find(root, mp).kind == Kind::Missing) continue;
        AddUnique(names, m.parts[parts.size()]);
    }
    return names;
}

std::vector<std::string> HiveRegistry::SubKeyNames(HKEY root, const Parts& parts,
                                                   const Loc& loc) const {
    std::vector<std::string> names;
    if (loc.kind == Kind::Key) {
        for (const auto& c : loc.file->Children(loc.node)) names.push_back(c.name);
    }
    std::vector<std::string> mounted = MountChildren(root, parts);
    if (mounted.empty()) return names;
    for (const auto& n : mounted) AddUnique(names, n);
    SortNames(names);
    return names;
}

void HiveRegistry::FindClasses(const Parts& parts, ClassesPair& pair) const {
    pair.path = {"Software", "Classes"};
    for (auto p : parts) pair.path.emplace_back(p);
    pair.parts.assign(pair.path.begin(), pair.path.end());
    pair.user = Find(HKEY_CURRENT_USER, pair.parts);
    pair.machine = Find(HKEY_LOCAL_MACHINE, pair.parts);
}

const std::vector<std::string>& HiveRegistry::ClassesSubKeyNames(const ClassesPair& pair) const {
    if (MountsBelow(HKEY_CURRENT_USER, pair.parts) || MountsBelow(HKEY_LOCAL_MACHINE, pair.parts) ||
        pair.user.kind == Kind::Virtual || pair.machine.kind == Kind::Virtual) {
        unmerged_ = MergeClassesSubKeyNames(pair);
        return unmerged_;
    }
    auto generation = [](const Loc& l) { return l.file != nullptr ? l.file->generation() : 0; };
    MergedNames key;
    key.userKind = pair.user.kind;
    key.machineKind = pair.machine.kind;
    key.userFile = pair.user.file;
    key.machineFile = pair.machine.file;
    key.userNode = pair.user.node;
    key.machineNode = pair.machine.node;
    key.userGeneration = generation(pair.user);
    key.machineGeneration = generation(pair.machine);
    const MergedNames& m = merged_;
    if (m.valid && m.userKind == key.userKind && m.machineKind == key.machineKind &&
        m.userFile == key.userFile && m.machineFile == key.machineFile &&
        m.userNode == key.userNode && m.machineNode == key.machineNode &&
        m.userGeneration == key.userGeneration && m.machineGeneration == key.machineGeneration) {
        return merged_.names;
    }
    key.names = MergeClassesSubKeyNames(pair);
    key.valid = true;
    merged_ = std::move(key);
    return merged_.names;
}

std::vector<std::string> HiveRegistry::MergeClassesSubKeyNames(const ClassesPair& pair) const {
    std::vector<std::string> names;
    if (pair.user.kind != Kind::Missing) {
        names = SubKeyNames(HKEY_CURRENT_USER, pair.parts, pair.user);
    }
    if (pair.machine.kind == Kind::Missing) return names;
    std::vector<std::string> machine = SubKeyNames(HKEY_LOCAL_MACHINE, pair.parts, pair.machine);
    if (names.empty()) return machine;
    // Both sorted: merge, the user's spelling first.
    std::vector<std::string> merged;
    merged.reserve(names.size() + machine.size());
    std::size_t i = 0, j = 0;
    while (i < names.size() || j < machine.size()) {
        if (j == machine.size()) {
            merged.push_back(names[i++]);
        } else if (i == names.size()) {
            merged.push_back(machine[j++]);
        } else {
            int c = text::CompareUpper(names[i], machine[j]);
            if (c == 0) {
                merged.push_back(names[i++]);
                ++j;
            } else if (c < 0) {
                merged.push_back(names[i++]);
            } else {
                merged.push_back(machine[j++]);
            }
        }
    }
    return merged;
}

HiveRegistry::Loc HiveRegistry::Resolve(HKEY root, const Parts& parts) const {
    if (root != HKEY_CLASSES_ROOT) return Find(root, parts);
    ClassesPair pair;
    FindClasses(parts, pair);
    return pair.Shown();
}

// ---- Reading ----

WinError HiveRegistry::OpenKey(HKEY root, std::string_view subKey) const {
    if (!IsKnownRoot(root)) return ERROR_INVALID_HANDLE;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return Resolve(root, SplitPath(subKey)).kind != Kind::Missing ? ERROR_SUCCESS
                                                                  : ERROR_FILE_NOT_FOUND;
}

WinError HiveRegistry::QueryInfoKey(HKEY root, std::string_view subKey, RegKeyInfo& info) const {
    if (!IsKnownRoot(root)) return ERROR_INVALID_HANDLE;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Parts parts = SplitPath(subKey);
    std::size_t subKeys = 0;
    Loc shown;
    if (root == HKEY_CLASSES_ROOT) {
        ClassesPair pair;
        FindClasses(parts, pair);
        if (!pair.Exists()) return ERROR_FILE_NOT_FOUND;
        subKeys = ClassesSubKeyNames(pair).size();
        shown = pair.Shown();
    } else {
        shown = Find(root, parts);
        if (shown.kind == Kind::Missing) return ERROR_FILE_NOT_FOUND;
        subKeys = SubKeyNames(root, parts, shown).size();
    }
    info.subKeys = static_cast<std::uint32_t>(subKeys);
    info.values = shown.kind == Kind::Key
                      ? static_cast<std::uint32_t>(shown.file->ValueCount(shown.node))
                      : 0;
    return ERROR_SUCCESS;
}

WinError HiveRegistry::EnumKey(HKEY root, std::string_view subKey, std::uint32_t index,
                               std::string& name) const {
    if (!IsKnownRoot(root)) return ERROR_INVALID_HANDLE;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Parts parts = SplitPath(subKey);
    // Keys below the depth Windows allows are not shown: whoever walks the tree
    // stays bounded, whatever a damaged or crafted hive holds.
    if (parts.size() >= kMaxKeyDepth) return ERROR_NO_MORE_ITEMS;
    ClassesPair pair;  // outlives `parts`, which may point into it
    if (root == HKEY_CLASSES_ROOT) {
        FindClasses(parts, pair);
        if (!pair.Exists()) return ERROR_FILE_NOT_FOUND;
        // Without a user key the view is the machine's: no merge needed.
        if (pair.user.kind == Kind::Missing) {
            root = HKEY_LOCAL_MACHINE;
            parts = pair.parts;
        } else {
            const std::vector<std::string>& names = ClassesSubKeyNames(pair);
            if (index >= names.size()) return ERROR_NO_MORE_ITEMS;
            name = names[index];
            return ERROR_SUCCESS;
        }
    }
    Loc loc = Find(root, parts);
    if (loc.kind == Kind::Missing) return ERROR_FILE_NOT_FOUND;
    if (loc.kind == Kind::Key && !MountsBelow(root, parts)) {
        // The common case: the cached sorted list, one step per call.
        const auto& children = loc.file->Children(loc.node);
        if (index >= children.size()) return ERROR_NO_MORE_ITEMS;
        name = children[index].name;
        return ERROR_SUCCESS;
    }
    std::vector<std::string> names = SubKeyNames(root, parts, loc);
    if (index >= names.size()) return ERROR_NO_MORE_ITEMS;
    name = names[index];
    return ERROR_SUCCESS;
}

WinError HiveRegistry::EnumValue(HKEY root, std::string_view subKey, std::uint32_t index,
                                 std::string& name, RegValue* value) const {
    if (!IsKnownRoot(root)) return ERROR_INVALID_HANDLE;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Loc loc = Resolve(root, SplitPath(subKey));
    if (loc.kind == Kind::Missing) return ERROR_FILE_NOT_FOUND;
    if (loc.kind == Kind::Virtual) return ERROR_NO_MORE_ITEMS;
    RawValue raw;
    if (index >= loc.file->ValueCount(loc.node)) return ERROR_NO_MORE_ITEMS;
    if (!loc.file->ValueAt(loc.node, index, raw)) return ERROR_CANTREAD;
    name = raw.name;
    if (value != nullptr) *value = FromHiveValue(raw);
    return ERROR_SUCCESS;
}

WinError HiveRegistry::QueryValue(HKEY root, std::string_view subKey, std::string_view name,
                                  RegValue& value) const {
    if (!IsKnownRoot(root)) return ERROR_INVALID_HANDLE;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Loc loc = Resolve(root, SplitPath(subKey));
    if (loc.kind != Kind::Key) return ERROR_FILE_NOT_FOUND;
    RawValue raw;
    if (!loc.file->ReadValue(loc.node, name, raw)) return ERROR_FILE_NOT_FOUND;
    value = FromHiveValue(raw);
    return ERROR_SUCCESS;
}

// ---- Changing ----

WinError HiveRegistry::Create(HKEY root, const Parts& parts) {
    Loc loc = Find(root, parts);
    if (loc.kind != Kind::Missing) return ERROR_SUCCESS;
    const MountPoint* m = Longest(root, parts);
    if (m == nullptr) return ERROR_ACCESS_DENIED;  // above the mounts
    int err = 0;
    hive_node_h node = MountNode(*m, true, &err);
    if (node == 0) return FromErrno(err);
    for (std::size_t i = m->parts.size(); i < parts.size(); ++i) {
        hive_node_h child = m->file->FindChild(node, parts[i]);
        if (child == 0) {
            int e = m->file->AddChild(node, parts[i], child);
            if (e != 0) return FromErrno(e);
        }
        node = child;
    }
    return ERROR_SUCCESS;
}

WinError HiveRegistry::CreateKey(HKEY root, std::string_view subKey) {
    if (!IsKnownRoot(root)) return ERROR_INVALID_HANDLE;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Parts parts = SplitPath(subKey);
    if (root == HKEY_CLASSES_ROOT) {
        ClassesPair pair;
        FindClasses(parts, pair);
        if (pair.Exists()) return ERROR_SUCCESS;
        return Create(HKEY_LOCAL_MACHINE, pair.parts);
    }
    return Create(root, parts);
}

WinError HiveRegistry::SetRaw(const Loc& loc, const RawValue& value) {
    if (loc.kind == Kind::Missing) return ERROR_FILE_NOT_FOUND;
    if (loc.kind == Kind::Virtual) return ERROR_ACCESS_DENIED;
    std::vector<RawValue> values;
    if (!loc.file->ReadValues(loc.node, values)) return ERROR_CANTREAD;
    bool replaced = false;
    for (auto& v : values) {
        if (text::EqualsNoCase(v.name, value.name)) {
            // The value keeps its place and its first name.
            v.type = value.type;
            v.bytes = value.bytes;
            replaced = true;
            break;
        }
    }
    if (!replaced) values.push_back(value);
    return FromErrno(loc.file->WriteValues(loc.node, values));
}

WinError HiveRegistry::RemoveValue(const Loc& loc, std::string_view name) {
    if (loc.kind != Kind::Key) return ERROR_FILE_NOT_FOUND;
    std::vector<RawValue> values;
    if (!loc.file->ReadValues(loc.node, values)) return ERROR_CANTREAD;
    auto it = std::find_if(values.begin(), values.end(),
                           [&](const RawValue& v) { return text::EqualsNoCase(v.name, name); });
    if (it == values.end()) return ERROR_FILE_NOT_FOUND;
    values.erase(it);
    return FromErrno(loc.file->WriteValues(loc.node, values));
}

WinError HiveRegistry::SetValue(HKEY root, std::string_view subKey, std::string_view name,
                                const RegValue& value) {
    if (!IsKnownRoot(root)) return ERROR_INVALID_HANDLE;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return SetRaw(Resolve(root, SplitPath(subKey)), ToHiveValue(name, value));
}

WinError HiveRegistry::DeleteValue(HKEY root, std::string_view subKey, std::string_view name) {
    if (!IsKnownRoot(root)) return ERROR_INVALID_HANDLE;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return RemoveValue(Resolve(root, SplitPath(subKey)), name);
}

bool HiveRegistry::TreeHasDenyDelete(const Loc& loc) const {
    for (const auto& [file, node] : denyDelete_) {
        if (file == loc.file && loc.file->IsAncestor(loc.node, node)) return true;
    }
    return false;
}

bool HiveRegistry::TreeHoldsMountNode(const Loc& loc) const {
    for (const auto& m : mounts_) {
        if (m.file != loc.file) continue;
        hive_node_h node = MountNode(m, false, nullptr);
        if (node != 0 && loc.file->IsAncestor(loc.node, node)) return true;
    }
    return false;
}

void HiveRegistry::ForgetDenyDelete(const Loc& loc) {
    for (auto it = denyDelete_.begin(); it != denyDelete_.end();) {
        if (it->first == loc.file && loc.file->IsAncestor(loc.node, it->second)) {
            it = denyDelete_.erase(it);
        } else {
            ++it;
        }
    }
}

WinError HiveRegistry::DeleteAt(HKEY root, const Parts& parts, bool tree) {
    Loc loc = Find(root, parts);
    if (loc.kind == Kind::Missing) return ERROR_FILE_NOT_FOUND;
    // Roots, keys above the mounts and mount points stay; so do keys that a
    // mount shows elsewhere (the current control set, a loaded user hive).
    if (loc.kind == Kind::Virtual || loc.mountPoint || MountsBelow(root, parts) ||
        TreeHoldsMountNode(loc)) {
        return ERROR_ACCESS_DENIED;
    }
    if (!tree && !loc.file->Children(loc.node).empty()) return ERROR_ACCESS_DENIED;
    // All or nothing: one key that may not be deleted keeps the whole tree.
    if (TreeHasDenyDelete(loc)) return ERROR_ACCESS_DENIED;
    int err = loc.file->DeleteTree(loc.node);
    if (err != 0) return FromErrno(err);
    ForgetDenyDelete(loc);
    return ERROR_SUCCESS;
}

WinError HiveRegistry::DeleteKey(HKEY root, std::string_view subKey) {
    return Delete(root, subKey, false);
}

WinError HiveRegistry::DeleteTree(HKEY root, std::string_view subKey) {
    return Delete(root, subKey, true);
}

bool HiveRegistry::ClassesDeleteRefused(const ClassesPair& pair, bool tree) const {
    if (!tree) {
        if (!ClassesSubKeyNames(pair).empty()) return true;
        for (const Loc* l : {&pair.user, &pair.machine}) {
            if (l->kind == Kind::Key && denyDelete_.count({l->file, l->node}) > 0) return true;
        }
        return false;
    }
    for (const Loc* l : {&pair.user, &pair.machine}) {
        if (l->kind == Kind::Virtual ||
            (l->kind == Kind::Key &&
             (l->mountPoint || TreeHasDenyDelete(*l) || TreeHoldsMountNode(*l)))) {
            return true;
        }
    }
    return MountsBelow(HKEY_CURRENT_USER, pair.parts) ||
           MountsBelow(HKEY_LOCAL_MACHINE, pair.parts);
}

WinError HiveRegistry::Delete(HKEY root, std::string_view subKey, bool tree) {
    if (!IsKnownRoot(root)) return ERROR_INVALID_HANDLE;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Parts parts = SplitPath(subKey);
    if (parts.empty()) return ERROR_ACCESS_DENIED;
    if (root != HKEY_CLASSES_ROOT) return DeleteAt(root, parts, tree);
    ClassesPair pair;
    FindClasses(parts, pair);
    if (!pair.Exists()) return ERROR_FILE_NOT_FOUND;
    // Check both before deleting either, so that a refusal deletes nothing.
    if (ClassesDeleteRefused(pair, tree)) return ERROR_ACCESS_DENIED;
    WinError e = ERROR_SUCCESS;
    if (pair.user.kind != Kind::Missing) e = DeleteAt(HKEY_CURRENT_USER, pair.parts, tree);
    if (e == ERROR_SUCCESS && pair.machine.kind != Kind::Missing) {
        e = DeleteAt(HKEY_LOCAL_MACHINE, pair.parts, tree);
    }
    return e;
}

WinError HiveRegistry::GetKeySecurity(HKEY root, std::string_view subKey,
                                      KeySecurity& security) const {
    if (!hasSecurity_) return ERROR_CALL_NOT_IMPLEMENTED;
    if (!IsKnownRoot(root)) return ERROR_INVALID_HANDLE;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Loc loc = Resolve(root, SplitPath(subKey));
    if (loc.kind == Kind::Missing) return ERROR_FILE_NOT_FOUND;
    security.denyDelete = loc.kind == Kind::Key && denyDelete_.count({loc.file, loc.node}) > 0;
    return ERROR_SUCCESS;
}

WinError HiveRegistry::SetKeySecurity(HKEY root, std::string_view subKey,
                                      const KeySecurity& security) {
    if (!hasSecurity_) return ERROR_CALL_NOT_IMPLEMENTED;
    if (!IsKnownRoot(root)) return ERROR_INVALID_HANDLE;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Loc loc = Resolve(root, SplitPath(subKey));
    if (loc.kind == Kind::Missing) return ERROR_FILE_NOT_FOUND;
    if (loc.kind == Kind::Virtual) return ERROR_ACCESS_DENIED;
    if (security.denyDelete) {
        denyDelete_.insert({loc.file, loc.node});
    } else {
        denyDelete_.erase({loc.file, loc.node});
    }
    return ERROR_SUCCESS;
}

// ---- Writing back ----

bool HiveRegistry::HasChanges() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    for (const auto& f : files_) {
        if (f->dirty()) return true;
    }
    return false;
}

bool HiveRegistry::Commit(bool backup, std::string& error) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::string failures;
    for (const auto& f : files_) {
        std::string e;
        if (!f->Commit(backup, e)) {
            if (!failures.empty()) failures += "; ";
            failures += e;
        }
    }
    if (failures.empty()) return true;
    error = failures;
    return false;
}

std::vector<std::string> HiveRegistry::Files() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::vector<std::string> out;
    for (const auto& f : files_) out.push_back(f->path());
    return out;
}

std::vector<std::string> HiveRegistry::Backups() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::vector<std::string> out;
    for (const auto& f : files_) {
        if (!f->backupPath().empty()) out.push_back(f->backupPath());
    }
    return out;
}

}  // namespace veldan::machine::hive
