#pragma once
// Moving a machine between its two forms: a machine image (.reg files, drive_c/,
// machine.ini) and a Windows installation (the drive itself, registry in hive
// files).

#include <string>
#include <string_view>
#include <vector>

#include "machine/hive/hive_file.h"
#include "machine/hive/hive_writer.h"
#include "machine/hive/installation.h"
#include "machine/registry.h"

namespace veldan::machine::hive {

// Copies the key root\path of `from` with its tree into `to` at toRoot\toPath
// (created), merging with what is there; values of `from` win.
WinError CopyRegistryTree(const Registry& from, HKEY root, std::string_view path, Registry& to,
                          HKEY toRoot, std::string_view toPath);

// The key root\path of `from` with its tree (values in their hive form), or an
// empty key when it does not exist. Sub-keys whose paths relative to root\path
// are in `skip` ("Software\\Classes", any case) are left out.
HiveTreeKey TreeOf(const Registry& from, HKEY root, std::string_view path,
                   const std::vector<std::string>& skip = {});

// Writes a hive file holding `tree` (replacing the file through a temporary one).
bool WriteHiveTree(const HiveTreeKey& tree, const std::string& hostPath, std::string& error);

// Writes a hive file holding the key root\path of `from` with its tree (`skip`
// as above).
bool WriteHiveFile(const Registry& from, HKEY root, std::string_view path,
                   const std::string& hostPath, const std::vector<std::string>& skip,
                   std::string& error);

struct ConvertError {
    std::string message;
    bool chooseUser = false;  // as InstallationError
    std::vector<std::string> profiles = {};
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
bool ConvertInstallationToImage(const std::string& installation, const InstallationOptions& options,
                                const std::string& target, ConvertReport& report,
                                ConvertError& error);

}  // namespace veldan::machine::hive
