#include "machine/windows_path.h"

#include "text/utf8.h"

namespace veldan::machine {
namespace {

constexpr std::size_t kNpos = std::string_view::npos;

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

char UpperChar(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Matches with '*' (any run) and '?' (one character); ASCII case ignored.
bool MatchPlain(std::string_view pat, std::string_view name) {
    std::size_t p = 0, n = 0;
    std::size_t starP = kNpos, starN = 0;  // position after the last '*', and where it resumes
    while (n < name.size()) {
        if (p < pat.size() && pat[p] == '*') {
            starP = ++p;
            starN = n;
            continue;
        }
        if (p < pat.size()) {
            const std::size_t nl = text::Utf8CharLength(name, n);
            if (pat[p] == '?') {
                ++p;
                n += nl;
                continue;
            }
            const std::size_t pl = text::Utf8CharLength(pat, p);
            const bool same = pl == nl && (pl == 1 ? UpperChar(pat[p]) == UpperChar(name[n])
                                                   : pat.substr(p, pl) == name.substr(n, nl));
            if (same) {
                p += pl;
                n += nl;
                continue;
            }
        }
        if (starP == kNpos) return false;
        starN += text::Utf8CharLength(name, starN);
        n = starN;
        p = starP;
    }
    while (p < pat.size() && pat[p] == '*') ++p;
    return p == pat.size();
}

}  // namespace

WinError ParseWindowsPath(std::string_view path, WindowsPath& out) {
    std::string_view p = path;
    // "\\?\C:\..." (no-parse prefix) and "\??\C:\..." (the native form the
    // rename-at-restart list holds) name the same file as "C:\...".
    if (p.size() >= 4 && IsSeparator(p[0]) && (IsSeparator(p[1]) || p[1] == '?') && p[2] == '?' &&
        IsSeparator(p[3])) {
        p.remove_prefix(4);
    }
    const bool letter =
        p.size() >= 2 && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
    if (!letter || p[1] != ':') return ERROR_INVALID_NAME;
    if (p[0] != 'C' && p[0] != 'c') return ERROR_PATH_NOT_FOUND;

    WindowsPath result;
    result.drive = std::string(p.substr(0, 2));
    // "C:x" is taken from the root: the image's drive has no other current folder.
    const std::string_view rest = p.substr(2);
    result.trailingSeparator = !rest.empty() && IsSeparator(rest.back());
    std::size_t separators = 0;
    for (char c : rest) separators += IsSeparator(c) ? 1 : 0;
    result.components.reserve(separators + 1);
    std::size_t i = 0;
    while (i < rest.size()) {
        while (i < rest.size() && IsSeparator(rest[i])) ++i;
        const std::size_t start = i;
        while (i < rest.size() && !IsSeparator(rest[i])) ++i;
        std::string_view comp = rest.substr(start, i - start);
        if (comp == "..") {
            if (result.components.empty()) return ERROR_PATH_NOT_FOUND;
            result.components.pop_back();
            continue;
        }
        while (!comp.empty() && (comp.back() == '.' || comp.back() == ' ')) comp.remove_suffix(1);
        if (!comp.empty()) result.components.emplace_back(comp);  // "." and "" vanish here
    }
    out = std::move(result);
    return ERROR_SUCCESS;
}

bool MatchWildcard(std::string_view pattern, std::string_view name) {
    if (pattern == "*" || pattern == "*.*") return true;
    if (MatchPlain(pattern, name)) return true;
    // A final ".*" may also match the end of the name, as if the name ended in a dot.
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*") {
        std::string dotted(name);
        dotted += '.';
        return MatchPlain(pattern, dotted);
    }
    return false;
}

}  // namespace veldan::machine
