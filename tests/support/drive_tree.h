#pragma once
// A machine image's drive C: as text, to compare two states of a machine:
// one line per entry with its path, kind, write permission (read-only
// attribute) and content.

#include <string>
#include <string_view>

namespace veldan::test {

// Every entry below `drive` (a host folder) in path order, leaving out the
// entry `skip` (a path relative to the drive, "/" separated) and what is in it.
std::string DriveTree(const std::string& drive, std::string_view skip = {});

// The host path of a Windows path on the drive of the image in `image`.
std::string HostPathOf(const std::string& image, std::string_view winPath);

}  // namespace veldan::test
