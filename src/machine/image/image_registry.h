#pragma once
// An in-memory registry: the registry of a machine image, loaded from and saved
// to .reg files. HKCR is the view of HKLM\Software\Classes. Sub-keys are kept in
// the ordinal order of their upper-cased names, values in creation order.

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

namespace veldan::machine::image {

class ImageRegistry final : public Registry {
  public:
    // `hasSecurity`: false for the 9x family, where SetKeySecurity is not implemented.
    explicit ImageRegistry(bool hasSecurity = true);
    ~ImageRegistry() override;

    WinError OpenKey(HKEY root, std::string_view subKey) const override;
    WinError CreateKey(HKEY root, std::string_view subKey) override;
    WinError QueryInfoKey(HKEY root, std::string_view subKey, RegKeyInfo& info) const override;
    WinError EnumKey(HKEY root, std::string_view subKey, std::uint32_t index,
                     std::string& name) const override;
    WinError EnumValue(HKEY root, std::string_view subKey, std::uint32_t index, std::string& name,
                       RegValue* value) const override;
    WinError QueryValue(HKEY root, std::string_view subKey, std::string_view name,
                        RegValue& value) const override;
    WinError SetValue(HKEY root, std::string_view subKey, std::string_view name,
                      const RegValue& value) override;
    WinError DeleteValue(HKEY root, std::string_view subKey, std::string_view name) override;
    WinError DeleteKey(HKEY root, std::string_view subKey) override;
    WinError DeleteTree(HKEY root, std::string_view subKey) override;
    WinError GetKeySecurity(HKEY root, std::string_view subKey,
                            KeySecurity& security) const override;
    WinError SetKeySecurity(HKEY root, std::string_view subKey,
                            const KeySecurity& security) override;

    // Marks a key as one the user may not delete (machine.ini [protected]);
    // ERROR_FILE_NOT_FOUND when it does not exist. Works on every family.
    WinError Protect(HKEY root, std::string_view subKey);

    // Every protected key as "HKLM\\..." text, in tree order.
    std::vector<std::string> ProtectedKeys() const;

    // Removes everything.
    void Clear();

    // Internal tree node; public so the .reg reader and writer can walk it.
    struct Value {
        std::string name;
        RegValue value;
    };
    struct Key {
        std::string name;                                      // as first created
        std::map<std::string, std::unique_ptr<Key>> children;  // by upper-cased name
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
    Key* StoredRoot(HKEY root) const;
    Key* Find(HKEY root, std::string_view subKey) const;
    Key* Create(HKEY root, std::string_view subKey);

    bool hasSecurity_;
    std::unique_ptr<Key> hklm_, hkcu_, hku_;

    // Where the last EnumKey stopped, so that enumerating a key with thousands of
    // sub-keys from 0 upwards costs one step per call, not a walk from the start.
    // Any key added or removed bumps `generation_` and so voids the cursor.
    struct EnumCursor {
        const Key* key = nullptr;
        std::uint64_t generation = 0;
        std::uint32_t index = 0;
        std::map<std::string, std::unique_ptr<Key>>::const_iterator it;
    };
    std::uint64_t generation_ = 1;
    mutable std::mutex cursorMutex_;
    mutable EnumCursor cursor_;
};

// Long name of a root ("HKEY_LOCAL_MACHINE"), or "" for an unknown handle.
std::string_view RootLongName(HKEY root);
// Short name of a root ("HKLM"), or "".
std::string_view RootShortName(HKEY root);
// Root of a long or short root name (ASCII case ignored); 0 when unknown.
HKEY RootFromName(std::string_view name);

// Splits "HKEY_LOCAL_MACHINE\\Software\\X" or "HKLM\\Software\\X" into root and
// sub-key path. Returns false when the root name is unknown.
bool SplitKeyPath(std::string_view fullPath, HKEY& root, std::string& subKey);

}  // namespace veldan::machine::image
