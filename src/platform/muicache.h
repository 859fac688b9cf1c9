#pragma once
// The MUICache list: value names under HKCU\...\ShellNoRoam\MUICache, the display
// names the shell remembers for programs it started, listed at every scan start.

#include <string_view>

#include "platform/context.h"

namespace veldan::platform {

inline constexpr std::string_view kMuiCacheKey =
    "Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache";

// Rebuilds ctx.muiCache() from the key.
void BuildMuiCacheList(Context& ctx);
// Reports every listed name equal to the path (case ignored); 1 when any was recorded.
int ScanMuiCache(Context& ctx, std::string_view path);
// Deletes every listed name equal to the path; 1 when all deletions succeeded.
int CureMuiCache(Context& ctx, std::string_view path);

}  // namespace veldan::platform
