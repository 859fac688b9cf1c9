#pragma once
// Hive fixtures: registries and Windows installations made of real hive files,
// built from .reg text without any Windows.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "machine/loaded_machine.h"
#include "support/image_builder.h"
#include "support/registry_factory.h"
#include "support/temp_dir.h"

namespace veldan::test {

// The hive registry: the .reg text is read into an image registry, each tree
// written to a hive file of its own (HKCU; every key directly under HKLM and
// HKU), and the files mounted where the trees were. The files live as long as
// the registry. A text that does not parse fails the running test.
RegistryFactory HiveRegistryFactory();

// Converts the image `image` into the installation `dir`/`name` (drive C: with
// its hives); fails the test and returns "" when it cannot.
std::string MakeInstallation(const ImageBuilder& image, const TempDir& dir,
                             std::string_view name = "installation");

// Opens an installation (or image) with options; fails the test and returns
// null when it cannot.
std::unique_ptr<machine::LoadedMachine> LoadMachine(const std::string& folder,
                                                    const machine::LoadOptions& options = {});

// Rewrites the sequence numbers in a hive file's base block (and its checksum),
// as Windows leaves them when it stopped while writing the hive.
void SetHiveSequences(const std::string& hostPath, std::uint32_t primary, std::uint32_t secondary);

}  // namespace veldan::test
