#pragma once

#include <string_view>

#include "machine/profiles.h"
#include "machine/shell_links.h"

namespace veldan::machine {

// The Internet shortcut (.url file) at `path`, read through the private-profile
// calls as the shell reads it. A file without a URL key gives an empty URL, as
// it opens in the shell; a missing or unreadable number keeps its default.
UrlShortcutData ReadUrlShortcut(const Profiles& profiles, std::string_view path);

}  // namespace veldan::machine
