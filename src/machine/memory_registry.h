#pragma once
// An in-memory registry: the registry of a machine image (loaded from and saved
// to .reg files) and of the in-memory machine. HKCR is the view of HKLM\Software\Classes. Sub-keys
// are kept in the ordinal order of their upper-cased names, values in creation order.
//
// HKLM\SYSTEM\CurrentControlSet can be a link, as Windows makes it at start:
// after LinkCurrentControlSet, when HKLM\SYSTEM\Select "Current" names an
// existing control set N, CurrentControlSet is another name of
// HKLM\SYSTEM\ControlSet00N. Every operation through either name reaches the
// one key; enumeration of HKLM\SYSTEM lists both names; the link and the set
// (and SYSTEM above them) cannot be deleted while the link stands. The tree
// holds the set only, so .reg text written from it names the set, not the link.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "machine/registry.h"
#include "machine/registry_paths.h"

namespace veldan::machine {

class MemoryRegistry final : public Registry {
  public:
    // `hasSecurity`: false for the 9x family, where SetKeySecurity is not implemented.
    explicit MemoryRegistry(bool hasSecurity = true);
    ~MemoryRegistry() override;

    // The Registry operations.
    VELDAN_REGISTRY_OPERATIONS;

    // Marks a key as one the user may not delete (machine.ini [protected]);
    // ERROR_FILE_NOT_FOUND when it does not exist. Works on every family.
    WinError Protect(HKEY root, std::string_view subKey);

    // Every protected key as "HKLM\\..." text, in tree order.
    std::vector<std::string> ProtectedKeys() const;

    // Removes everything (and the control set link).
    void Clear();

    // Makes HKLM\SYSTEM\CurrentControlSet the link to the control set that
    // SelectedControlSet names, when that set exists; a CurrentControlSet key of
    // its own is then merged into the set (its values win) and goes. Without a
    // Select "Current" or without the set nothing changes and CurrentControlSet
    // stays an ordinary key. Returns the linked set's name, or "" when none.
    std::string LinkCurrentControlSet();
    // The control set CurrentControlSet links to ("ControlSet001"), or "".
    const std::string& linkedControlSet() const { return controlSetLink_; }

    // Holds off every other thread's calls while the caller walks the nodes
    // (the .reg writer); calls of this thread still work.
    std::unique_lock<std::recursive_mutex> Lock() const {
        return std::unique_lock<std::recursive_mutex>(mutex_);
    }

    // Internal tree node; public so that tests can walk it.
    struct Value {
        std::string name;
        RegValue value;
    };
    struct Key {
        std::string name;                                      // as first created
        std::map<std::string, std::unique_ptr<Key>, std::less<>> children;  // by upper-cased name
        std::vector<Value> values;  // creation order; change through PutValue/RemoveValue
        bool denyDelete = false;
        // Position in `values` by upper-cased name, so that keys with thousands of
        // values stay fast. Kept by PutValue and RemoveValue.
        std::unordered_map<std::string, std::size_t> valueIndex;

        // The value of that name (ASCII case ignored), or null.
        const Value* FindValue(std::string_view valueName) const;
        Value* FindValue(std::string_view valueName);
        // Replaces the value of that name where it stands, or appends a new one.
        void PutValue(std::string_view valueName, const RegValue& value);
        // Removes the value of that name; false when there is none.
        bool RemoveValue(std::string_view valueName);
    };

    // The top node of a stored root (HKLM, HKCU or HKU); null for any other
    // handle. HKCR is not stored: it is HKLM\Software\Classes.
    const Key* RootNode(HKEY root) const;

    // The node of a key (HKCR resolved to HKLM\Software\Classes), or null when
    // the handle is unknown or the key does not exist.
    const Key* Node(HKEY root, std::string_view subKey) const;

  private:
    // The components of a sub-key path below its stored root: HKCR gets the
    // Software\Classes prefix, and the link is followed.
    std::vector<std::string_view> Parts(HKEY root, std::string_view subKey) const;
    void Parts(HKEY root, std::string_view subKey, std::vector<std::string_view>& parts) const;
    // HKLM\SYSTEM when the link stands (its enumeration shows the link), else null.
    const Key* LinkParent() const;
    // True when deleting the key at `parts` would take the linked set with it.
    bool HoldsLinkedSet(HKEY root, const std::vector<std::string_view>& parts) const;
    Key* StoredRoot(HKEY root) const;
    Key* Find(HKEY root, std::string_view subKey) const;
    Key* Create(HKEY root, std::string_view subKey);
    // DeleteKey (a key without sub-keys) and DeleteTree (`tree`: the key and all below it).
    WinError RemoveKey(HKEY root, std::string_view subKey, bool tree);

    bool hasSecurity_;
    std::unique_ptr<Key> hklm_, hkcu_, hku_;
    std::string controlSetLink_;  // the stored name of the linked set; "" when unlinked

    // Where the last EnumKey stopped, so that enumerating a key with thousands of
    // sub-keys from 0 upwards costs one step per call, not a walk from the start.
    // Any key added or removed bumps `generation_` and so voids the cursor.
    struct EnumCursor {
        const Key* key = nullptr;
        std::uint64_t generation = 0;
        std::uint32_t index = 0;
        std::map<std::string, std::unique_ptr<Key>, std::less<>>::const_iterator it;
    };
    std::uint64_t generation_ = 1;
    // Every call holds it: the scan and cure workers and the window's thread
    // use the registry at the same time, as they may on Windows.
    mutable std::recursive_mutex mutex_;
    mutable EnumCursor cursor_;
    // The parent keys Find walked to before, by stored root and path as given
    // ("M" + "Software\\Microsoft\\"), null for a missing one; valid while
    // `generation_` is `foundGeneration_`.
    mutable std::unordered_map<std::string, Key*> foundParents_;
    mutable std::uint64_t foundGeneration_ = 0;
    // Find's working buffers, reused under `mutex_` so that a look-up allocates nothing.
    mutable std::vector<std::string_view> findParts_;
    mutable std::string findPath_;
};

}  // namespace veldan::machine
