#pragma once
// Shortcuts: shell links (.lnk) and internet shortcuts (.url), the per-scan
// caches of the shortcuts in the usual folders, and their scans and cures.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/context.h"

namespace veldan::platform {

// What a shortcut says about itself.
struct ShortcutInfo {
    virtual ~ShortcutInfo() = default;
    std::string target;  // link target, or the address of an internet shortcut
    std::string arguments;
    std::string description;
    std::uint16_t hotKey = 0;
    std::string iconPath;
    int iconIndex = 0;
    int showCommand = 5;  // SW_SHOW until read
    std::string workingDirectory;
};

class CShellLink : public ShortcutInfo {
  public:
    explicit CShellLink(Context& ctx) : ctx_(ctx) {}
    // 1 when the file was loaded and its fields read.
    virtual int Load(std::string_view path);

  protected:
    Context& ctx_;
};

class CUrlShellLink : public CShellLink {
  public:
    using CShellLink::CShellLink;
    int Load(std::string_view path) override;
};

// Field selector of the folder scans.
inline constexpr int kFieldTarget = 1;
inline constexpr int kFieldArguments = 2;
inline constexpr int kFieldIcon = 3;

void BuildShortcutCaches(Context& ctx);
int ScanShortcutsByTarget(Context& ctx, std::string_view pattern);
int ScanShortcutsByArguments(Context& ctx, std::string_view pattern);
int ScanShortcutsByIcon(Context& ctx, std::string_view pattern);
int ScanInternetShortcuts(Context& ctx, std::string_view pattern);
int ScanInternetShortcutsByIcon(Context& ctx, std::string_view pattern);

int ScanLinksInFolder(Context& ctx, std::string_view folder, std::string_view pattern, int field);
int CureLinksInFolder(Context& ctx, std::string_view folder, std::string_view pattern, int field);
int ScanUrlsInFolder(Context& ctx, std::string_view folder, std::string_view pattern, int field);
int CureUrlsInFolder(Context& ctx, std::string_view folder, std::string_view pattern, int field);

int ScanNamedShortcut(Context& ctx, std::string_view folder, std::string_view name);
int CureNamedShortcut(Context& ctx, std::string_view folder, std::string_view name);
int ScanNamedUrl(Context& ctx, std::string_view folder, std::string_view name);
int CureNamedUrl(Context& ctx, std::string_view folder, std::string_view name);

// The FavDir command: a favourites sub-folder's internet shortcuts by address.
int ScanFavDir(Context& ctx, std::string_view name, std::string_view pattern);
int CureFavDir(Context& ctx, std::string_view name, std::string_view pattern);

}  // namespace veldan::platform
