#pragma once
// A Windows NT-family installation as a host folder: the root of its system
// drive (a mounted partition, or a copy of its files). Its registry is in hive
// files, found without regard to the case of their names:
//
//   <windir>\system32\config\SOFTWARE, SYSTEM, DEFAULT
//   Documents and Settings\<user>\NTUSER.DAT
//   Documents and Settings\<user>\Local Settings\Application Data\Microsoft\Windows\UsrClass.dat
//
// and shows as Windows shows it to that user:
//
//   HKLM\SOFTWARE, HKLM\SYSTEM          SOFTWARE, SYSTEM
//   HKLM\SYSTEM\CurrentControlSet       SYSTEM's ControlSet00N, N from Select "Current"
//   HKU\.DEFAULT                        DEFAULT
//   HKCU, HKU\<SID>                     NTUSER.DAT (SID from ProfileList in SOFTWARE)
//   HKCU\Software\Classes, HKU\<SID>\Software\Classes, HKU\<SID>_Classes
//                                       UsrClass.dat

#include <memory>
#include <string>
#include <vector>

#include "machine/hive/hive_registry.h"
#include "machine/machine_error.h"

namespace veldan::machine::hive {

struct UserProfile {
    std::string name;      // the profile folder's name, taken as the user name
    std::string folder;    // host path of the profile folder
    std::string ntuser;    // host path of NTUSER.DAT
    std::string usrClass;  // host path of UsrClass.dat; "" when there is none
};

struct InstallationLayout {
    std::string root;        // host folder of drive C:
    std::string windirName;  // the Windows folder's name on disk ("WINDOWS")
    std::string software;    // host paths of the machine hives; "" when missing
    std::string system;
    std::string defaultHive;
    std::vector<UserProfile> profiles;  // users' profiles with an NTUSER.DAT, by name
};

// The profile folders of the system's own accounts, never taken as the user.
bool IsServiceProfile(std::string_view name);

// Looks for the hive files under `folder`. Returns false when it holds no
// installation (no <windir>\system32\config with SOFTWARE and SYSTEM).
bool FindInstallation(const std::string& folder, InstallationLayout& layout);

// True when `folder` holds an installation.
bool IsInstallation(const std::string& folder);

struct InstallationOptions {
    std::string user;    // the profile to open; "" takes the only one
    bool force = false;  // open hives that were not cleanly written
};

struct Installation {
    InstallationLayout layout;
    UserProfile user;
    std::string windir;      // "C:\\WINDOWS"
    std::string sid;         // the user's SID; "" when ProfileList does not name the profile
    std::string controlSet;  // "ControlSet001"
    std::unique_ptr<HiveRegistry> registry;
};

// The SID whose ProfileList entry (in HKLM\SOFTWARE of `registry`) points at
// the profile folder C:\Documents and Settings\<profile>; "" when none does.
std::string FindProfileSid(const Registry& registry, const std::string& windir,
                           const std::string& profile);

// Opens the installation in `folder` with its hives mounted as above. Returns
// false with `error` when it cannot (ChooseUser, UnknownUser and NoUser when the
// user is to blame).
bool OpenInstallation(const std::string& folder, const InstallationOptions& options,
                      Installation& out, MachineError& error);

// The host path of the entry of `dir` whose name equals `name` without regard to
// ASCII case (the exact name first); "" when there is none.
std::string FindEntryNoCase(const std::string& dir, std::string_view name);

// Follows `parts` below `dir` the same way; "" when one is missing.
std::string FindPathNoCase(const std::string& dir, const std::vector<std::string_view>& parts);

}  // namespace veldan::machine::hive
