#pragma once
// Moving a machine between its two forms: a machine image (.reg files, drive_c/,
// machine.ini) and a Windows installation (the drive itself, registry in hive
// files).

#include <string>
#include <string_view>
#include <vector>

#include "machine/loaded_machine.h"
#include "machine/registry.h"

namespace veldan::machine::hive {

// Copies the key root\path of `from` with its tree into `to` at toRoot\toPath
// (created), merging with what is there; values of `from` win.
WinError CopyRegistryTree(const Registry& from, HKEY root, std::string_view path, Registry& to,
                          HKEY toRoot, std::string_view toPath);

struct ConvertError {
    std::string message;
    bool chooseUser = false;                 // the user must name (another) profile
    std::vector<std::string> profiles = {};  // the profiles to choose from
};

struct ConvertReport {
    std::vector<std::string> written;  // files made, as host paths
    std::vector<std::string> notes;    // what the other form cannot hold
};

// Makes the installation `target` (a folder that does not exist or is empty)
// from the machine image `image`: drive_c/ copied, the hives written from its
// registry. Returns false with `error` when the image cannot be read, is of the
// 9x family, holds keys no hive of an installation can hold, or writing fails.
bool ConvertImageToInstallation(const std::string& image, const std::string& target,
                                ConvertReport& report, ConvertError& error);

// Makes the machine image `target` (a folder that does not exist or is empty)
// from the installation `installation`: the drive copied to drive_c/ (without
// pagefile.sys and hiberfil.sys), the registry as the user sees it written to
// registry/machine.reg, and machine.ini naming the user and the Windows folder.
bool ConvertInstallationToImage(const std::string& installation, const LoadOptions& options,
                                const std::string& target, ConvertReport& report,
                                ConvertError& error);

}  // namespace veldan::machine::hive
