#pragma once
// A machine image's drive C: as text, to compare two states of a machine:
// one line per entry with its path, kind, write permission (read-only
// attribute), size and content digest.

#include <string>
#include <string_view>

namespace veldan::test {

// Every entry below `drive` (a host folder) in path order, leaving out the
// entries `skip` names (paths relative to the drive, "/" separated, several
// joined by "|") and what is in them.
std::string DriveTree(const std::string& drive, std::string_view skip = {});

// The host path of a Windows path on the drive of the image in `image`.
std::string HostPathOf(const std::string& image, std::string_view winPath);

}  // namespace veldan::test
