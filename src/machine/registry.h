#pragma once
// The registry of the machine being scanned.
//
// Primer. The registry is a tree of keys under four roots (HKCR, HKCU, HKLM,
// HKU; HKCR is a view of HKLM\Software\Classes). A key has sub-keys and named
// values; the value with the empty name is the key's default value. Key and
// value names compare without regard to ASCII case. Sub-keys enumerate in the
// ordinal order of their upper-cased names, values in the order they were created.
//
// Calls name a key by root and sub-key path ("Software\\Microsoft"; the empty
// path is the root itself) instead of holding handles: every call opens what it
// needs and closes it again, as the system's own operations do. Results are
// Windows result codes; out-parameters are untouched on failure.
//
// String data (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) is held as UTF-8 bytes with
// their terminating NUL characters as stored; sizes in Windows terms (CP949
// bytes) are the caller's business.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "machine/win32.h"

namespace veldan::machine {

struct RegValue {
    std::uint32_t type = REG_NONE;
    std::string data;  // raw bytes; see the primer for strings
    // String data whose stored UTF-16LE bytes are not valid text (a lone
    // surrogate, an odd byte count) keeps those bytes here, so that they are
    // written back unchanged; `data` then holds their nearest UTF-8. Empty for
    // every other value.
    std::string utf16;

    bool operator==(const RegValue&) const = default;

    // A REG_SZ value holding `text` and its terminating NUL.
    static RegValue String(std::string_view text, std::uint32_t type = REG_SZ);
    // A REG_DWORD value (little-endian).
    static RegValue Dword(std::uint32_t v);
    // A REG_MULTI_SZ value: each string NUL-terminated, then one more NUL.
    static RegValue MultiString(const std::vector<std::string>& items);

    // The text of a string value: the data up to its first NUL.
    std::string AsString() const;
    // The strings of a REG_MULTI_SZ value, up to the empty string that ends the list.
    std::vector<std::string> AsMultiString() const;
    // The number of a REG_DWORD value (0 when the data is shorter than 4 bytes).
    std::uint32_t AsDword() const;

    // String data from its stored UTF-16LE bytes, kept exactly (see `utf16`).
    static RegValue FromUtf16(std::uint32_t type, std::string_view bytes);
    // The UTF-16LE bytes to store for string data: the kept bytes while `data`
    // still matches them, else `data` converted.
    std::string StoredUtf16() const;
};

// Windows refuses keys nested deeper than this below their root.
inline constexpr std::size_t kMaxKeyDepth = 512;

// True for the types whose data is text: REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ.
bool IsStringType(std::uint32_t type);

struct RegKeyInfo {
    std::uint32_t subKeys = 0;
    std::uint32_t values = 0;
};

// Access rights of a key, as far as this system needs them: whether the user may
// delete it. A protected key's tree cannot be deleted until its rights are taken
// over (set to full control), which the owner of the process may always do.
struct KeySecurity {
    bool denyDelete = false;

    bool operator==(const KeySecurity&) const = default;
    static KeySecurity FullControl() { return {}; }
};

class Registry {
  public:
    virtual ~Registry() = default;

    // ERROR_SUCCESS when the key exists (RegOpenKeyEx for KEY_READ).
    [[nodiscard]] virtual WinError OpenKey(HKEY root, std::string_view subKey) const = 0;

    // Creates the key and any missing parents (RegCreateKeyEx); existing keys are kept.
    [[nodiscard]] virtual WinError CreateKey(HKEY root, std::string_view subKey) = 0;

    // Counts of direct sub-keys and values (RegQueryInfoKey).
    [[nodiscard]] virtual WinError QueryInfoKey(HKEY root, std::string_view subKey,
                                                RegKeyInfo& info) const = 0;

    // The name of the index-th sub-key in enumeration order (RegEnumKey);
    // ERROR_NO_MORE_ITEMS past the end.
    [[nodiscard]] virtual WinError EnumKey(HKEY root, std::string_view subKey, std::uint32_t index,
                                           std::string& name) const = 0;

    // The name and (when `value` is not null) the value of the index-th value
    // (RegEnumValue); ERROR_NO_MORE_ITEMS past the end.
    [[nodiscard]] virtual WinError EnumValue(HKEY root, std::string_view subKey,
                                             std::uint32_t index, std::string& name,
                                             RegValue* value) const = 0;

    // A value by name (RegQueryValueEx); the empty name is the default value.
    [[nodiscard]] virtual WinError QueryValue(HKEY root, std::string_view subKey,
                                              std::string_view name, RegValue& value) const = 0;

    // Writes a value of an existing key (RegSetValueEx); a new name is created
    // after the existing ones. ERROR_FILE_NOT_FOUND when the key does not exist.
    [[nodiscard]] virtual WinError SetValue(HKEY root, std::string_view subKey,
                                            std::string_view name, const RegValue& value) = 0;

    // Removes a value (RegDeleteValue).
    [[nodiscard]] virtual WinError DeleteValue(HKEY root, std::string_view subKey,
                                               std::string_view name) = 0;

    // Removes a key that has no sub-keys (RegDeleteKey on the NT family);
    // ERROR_ACCESS_DENIED when it has sub-keys or may not be deleted.
    [[nodiscard]] virtual WinError DeleteKey(HKEY root, std::string_view subKey) = 0;

    // Removes a key with its whole tree (SHDeleteKey). ERROR_ACCESS_DENIED, and
    // nothing deleted, when a key of the tree may not be deleted. A root cannot be deleted.
    [[nodiscard]] virtual WinError DeleteTree(HKEY root, std::string_view subKey) = 0;

    // The key's access rights (RegGetKeySecurity).
    [[nodiscard]] virtual WinError GetKeySecurity(HKEY root, std::string_view subKey,
                                                  KeySecurity& security) const = 0;

    // Replaces the key's own access rights (RegSetKeySecurity); sub-keys keep theirs.
    // ERROR_CALL_NOT_IMPLEMENTED on the 9x family, which has no registry security.
    [[nodiscard]] virtual WinError SetKeySecurity(HKEY root, std::string_view subKey,
                                                  const KeySecurity& security) = 0;
};

}  // namespace veldan::machine

// Declares the Registry operations that change the registry, for a layer that
// watches them (DeniedWrites).
#define VELDAN_REGISTRY_WRITES                                                                     \
    WinError CreateKey(HKEY root, std::string_view subKey) override;                               \
    WinError SetValue(HKEY root, std::string_view subKey, std::string_view name,                   \
                      const RegValue& value) override;                                             \
    WinError DeleteValue(HKEY root, std::string_view subKey, std::string_view name) override;      \
    WinError DeleteKey(HKEY root, std::string_view subKey) override;                               \
    WinError DeleteTree(HKEY root, std::string_view subKey) override;                              \
    WinError SetKeySecurity(HKEY root, std::string_view subKey, const KeySecurity& security)       \
        override

// Declares every Registry operation, for a backend that implements them all (HiveRegistry,
// MemoryRegistry, Win32Registry).
#define VELDAN_REGISTRY_OPERATIONS                                                                 \
    VELDAN_REGISTRY_WRITES;                                                                        \
    WinError OpenKey(HKEY root, std::string_view subKey) const override;                           \
    WinError QueryInfoKey(HKEY root, std::string_view subKey, RegKeyInfo& info) const override;    \
    WinError EnumKey(HKEY root, std::string_view subKey, std::uint32_t index, std::string& name)   \
        const override;                                                                            \
    WinError EnumValue(HKEY root, std::string_view subKey, std::uint32_t index, std::string& name, \
                       RegValue* value) const override;                                            \
    WinError QueryValue(HKEY root, std::string_view subKey, std::string_view name,                 \
                        RegValue& value) const override;                                           \
    WinError GetKeySecurity(HKEY root, std::string_view subKey, KeySecurity& security)             \
        const override
