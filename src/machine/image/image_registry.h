#pragma once
// An in-memory registry: the registry of a machine image, loaded from and saved
// to .reg files. HKCR is the view of HKLM\Software\Classes. Sub-keys are kept in
// the ordinal order of their upper-cased names, values in creation order.

#include <map>
#include <memory>
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
        std::string name;  // as first created
        std::map<std::string, std::unique_ptr<Key>> children;  // by upper-cased name
        std::vector<Value> values;                              // creation order
        bool denyDelete = false;

        const Value* FindValue(std::string_view valueName) const;
        Value* FindValue(std::string_view valueName);
    };

    // The top node of a stored root (HKLM, HKCU or HKU); null for any other
    // handle. HKCR is not stored: it is HKLM\Software\Classes.
    const Key* RootNode(HKEY root) const;

private:
    Key* Find(HKEY root, std::string_view subKey) const;
    Key* Create(HKEY root, std::string_view subKey);

    bool hasSecurity_;
    std::unique_ptr<Key> hklm_, hkcu_, hku_;
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
