// deny_key.exe KEY: takes from everyone the right to change KEY of
// HKEY_LOCAL_MACHINE (set values, make sub-keys, delete), as a key an
// administrator locked looks to a program without the rights to it. Reading
// stays allowed. cli_live_test.sh uses it to see what veldan-cli.exe says when
// Windows refuses a change for lack of rights.
#include <windows.h>

#include <aclapi.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: deny_key.exe SUBKEY-OF-HKLM\n", stderr);
        return 2;
    }
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExW(HKEY_LOCAL_MACHINE, argv[1], 0, nullptr, 0,
                              READ_CONTROL | WRITE_DAC, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) {
        std::fprintf(stderr, "cannot open the key: error %ld\n", rc);
        return 1;
    }
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
    EXPLICIT_ACCESSW entries[2] = {};
    entries[0].grfAccessPermissions = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | DELETE;
    entries[0].grfAccessMode = DENY_ACCESS;
    entries[1].grfAccessPermissions = KEY_READ;
    entries[1].grfAccessMode = GRANT_ACCESS;
    for (EXPLICIT_ACCESSW& e : entries) {
        e.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        e.Trustee.ptstrName = static_cast<LPWSTR>(everyone);
    }
    PACL acl = nullptr;
    rc = SetEntriesInAclW(2, entries, nullptr, &acl);
    if (rc == ERROR_SUCCESS) {
        rc = SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                             acl, nullptr);
    }
    LocalFree(acl);
    FreeSid(everyone);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) {
        std::fprintf(stderr, "cannot set the key's access list: error %ld\n", rc);
        return 1;
    }
    return 0;
}
