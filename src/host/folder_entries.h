#pragma once
// Listing a host folder without exceptions: a listing cut short by an error
// reports the error instead of throwing it.

#include <filesystem>
#include <functional>
#include <system_error>

namespace veldan::host {

// Calls `visit` for every entry of folder `folder` ("." and ".." left out) in the
// order the host gives them, until `visit` returns false. Returns the error that
// kept the folder from being opened or read to its end, else an empty one.
std::error_code ForEachEntry(
    const std::filesystem::path& folder,
    const std::function<bool(const std::filesystem::directory_entry&)>& visit);

}  // namespace veldan::host
