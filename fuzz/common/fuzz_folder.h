#pragma once
// The one temporary folder a fuzz target works in ($TMPDIR/veldan-fuzz-<pid>).
// It is made at the first call and removed with everything in it when the
// process exits normally, so a target that writes files reuses one folder.
// A run that ends abruptly (a finding) leaves its folder; the next fuzz
// process removes the folders of processes that no longer run.

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
