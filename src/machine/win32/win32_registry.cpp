#include "machine/win32/win32_api.h"
// (the Windows headers first; see win32_api.h)

#include "machine/win32/win32_registry.h"

#include <utility>
#include <vector>

#include "host/wide_path_win32.h"

namespace veldan::machine::win32 {
namespace {

using host::Narrow;
using host::Widen;

// The Windows handle of a predefined key.
::HKEY Predefined(HKEY root) {
    return reinterpret_cast<::HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
}

}  // namespace

// A key handle closed when it goes.
class RegKeyHandle {
  public:
    RegKeyHandle() = default;
    ~RegKeyHandle() {
        if (h_ != nullptr) RegCloseKey(h_);
    }
    RegKeyHandle(const RegKeyHandle&) = delete;
    RegKeyHandle& operator=(const RegKeyHandle&) = delete;
    ::HKEY* out() { return &h_; }
    ::HKEY get() const { return h_; }

  private:
    ::HKEY h_ = nullptr;
};

namespace {
using Key = RegKeyHandle;

// The components of a key path, without empty ones ("\\A\\\\B\\" is A, B).
std::vector<std::string_view> Components(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const std::size_t slash = path.find('\\');
        const std::string_view part = path.substr(0, slash);
        if (!part.empty()) parts.push_back(part);
        if (slash == std::string_view::npos) break;
        path.remove_prefix(slash + 1);
    }
    return parts;
}

std::wstring Join(const std::wstring& a, const std::wstring& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    return a + L"\\" + b;
}

RegValue FromStored(DWORD type, std::string bytes) {
    if (IsStringType(type)) return RegValue::FromUtf16(type, bytes);
    RegValue v;
    v.type = type;
    v.data = std::move(bytes);
    return v;
}

// The Everyone group.
struct WorldSid {
    WorldSid() {
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &sid);
    }
    ~WorldSid() {
        if (sid != nullptr) FreeSid(sid);
    }
    PSID sid = nullptr;
};

// True when the key's access list denies deletion to anyone.
WinError ReadDenyDelete(::HKEY key, bool& deny) {
    DWORD size = 0;
    LONG rc = RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
    if (rc != static_cast<LONG>(ERROR_INSUFFICIENT_BUFFER) && rc != 0)
        return static_cast<WinError>(rc);
    std::vector<char> buffer(size == 0 ? sizeof(SECURITY_DESCRIPTOR) : size);
    rc = RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, buffer.data(), &size);
    if (rc != 0) return static_cast<WinError>(rc);
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(buffer.data(), &present, &dacl, &defaulted)) {
        return GetLastError();
    }
    deny = false;
    if (!present || dacl == nullptr) return 0;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace)) continue;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        if (header->AceType != ACCESS_DENIED_ACE_TYPE) continue;
        const auto* denied = static_cast<const ACCESS_DENIED_ACE*>(ace);
        if ((denied->Mask & DELETE) != 0) deny = true;
    }
    return 0;
}

// Takes the key over for the current user (the owner may always change the
// access list), enabling the take-ownership privilege for it.
void TakeOwnership(::HKEY base, const std::wstring& path) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        return;
    }
    TOKEN_PRIVILEGES tp{};
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueW(nullptr, L"SeTakeOwnershipPrivilege", &tp.Privileges[0].Luid)) {
        AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr);
    }
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<char> user(size);
    Key key;
    if (size != 0 && GetTokenInformation(token, TokenUser, user.data(), size, &size) &&
        RegOpenKeyExW(base, path.c_str(), 0, WRITE_OWNER, key.out()) == 0) {
        SECURITY_DESCRIPTOR sd;
        InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorOwner(&sd, reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid,
                                   FALSE);
        RegSetKeySecurity(key.get(), OWNER_SECURITY_INFORMATION, &sd);
    }
    CloseHandle(token);
}

// Writes an access list that allows everything to everyone, with deletion
// denied first when `denyDelete`.
WinError WriteAccess(::HKEY key, bool denyDelete) {
    WorldSid world;
    if (world.sid == nullptr) return GetLastError();
    const DWORD sidLength = GetLengthSid(world.sid);
    const DWORD aclSize = sizeof(ACL) + 2 * (sizeof(ACCESS_ALLOWED_ACE) + sidLength);
    std::vector<char> aclBuffer(aclSize);
    PACL acl = reinterpret_cast<PACL>(aclBuffer.data());
    if (!InitializeAcl(acl, aclSize, ACL_REVISION)) return GetLastError();
    if (denyDelete && !AddAccessDeniedAce(acl, ACL_REVISION, DELETE, world.sid)) {
        return GetLastError();
    }
    if (!AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS, world.sid)) return GetLastError();
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
    return static_cast<WinError>(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd));
}

// Opens `path` below `base` for reading into `key`; ERROR_ACCESS_DENIED when
// the key's access list denies its deletion. The family decides only whether
// the override may lift that; a registry without access lists (the 9x family)
// has nothing to read and refuses nothing here.
WinError OpenDeletable(HKEY base, const std::wstring& path, Key& key) {
    const LONG rc = RegOpenKeyExW(Predefined(base), path.c_str(), 0, KEY_READ, key.out());
    if (rc != 0) return static_cast<WinError>(rc);
    bool deny = false;
    if (ReadDenyDelete(key.get(), deny) == 0 && deny) {
        return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
}

}  // namespace

Win32Registry::Roots Win32Registry::LiveRoots() {
    return {{HKEY_CLASSES_ROOT, ""},
            {HKEY_CURRENT_USER, ""},
            {HKEY_LOCAL_MACHINE, ""},
            {HKEY_USERS, ""}};
}

Win32Registry::Roots Win32Registry::ScratchRoots(std::string_view scratch) {
    const std::string base(scratch);
    return {{HKEY_CURRENT_USER, base + "\\HKLM\\Software\\Classes"},
            {HKEY_CURRENT_USER, base + "\\HKCU"},
            {HKEY_CURRENT_USER, base + "\\HKLM"},
            {HKEY_CURRENT_USER, base + "\\HKU"}};
}

Win32Registry::Win32Registry(Roots roots, OsFamily family)
    : roots_(std::move(roots)), family_(family) {
    // The places of a scratch registry exist from the start, as roots do; HKCR
    // is a key of the scratch HKLM and exists only when that key does.
    for (const Place* p : {&roots_.currentUser, &roots_.localMachine, &roots_.users}) {
        if (p->path.empty()) continue;
        Key key;
        RegCreateKeyExW(Predefined(p->root), Widen(p->path).c_str(), 0, nullptr, 0, KEY_READ,
                        nullptr, key.out(), nullptr);
    }
}

bool Win32Registry::Locate(HKEY root, std::string_view subKey, HKEY& base,
                           std::wstring& path) const {
    const std::pair<HKEY, const Place*> places[] = {{HKEY_CLASSES_ROOT, &roots_.classesRoot},
                                                    {HKEY_CURRENT_USER, &roots_.currentUser},
                                                    {HKEY_LOCAL_MACHINE, &roots_.localMachine},
                                                    {HKEY_USERS, &roots_.users}};
    const Place* place = nullptr;
    for (const auto& [key, p] : places) {
        if (key == root) place = p;
    }
    if (place == nullptr) return false;
    base = place->root;
    std::wstring rest;
    for (std::string_view part : Components(subKey)) rest = Join(rest, Widen(part));
    path = Join(Widen(place->path), rest);
    return true;
}

WinError Win32Registry::Open(HKEY root, std::string_view subKey, std::uint32_t access,
                             Key& key) const {
    HKEY base = 0;
    std::wstring path;
    if (!Locate(root, subKey, base, path)) return ERROR_INVALID_HANDLE;
    return static_cast<WinError>(
        RegOpenKeyExW(Predefined(base), path.c_str(), 0, access, key.out()));
}

WinError Win32Registry::OpenKey(HKEY root, std::string_view subKey) const {
    Key key;
    return Open(root, subKey, KEY_READ, key);
}

WinError Win32Registry::CreateKey(HKEY root, std::string_view subKey) {
    HKEY base = 0;
    std::wstring path;
    if (!Locate(root, subKey, base, path)) return ERROR_INVALID_HANDLE;
    if (Components(subKey).size() > kMaxKeyDepth) return ERROR_INVALID_PARAMETER;
    Key key;
    return static_cast<WinError>(RegCreateKeyExW(Predefined(base), path.c_str(), 0, nullptr, 0,
                                                 KEY_READ | KEY_WRITE, nullptr, key.out(),
                                                 nullptr));
}

WinError Win32Registry::QueryInfoKey(HKEY root, std::string_view subKey, RegKeyInfo& info) const {
    Key key;
    LONG rc = Open(root, subKey, KEY_QUERY_VALUE, key);
    if (rc != 0) return static_cast<WinError>(rc);
    DWORD subKeys = 0, values = 0;
    rc = RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                          nullptr, nullptr, nullptr, nullptr);
    if (rc != 0) return static_cast<WinError>(rc);
    info.subKeys = subKeys;
    info.values = values;
    return ERROR_SUCCESS;
}

WinError Win32Registry::EnumKey(HKEY root, std::string_view subKey, std::uint32_t index,
                                std::string& name) const {
    Key key;
    LONG rc = Open(root, subKey, KEY_ENUMERATE_SUB_KEYS, key);
    if (rc != 0) return static_cast<WinError>(rc);
    wchar_t buffer[256];
    DWORD length = 256;
    rc = RegEnumKeyExW(key.get(), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc != 0) return static_cast<WinError>(rc);
    name = Narrow(std::wstring_view(buffer, length));
    return ERROR_SUCCESS;
}

WinError Win32Registry::EnumValue(HKEY root, std::string_view subKey, std::uint32_t index,
                                  std::string& name, RegValue* value) const {
    Key key;
    LONG rc = Open(root, subKey, KEY_QUERY_VALUE, key);
    if (rc != 0) return static_cast<WinError>(rc);
    DWORD maxName = 0, maxData = 0;
    rc = RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                          &maxName, &maxData, nullptr, nullptr);
    if (rc != 0) return static_cast<WinError>(rc);
    for (;;) {
        std::wstring nameBuffer(maxName + 1, L'\0');
        std::string data(maxData, '\0');
        DWORD nameLength = maxName + 1;
        DWORD dataSize = maxData;
        DWORD type = 0;
        rc = RegEnumValueW(key.get(), index, nameBuffer.data(), &nameLength, nullptr, &type,
                           value != nullptr ? reinterpret_cast<BYTE*>(data.data()) : nullptr,
                           value != nullptr ? &dataSize : nullptr);
        if (rc == static_cast<LONG>(ERROR_MORE_DATA)) {
            maxName = maxName * 2 + 256;
            maxData = maxData * 2 + 256;
            continue;
        }
        if (rc != 0) return static_cast<WinError>(rc);
        name = Narrow(std::wstring_view(nameBuffer.data(), nameLength));
        if (value != nullptr) {
            data.resize(dataSize);
            *value = FromStored(type, std::move(data));
        }
        return ERROR_SUCCESS;
    }
}

WinError Win32Registry::QueryValue(HKEY root, std::string_view subKey, std::string_view name,
                                   RegValue& value) const {
    Key key;
    LONG rc = Open(root, subKey, KEY_QUERY_VALUE, key);
    if (rc != 0) return static_cast<WinError>(rc);
    const std::wstring wideName = Widen(name);
    DWORD size = 0, type = 0;
    rc = RegQueryValueExW(key.get(), wideName.c_str(), nullptr, &type, nullptr, &size);
    for (;;) {
        if (rc != 0) return static_cast<WinError>(rc);
        std::string data(size, '\0');
        DWORD got = size;
        rc = RegQueryValueExW(key.get(), wideName.c_str(), nullptr, &type,
                              reinterpret_cast<BYTE*>(data.data()), &got);
        if (rc == static_cast<LONG>(ERROR_MORE_DATA)) {
            size = got > size ? got : size * 2 + 64;
            rc = 0;
            continue;
        }
        if (rc != 0) return static_cast<WinError>(rc);
        data.resize(got);
        value = FromStored(type, std::move(data));
        return ERROR_SUCCESS;
    }
}

WinError Win32Registry::SetValue(HKEY root, std::string_view subKey, std::string_view name,
                                 const RegValue& value) {
    Key key;
    LONG rc = Open(root, subKey, KEY_SET_VALUE, key);
    if (rc != 0) return static_cast<WinError>(rc);
    const std::string bytes = IsStringType(value.type) ? value.StoredUtf16() : value.data;
    return static_cast<WinError>(RegSetValueExW(key.get(), Widen(name).c_str(), 0, value.type,
                                                reinterpret_cast<const BYTE*>(bytes.data()),
                                                static_cast<DWORD>(bytes.size())));
}

WinError Win32Registry::DeleteValue(HKEY root, std::string_view subKey, std::string_view name) {
    Key key;
    LONG rc = Open(root, subKey, KEY_SET_VALUE, key);
    if (rc != 0) return static_cast<WinError>(rc);
    return static_cast<WinError>(RegDeleteValueW(key.get(), Widen(name).c_str()));
}

WinError Win32Registry::DeleteKey(HKEY root, std::string_view subKey) {
    HKEY base = 0;
    std::wstring path;
    if (!Locate(root, subKey, base, path)) return ERROR_INVALID_HANDLE;
    if (Components(subKey).empty()) return ERROR_ACCESS_DENIED;
    Key key;
    if (const WinError err = OpenDeletable(base, path, key); err != ERROR_SUCCESS) {
        return err;
    }
    return static_cast<WinError>(RegDeleteKeyW(Predefined(base), path.c_str()));
}

WinError Win32Registry::DeleteTree(HKEY root, std::string_view subKey) {
    HKEY base = 0;
    std::wstring path;
    if (!Locate(root, subKey, base, path)) return ERROR_INVALID_HANDLE;
    if (Components(subKey).empty()) return ERROR_ACCESS_DENIED;
    // Nothing is deleted when a key of the tree may not be: look first.
    std::vector<std::wstring> pending{path};
    while (!pending.empty()) {
        const std::wstring current = pending.back();
        pending.pop_back();
        Key key;
        if (const WinError err = OpenDeletable(base, current, key); err != ERROR_SUCCESS) {
            return err;
        }
        wchar_t name[256];
        for (DWORD i = 0;; ++i) {
            DWORD length = 256;
            if (RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                0) {
                break;
            }
            pending.push_back(current + L"\\" + std::wstring(name, length));
        }
    }
    return static_cast<WinError>(SHDeleteKeyW(Predefined(base), path.c_str()));
}

WinError Win32Registry::OpenSecured(HKEY root, std::string_view subKey, std::uint32_t access,
                                    Key& key) const {
    HKEY base = 0;
    std::wstring path;
    if (!Locate(root, subKey, base, path)) return ERROR_INVALID_HANDLE;
    if (family_ != OsFamily::Nt) return ERROR_CALL_NOT_IMPLEMENTED;
    LONG rc = RegOpenKeyExW(Predefined(base), path.c_str(), 0, access, key.out());
    if (rc == static_cast<LONG>(ERROR_ACCESS_DENIED) && (access & WRITE_DAC) != 0) {
        // The override: take the key over, then its access list may be written.
        TakeOwnership(Predefined(base), path);
        rc = RegOpenKeyExW(Predefined(base), path.c_str(), 0, access, key.out());
    }
    return static_cast<WinError>(rc);
}

WinError Win32Registry::GetKeySecurity(HKEY root, std::string_view subKey,
                                       KeySecurity& security) const {
    Key key;
    if (const WinError err = OpenSecured(root, subKey, READ_CONTROL, key); err != ERROR_SUCCESS) {
        return err;
    }
    bool deny = false;
    if (const WinError err = ReadDenyDelete(key.get(), deny); err != ERROR_SUCCESS) return err;
    security.denyDelete = deny;
    return ERROR_SUCCESS;
}

WinError Win32Registry::SetKeySecurity(HKEY root, std::string_view subKey,
                                       const KeySecurity& security) {
    Key key;
    if (const WinError err = OpenSecured(root, subKey, WRITE_DAC, key); err != ERROR_SUCCESS) {
        return err;
    }
    return WriteAccess(key.get(), security.denyDelete);
}

WinError Win32Registry::DeleteScratch(std::string_view scratch) {
    return static_cast<WinError>(
        SHDeleteKeyW(Predefined(HKEY_CURRENT_USER), Widen(scratch).c_str()));
}

}  // namespace veldan::machine::win32
