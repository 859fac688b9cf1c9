#pragma once
// Release archives for the update tests: the `Veldan` of such a release is a
// small shell script that records that it ran, so a test can see that the
// updater installed the release and started the new program.
//
//   std::string zip = BuildMarkerRelease("new", marker, {{"data/version", "2006.10.1"}});
//
// When started, the script writes the file `markerPath`: the release tag, its
// working folder, then each of its arguments, one per line. The file appears
// whole (it is written beside and renamed).

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace veldan::test {

struct ReleaseFile {
    std::string name;   // stored name, "/" between folders
    std::string bytes;  // contents
};

// The text of the marker script of release `tag`.
std::string MarkerScript(const std::string& tag, const std::string& markerPath);

// A ZIP archive holding "Veldan" (the marker script, executable) and `files`.
std::string BuildMarkerRelease(const std::string& tag, const std::string& markerPath,
                               const std::vector<ReleaseFile>& files = {});

// The lines of a marker file (tag, working folder, arguments); empty when the
// file is missing.
std::vector<std::string> ReadMarker(const std::string& markerPath);

// Waits until `path` exists or `timeout` passed; returns true when it exists.
bool WaitForFile(const std::string& path, std::chrono::milliseconds timeout);

// Every file below `folder` with its bytes, and every folder (its path with a
// trailing "/", mapped to ""), by path relative to `folder`: two snapshots
// are equal when nothing below the folder changed.
std::map<std::string, std::string> FolderSnapshot(const std::string& folder);

// Makes the loopback server reachable whatever proxy the environment names.
void BypassProxies();

}  // namespace veldan::test
