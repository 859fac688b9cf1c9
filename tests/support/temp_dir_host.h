#pragma once
// What TempDir needs of the system it runs on (temp_dir_host.cpp, and its
// Windows twin temp_dir_host_win32.cpp).

#include <filesystem>

namespace veldan::test {

// A new folder of its own below the system's temporary folder; throws when none can be made.
std::filesystem::path MakeTempFolder();
// Lets an entry a test made read-only be removed.
void MakeRemovable(const std::filesystem::path& path);

}  // namespace veldan::test
