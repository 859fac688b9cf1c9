#pragma once
// Hive files written from any registry: the pieces of converting a machine
// into a Windows installation.

#include <string>
#include <string_view>
#include <vector>

#include "machine/hive/hive_file.h"
#include "machine/hive/hive_writer.h"
#include "machine/backends/convert.h"
#include "machine/registry.h"

namespace veldan::machine::hive {

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

}  // namespace veldan::machine::hive
