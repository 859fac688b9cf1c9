#include "machine/url_shortcut.h"

#include <cstdint>
#include <cstdlib>
#include <string>

#include "text/strings.h"

namespace veldan::machine {
namespace {

// The number at the start of `s` as GetPrivateProfileInt reads it, or `def` when there is none.
long ProfileNumber(std::string_view s, long def) {
    const std::string t = text::Trim(s);
    if (t.empty()) return def;
    char* end = nullptr;
    const long v = std::strtol(t.c_str(), &end, 10);
    return end == t.c_str() ? def : v;
}

}  // namespace

UrlShortcutData ReadUrlShortcut(const Profiles& profiles, std::string_view path) {
    constexpr std::string_view kSection = "InternetShortcut";
    const auto value = [&](std::string_view key) {
        return profiles.GetString(kSection, key, "", path);
    };
    UrlShortcutData data;
    data.url = value("URL");
    data.iconLocation = value("IconFile");
    data.iconIndex = static_cast<int>(ProfileNumber(value("IconIndex"), data.iconIndex));
    data.workingDirectory = value("WorkingDirectory");
    data.hotKey = static_cast<std::uint16_t>(ProfileNumber(value("HotKey"), data.hotKey));
    data.showCommand = static_cast<int>(ProfileNumber(value("ShowCommand"), data.showCommand));
    return data;
}

}  // namespace veldan::machine
