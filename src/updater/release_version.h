#pragma once
// The version of a release: the "#VERSION" of the detection database it
// carries, read as the database loader reads it (core/addb.txt when present,
// else the scrambled data/addb; the last "#VERSION" line counts). Both the
// program folder and an unpacked release are measured this way, so the
// updater can refuse a release older than what is installed.

#include <string>

namespace veldan::updater {

// The database version of the folder `folder` (a program folder or an
// unpacked release), trimmed; "" when it has no database or no "#VERSION".
std::string FolderDatabaseVersion(const std::string& folder);

// True when the release version `release` is older than `installed`: it
// compares byte by byte as the update check does, so a release equal to the
// installed version is not older, and one without a version is older than
// any installed version.
bool IsOlderRelease(const std::string& release, const std::string& installed);

}  // namespace veldan::updater
