#include "machine/win32/win32_api.h"
// (the Windows headers first; see win32_api.h)

#include "machine/win32/denied_writes.h"

#include "machine/registry_paths.h"

namespace veldan::machine::win32 {

WinError DeniedWrites::Note(WinError result, HKEY root, std::string_view subKey) {
    const bool machineWide = root == HKEY_LOCAL_MACHINE || root == HKEY_CLASSES_ROOT;
    if (result == ERROR_ACCESS_DENIED && machineWide && !refused_) {
        refused_ =
            std::string(RootLongName(root)) + (subKey.empty() ? "" : "\\" + std::string(subKey));
    }
    return result;
}

WinError DeniedWrites::CreateKey(HKEY root, std::string_view subKey) {
    return Note(ForwardingRegistry::CreateKey(root, subKey), root, subKey);
}
WinError DeniedWrites::SetValue(HKEY root, std::string_view subKey, std::string_view name,
                                const RegValue& value) {
    return Note(ForwardingRegistry::SetValue(root, subKey, name, value), root, subKey);
}
WinError DeniedWrites::DeleteValue(HKEY root, std::string_view subKey, std::string_view name) {
    return Note(ForwardingRegistry::DeleteValue(root, subKey, name), root, subKey);
}
WinError DeniedWrites::DeleteKey(HKEY root, std::string_view subKey) {
    return Note(ForwardingRegistry::DeleteKey(root, subKey), root, subKey);
}
WinError DeniedWrites::DeleteTree(HKEY root, std::string_view subKey) {
    return Note(ForwardingRegistry::DeleteTree(root, subKey), root, subKey);
}
WinError DeniedWrites::SetKeySecurity(HKEY root, std::string_view subKey,
                                      const KeySecurity& security) {
    return Note(ForwardingRegistry::SetKeySecurity(root, subKey, security), root, subKey);
}

bool DeniedWrites::Take(bool administrator, MachineError& error) {
    if (!refused_) return false;
    error = MachineError{};
    error.kind = MachineErrorKind::Refused;
    error.message = "not enough rights: Windows refused to change " + *refused_ +
                    (administrator ? "" : " (run veldan-cli as an administrator)");
    refused_.reset();
    return true;
}

bool RunsAsAdministrator() {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                  0, 0, 0, 0, 0, &administrators)) {
        return false;
    }
    BOOL member = FALSE;
    if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
    FreeSid(administrators);
    return member != FALSE;
}

}  // namespace veldan::machine::win32
