#pragma once
// The one temporary folder a fuzz target works in. It is made at the first
// call and removed with everything in it when the process exits normally, so
// a target that writes files reuses one folder and leaves nothing behind.

#include <filesystem>
#include <string_view>

namespace veldan::fuzz {

// The folder of this process (made on first use).
const std::filesystem::path& FuzzFolder();

// Writes `bytes` to `path` (its folders made when missing), replacing the file.
void WriteBytes(const std::filesystem::path& path, std::string_view bytes);

// Removes everything inside `folder` and keeps the (possibly new) empty folder.
void EmptyFolder(const std::filesystem::path& folder);

}  // namespace veldan::fuzz
