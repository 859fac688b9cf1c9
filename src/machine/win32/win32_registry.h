#pragma once
// The registry of the machine Veldan runs on, through the Reg* wide calls.
//
// Each root of the machine lies at a place of the live registry: on a live
// machine the predefined keys themselves; in tests, keys below one scratch key
// of HKEY_CURRENT_USER, so that the contract tests never touch the rest of the
// registry. Key security (the deletion override) works on the NT family only.

#include <string>
#include <string_view>

#include "machine/registry.h"
#include "machine/system_info.h"

namespace veldan::machine::win32 {

class RegKeyHandle;  // an open key, closed when it goes

class Win32Registry final : public Registry {
  public:
    // A predefined key and the path below it ("" for the key itself).
    struct Place {
        HKEY root = 0;
        std::string path;
    };
    struct Roots {
        Place classesRoot, currentUser, localMachine, users;
    };
    // The predefined keys themselves.
    static Roots LiveRoots();
    // Every root below `scratch` (a path of HKEY_CURRENT_USER); HKCR is the
    // scratch HKLM's Software\Classes, as on a machine image.
    static Roots ScratchRoots(std::string_view scratch);

    Win32Registry(Roots roots, OsFamily family);

    VELDAN_REGISTRY_OPERATIONS;

    // Deletes the scratch key of ScratchRoots with everything below it.
    static WinError DeleteScratch(std::string_view scratch);

  private:
    // The predefined key and the full path below it of `subKey` of `root`;
    // false for a root the machine does not have.
    bool Locate(HKEY root, std::string_view subKey, HKEY& base, std::wstring& path) const;
    // Open for key security, which only the NT family has; a key opened to
    // write its access list is taken over first when the override denies it.
    WinError OpenSecured(HKEY root, std::string_view subKey, std::uint32_t access,
                         RegKeyHandle& key) const;
    // Opens `subKey` of `root` with the Windows `access` rights into `key`.
    WinError Open(HKEY root, std::string_view subKey, std::uint32_t access,
                  RegKeyHandle& key) const;

    Roots roots_;
    OsFamily family_;
};

}  // namespace veldan::machine::win32
