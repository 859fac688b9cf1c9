#include "machine/memory_registry.h"

#include <iterator>

#include "text/strings.h"

namespace veldan::machine {
namespace {

using Key = MemoryRegistry::Key;
using Value = MemoryRegistry::Value;

// The non-empty components of a sub-key path, as a stored root sees them: HKCR
// paths get the "Software\Classes" prefix of the HKLM key they stand for.
void Components(HKEY root, std::string_view subKey, std::vector<std::string_view>& parts) {
    parts.clear();
    if (root == HKEY_CLASSES_ROOT) {
        parts.push_back("Software");
        parts.push_back("Classes");
    }
    AppendKeyParts(subKey, parts);
}

// True when the path names the root itself (no components at all).
bool IsRootPath(std::string_view subKey) {
    return subKey.find_first_not_of('\\') == std::string_view::npos;
}

Key* Child(const Key* parent, std::string_view name) {
    // Key names are short: upper-case them on the stack rather than in a new string.
    char buf[128];
    if (name.size() > sizeof buf) {
        auto it = parent->children.find(text::UpperAscii(name));
        return it == parent->children.end() ? nullptr : it->second.get();
    }
    text::UpperAsciiTo(name, buf);
    auto it = parent->children.find(std::string_view(buf, name.size()));
    return it == parent->children.end() ? nullptr : it->second.get();
}

// The entry of the key named by `parts` in its parent's children; `parent` is
// left null when the key does not exist.
std::map<std::string, std::unique_ptr<Key>, std::less<>>::iterator FindInParent(
    Key* top, const std::vector<std::string_view>& parts, Key*& parent) {
    Key* node = top;
    for (std::size_t i = 0; i + 1 < parts.size() && node != nullptr; ++i)
        node = Child(node, parts[i]);
    if (node != nullptr) {
        auto it = node->children.find(text::UpperAscii(parts.back()));
        if (it != node->children.end()) {
            parent = node;
            return it;
        }
    }
    parent = nullptr;
    return {};
}

bool TreeHasDenyDelete(const Key& key) {
    if (key.denyDelete) return true;
    for (const auto& [upper, child] : key.children) {
        if (TreeHasDenyDelete(*child)) return true;
    }
    return false;
}

// Takes the values and sub-keys of `from` into `into`: values of `from` replace
// those of the same name, sub-keys merge likewise, and a key that may not be
// deleted stays so.
void MergeKey(Key& into, Key& from) {
    for (const Value& v : from.values) into.PutValue(v.name, v.value);
    into.denyDelete = into.denyDelete || from.denyDelete;
    for (auto& [upper, child] : from.children) {
        auto it = into.children.find(upper);
        if (it == into.children.end()) {
            into.children.emplace(upper, std::move(child));
        } else {
            MergeKey(*it->second, *child);
        }
    }
}

void CollectProtected(const Key& key, const std::string& path, std::vector<std::string>& out) {
    if (key.denyDelete) out.push_back(path);
    for (const auto& [upper, child] : key.children) {
        CollectProtected(*child, path + "\\" + child->name, out);
    }
}

}  // namespace

// ---- Key ----

const Value* MemoryRegistry::Key::FindValue(std::string_view valueName) const {
    if (valueIndex.size() == values.size()) {
        // The upper-cased name in a buffer of this thread: no new string per look-up.
        thread_local std::string upper;
        upper.assign(valueName);
        text::UpperAsciiTo(upper, upper.data());
        auto it = valueIndex.find(upper);
        if (it == valueIndex.end()) return nullptr;
        if (it->second < values.size() && text::EqualsNoCase(values[it->second].name, valueName)) {
            return &values[it->second];
        }
    }
    // The index is out of step with `values` (changed directly): look the slow way.
    for (const Value& v : values) {
        if (text::EqualsNoCase(v.name, valueName)) return &v;
    }
    return nullptr;
}

Value* MemoryRegistry::Key::FindValue(std::string_view valueName) {
    return const_cast<Value*>(static_cast<const Key*>(this)->FindValue(valueName));
}

void MemoryRegistry::Key::PutValue(std::string_view valueName, const RegValue& value) {
    if (Value* existing = FindValue(valueName)) {
        existing->value = value;
        return;
    }
    if (valueIndex.size() != values.size()) {
        valueIndex.clear();
        for (std::size_t i = 0; i < values.size(); ++i) {
            valueIndex.emplace(text::UpperAscii(values[i].name), i);
        }
    }
    valueIndex.emplace(text::UpperAscii(valueName), values.size());
    values.push_back(Value{std::string(valueName), value});
}

bool MemoryRegistry::Key::RemoveValue(std::string_view valueName) {
    const Value* found = FindValue(valueName);
    if (found == nullptr) return false;
    std::size_t pos = static_cast<std::size_t>(found - values.data());
    values.erase(values.begin() + static_cast<std::ptrdiff_t>(pos));
    valueIndex.clear();
    for (std::size_t i = 0; i < values.size(); ++i) {
        valueIndex.emplace(text::UpperAscii(values[i].name), i);
    }
    return true;
}

// ---- MemoryRegistry ----

MemoryRegistry::MemoryRegistry(bool hasSecurity) : hasSecurity_(hasSecurity) {
    Clear();
}

MemoryRegistry::~MemoryRegistry() = default;

void MemoryRegistry::Clear() {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    ++generation_;
    controlSetLink_.clear();
    hklm_ = std::make_unique<Key>();
    hklm_->name = "HKEY_LOCAL_MACHINE";
    hkcu_ = std::make_unique<Key>();
    hkcu_->name = "HKEY_CURRENT_USER";
    hku_ = std::make_unique<Key>();
    hku_->name = "HKEY_USERS";
}

std::string MemoryRegistry::LinkCurrentControlSet() {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    ++generation_;
    controlSetLink_.clear();
    const std::string set = SelectedControlSet(*this);
    Key* system = Child(hklm_.get(), "SYSTEM");
    Key* target = set.empty() || system == nullptr ? nullptr : Child(system, set);
    if (target == nullptr) return {};
    auto own = system->children.find(text::UpperAscii(kCurrentControlSetName));
    if (own != system->children.end()) {
        MergeKey(*target, *own->second);
        system->children.erase(own);
    }
    controlSetLink_ = target->name;
    return controlSetLink_;
}

const MemoryRegistry::Key* MemoryRegistry::LinkParent() const {
    return controlSetLink_.empty() ? nullptr : Child(hklm_.get(), "SYSTEM");
}

std::vector<std::string_view> MemoryRegistry::Parts(HKEY root, std::string_view subKey) const {
    std::vector<std::string_view> parts;
    Parts(root, subKey, parts);
    return parts;
}

void MemoryRegistry::Parts(HKEY root, std::string_view subKey,
                           std::vector<std::string_view>& parts) const {
    Components(root, subKey, parts);
    if (root == HKEY_LOCAL_MACHINE && !controlSetLink_.empty() && parts.size() >= 2 &&
        text::EqualsNoCase(parts[0], "SYSTEM") &&
        text::EqualsNoCase(parts[1], kCurrentControlSetName)) {
        parts[1] = controlSetLink_;
    }
}

bool MemoryRegistry::HoldsLinkedSet(HKEY root, const std::vector<std::string_view>& parts) const {
    return root == HKEY_LOCAL_MACHINE && !controlSetLink_.empty() && !parts.empty() &&
           parts.size() <= 2 && text::EqualsNoCase(parts[0], "SYSTEM") &&
           (parts.size() == 1 || text::EqualsNoCase(parts[1], controlSetLink_));
}

MemoryRegistry::Key* MemoryRegistry::StoredRoot(HKEY root) const {
    switch (root) {
        case HKEY_LOCAL_MACHINE:
        case HKEY_CLASSES_ROOT:
            return hklm_.get();
        case HKEY_CURRENT_USER:
            return hkcu_.get();
        case HKEY_USERS:
            return hku_.get();
        default:
            return nullptr;
    }
}

const MemoryRegistry::Key* MemoryRegistry::RootNode(HKEY root) const {
    return IsStoredRoot(root) ? StoredRoot(root) : nullptr;
}

const MemoryRegistry::Key* MemoryRegistry::Node(HKEY root, std::string_view subKey) const {
    return Find(root, subKey);
}

MemoryRegistry::Key* MemoryRegistry::Find(HKEY root, std::string_view subKey) const {
    Key* node = StoredRoot(root);
    if (node == nullptr) return nullptr;
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    // The last component, and the text before it.
    std::size_t end = subKey.size();
    while (end > 0 && subKey[end - 1] == '\\') --end;
    std::size_t start = end;
    while (start > 0 && subKey[start - 1] != '\\') --start;
    std::vector<std::string_view>& parts = findParts_;
    if (end == 0) {
        // No component of its own: the root, or for HKCR the key it stands for.
        Parts(root, subKey, parts);
        for (std::size_t i = 0; i < parts.size() && node != nullptr; ++i)
            node = Child(node, parts[i]);
        return node;
    }
    const std::string_view last = subKey.substr(start, end - start);
    const std::string_view parentText =
        start == 0 ? std::string_view() : subKey.substr(0, start - 1);
    // Scans ask for many keys below the same few parents: those are remembered,
    // by root and the parent's path text as given.
    constexpr std::size_t kMaxFound = 4096;
    if (foundGeneration_ != generation_ || foundParents_.size() >= kMaxFound) {
        foundParents_.clear();
        foundGeneration_ = generation_;
    }
    std::string& path = findPath_;
    path.assign(1, root == HKEY_CLASSES_ROOT    ? 'C'
                   : root == HKEY_LOCAL_MACHINE ? 'M'
                   : root == HKEY_CURRENT_USER  ? 'U'
                                                : 'S');
    path.append(parentText);
    auto it = foundParents_.find(path);
    if (it == foundParents_.end()) {
        Parts(root, parentText, parts);
        for (std::size_t i = 0; i < parts.size() && node != nullptr; ++i)
            node = Child(node, parts[i]);
        it = foundParents_.emplace(path, node).first;
    }
    Key* const parent = it->second;
    if (parent == nullptr) return nullptr;
    // HKLM\SYSTEM\CurrentControlSet, while linked, is the linked set.
    if (!controlSetLink_.empty() && text::EqualsNoCase(last, kCurrentControlSetName) &&
        parent == LinkParent()) {
        return Child(parent, controlSetLink_);
    }
    return Child(parent, last);
}

MemoryRegistry::Key* MemoryRegistry::Create(HKEY root, std::string_view subKey) {
    Key* node = StoredRoot(root);
    if (node == nullptr) return nullptr;
    for (std::string_view part : Parts(root, subKey)) {
        std::unique_ptr<Key>& slot = node->children[text::UpperAscii(part)];
        if (!slot) {
            ++generation_;
            slot = std::make_unique<Key>();
            slot->name = std::string(part);
        }
        node = slot.get();
    }
    return node;
}

WinError MemoryRegistry::OpenKey(HKEY root, std::string_view subKey) const {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    if (!IsKnownRoot(root)) return ERROR_INVALID_HANDLE;
    return Find(root, subKey) != nullptr ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

WinError MemoryRegistry::CreateKey(HKEY root, std::string_view subKey) {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    if (!IsKnownRoot(root)) return ERROR_INVALID_HANDLE;
    Create(root, subKey);
    return ERROR_SUCCESS;
}

WinError MemoryRegistry::QueryInfoKey(HKEY root, std::string_view subKey, RegKeyInfo& info) const {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    if (!IsKnownRoot(root)) return ERROR_INVALID_HANDLE;
    const Key* key = Find(root, subKey);
    if (key == nullptr) return ERROR_FILE_NOT_FOUND;
    info.subKeys = static_cast<std::uint32_t>(key->children.size() + (key == LinkParent() ? 1 : 0));
    info.values = static_cast<std::uint32_t>(key->values.size());
    return ERROR_SUCCESS;
}

WinError MemoryRegistry::EnumKey(HKEY root, std::string_view subKey, std::uint32_t index,
                                 std::string& name) const {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    if (!IsKnownRoot(root)) return ERROR_INVALID_HANDLE;
    const Key* key = Find(root, subKey);
    if (key == nullptr) return ERROR_FILE_NOT_FOUND;
    // HKLM\SYSTEM lists the link among its sub-keys, in its place by name.
    if (key == LinkParent()) {
        const auto linkAt = static_cast<std::uint32_t>(
            std::distance(key->children.begin(),
                          key->children.lower_bound(text::UpperAscii(kCurrentControlSetName))));
        if (index == linkAt) {
            name = kCurrentControlSetName;
            return ERROR_SUCCESS;
        }
        if (index > linkAt) --index;
    }
    if (index >= key->children.size()) return ERROR_NO_MORE_ITEMS;
    // A map has no random access: go on from the last call when it was on this
    // key at this index or before it, else walk from the start.
    auto it = key->children.begin();
    std::uint32_t at = 0;
    if (cursor_.key == key && cursor_.generation == generation_ && cursor_.index <= index) {
        it = cursor_.it;
        at = cursor_.index;
    }
    std::advance(it, index - at);
    cursor_ = EnumCursor{key, generation_, index, it};
    name = it->second->name;
    return ERROR_SUCCESS;
}

WinError MemoryRegistry::EnumValue(HKEY root, std::string_view subKey, std::uint32_t index,
                                   std::string& name, RegValue* value) const {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    if (!IsKnownRoot(root)) return ERROR_INVALID_HANDLE;
    const Key* key = Find(root, subKey);
    if (key == nullptr) return ERROR_FILE_NOT_FOUND;
    if (index >= key->values.size()) return ERROR_NO_MORE_ITEMS;
    const Value& v = key->values[index];
    name = v.name;
    if (value != nullptr) *value = v.value;
    return ERROR_SUCCESS;
}

WinError MemoryRegistry::QueryValue(HKEY root, std::string_view subKey, std::string_view name,
                                    RegValue& value) const {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    if (!IsKnownRoot(root)) return ERROR_INVALID_HANDLE;
    const Key* key = Find(root, subKey);
    if (key == nullptr) return ERROR_FILE_NOT_FOUND;
    const Value* v = key->FindValue(name);
    if (v == nullptr) return ERROR_FILE_NOT_FOUND;
    value = v->value;
    return ERROR_SUCCESS;
}

WinError MemoryRegistry::SetValue(HKEY root, std::string_view subKey, std::string_view name,
                                  const RegValue& value) {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    if (!IsKnownRoot(root)) return ERROR_INVALID_HANDLE;
    Key* key = Find(root, subKey);
    if (key == nullptr) return ERROR_FILE_NOT_FOUND;
    key->PutValue(name, value);
    return ERROR_SUCCESS;
}

WinError MemoryRegistry::DeleteValue(HKEY root, std::string_view subKey, std::string_view name) {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    if (!IsKnownRoot(root)) return ERROR_INVALID_HANDLE;
    Key* key = Find(root, subKey);
    if (key == nullptr) return ERROR_FILE_NOT_FOUND;
    return key->RemoveValue(name) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

WinError MemoryRegistry::DeleteKey(HKEY root, std::string_view subKey) {
    return RemoveKey(root, subKey, false);
}

WinError MemoryRegistry::DeleteTree(HKEY root, std::string_view subKey) {
    return RemoveKey(root, subKey, true);
}

WinError MemoryRegistry::RemoveKey(HKEY root, std::string_view subKey, bool tree) {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    if (!IsKnownRoot(root)) return ERROR_INVALID_HANDLE;
    if (IsRootPath(subKey)) return ERROR_ACCESS_DENIED;
    const std::vector<std::string_view> parts = Parts(root, subKey);
    Key* parent = nullptr;
    auto it = FindInParent(StoredRoot(root), parts, parent);
    if (parent != nullptr && HoldsLinkedSet(root, parts)) return ERROR_ACCESS_DENIED;
    if (parent == nullptr) return ERROR_FILE_NOT_FOUND;
    const Key& key = *it->second;
    if (tree) {
        // All or nothing: one key that may not be deleted keeps the whole tree.
        if (TreeHasDenyDelete(key)) return ERROR_ACCESS_DENIED;
    } else if (!key.children.empty() || key.denyDelete) {
        return ERROR_ACCESS_DENIED;
    }
    ++generation_;
    parent->children.erase(it);
    return ERROR_SUCCESS;
}

WinError MemoryRegistry::GetKeySecurity(HKEY root, std::string_view subKey,
                                        KeySecurity& security) const {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    if (!hasSecurity_) return ERROR_CALL_NOT_IMPLEMENTED;
    if (!IsKnownRoot(root)) return ERROR_INVALID_HANDLE;
    const Key* key = Find(root, subKey);
    if (key == nullptr) return ERROR_FILE_NOT_FOUND;
    security.denyDelete = key->denyDelete;
    return ERROR_SUCCESS;
}

WinError MemoryRegistry::SetKeySecurity(HKEY root, std::string_view subKey,
                                        const KeySecurity& security) {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    if (!hasSecurity_) return ERROR_CALL_NOT_IMPLEMENTED;
    if (!IsKnownRoot(root)) return ERROR_INVALID_HANDLE;
    Key* key = Find(root, subKey);
    if (key == nullptr) return ERROR_FILE_NOT_FOUND;
    key->denyDelete = security.denyDelete;
    return ERROR_SUCCESS;
}

WinError MemoryRegistry::Protect(HKEY root, std::string_view subKey) {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    if (!IsKnownRoot(root)) return ERROR_INVALID_HANDLE;
    Key* key = Find(root, subKey);
    if (key == nullptr) return ERROR_FILE_NOT_FOUND;
    key->denyDelete = true;
    return ERROR_SUCCESS;
}

std::vector<std::string> MemoryRegistry::ProtectedKeys() const {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    std::vector<std::string> out;
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS}) {
        CollectProtected(*StoredRoot(root), std::string(RootShortName(root)), out);
    }
    return out;
}

}  // namespace veldan::machine
