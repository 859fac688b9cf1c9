#include "machine/short_names.h"

#include <algorithm>

#include "text/codepage.h"
#include "text/utf8.h"

namespace veldan::machine {
namespace {

constexpr std::size_t kNpos = std::string_view::npos;

char UpperChar(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// ASCII characters a FAT short name may hold besides letters and digits.
bool IsShortNameAscii(char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
    return std::string_view("!#$%&'()-@^_`{}~").find(c) != kNpos;
}

// Bytes the (multibyte) character takes in CP949; 0 when CP949 cannot hold it.
std::size_t Cp949Width(std::string_view ch) {
    if (ch.size() < 2) return 0;  // a stray byte of broken UTF-8
    const std::string cp = text::Utf8ToCp949(ch);
    return cp == "?" ? 0 : cp.size();
}

// True when `part` consists of short-name characters taking at most `limit` CP949 bytes.
bool FitsShort(std::string_view part, std::size_t limit) {
    // Plain ASCII, the usual case, takes a byte a character.
    bool ascii = true;
    for (char c : part) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) {
        if (part.size() > limit) return false;
        for (char c : part) {
            if (!IsShortNameAscii(c)) return false;
        }
        return true;
    }
    std::size_t width = 0;
    for (std::size_t i = 0; i < part.size();) {
        const std::size_t n = text::Utf8CharLength(part, i);
        std::size_t w = 1;
        if (static_cast<unsigned char>(part[i]) < 0x80) {
            if (!IsShortNameAscii(part[i])) return false;
        } else {
            w = Cp949Width(part.substr(i, n));
            if (w == 0) return false;
        }
        width += w;
        if (width > limit) return false;
        i += n;
    }
    return true;
}

// The characters of `part` as a generated short name holds them: ASCII upper-cased,
// blanks and dots dropped, anything a short name cannot hold as '_'.
std::vector<ShortChar> ShortChars(std::string_view part) {
    std::vector<ShortChar> out;
    for (std::size_t i = 0; i < part.size();) {
        const std::size_t n = text::Utf8CharLength(part, i);
        const char c = part[i];
        if (static_cast<unsigned char>(c) < 0x80) {
            if (c != ' ' && c != '.') {
                out.push_back({std::string(1, IsShortNameAscii(c) ? UpperChar(c) : '_'), 1});
            }
        } else {
            const std::string_view ch = part.substr(i, n);
            const std::size_t w = Cp949Width(ch);
            out.push_back(w == 0 ? ShortChar{"_", 1} : ShortChar{std::string(ch), w});
        }
        i += n;
    }
    return out;
}

// The leading characters of `chars` that fit in `limit` bytes; never splits one.
std::string Fit(const std::vector<ShortChar>& chars, std::size_t limit) {
    std::string out;
    std::size_t width = 0;
    for (const ShortChar& c : chars) {
        if (width + c.width > limit) break;
        out += c.text;
        width += c.width;
    }
    return out;
}

}  // namespace

ShortNameMaker::ShortNameMaker(std::string_view longName) {
    // Leading dots go first (".htaccess" gives HTACCE~1); the last dot
    // separates the extension.
    const std::size_t start = longName.find_first_not_of('.');
    const std::string_view name = start == kNpos ? std::string_view() : longName.substr(start);
    const std::size_t dot = name.rfind('.');
    base_ = ShortChars(name.substr(0, dot));
    if (dot != kNpos) ext_ = Fit(ShortChars(name.substr(dot + 1)), 3);
    stem_ = Fit(base_, 6) + "." + ext_;
}

std::string ShortNameMaker::Make(unsigned n) const {
    const std::string number = "~" + std::to_string(n);
    const std::size_t room = number.size() >= 8 ? 0 : std::min<std::size_t>(6, 8 - number.size());
    std::string base = Fit(base_, room);
    if (base.empty() && room > 0) base = "_";
    std::string out = base + number;
    if (!ext_.empty()) out += "." + ext_;
    return out;
}

bool IsShortName(std::string_view name) {
    const std::size_t dot = name.find('.');
    if (dot != kNpos && name.find('.', dot + 1) != kNpos) return false;
    const std::string_view base = name.substr(0, dot);
    const std::string_view ext = dot == kNpos ? std::string_view() : name.substr(dot + 1);
    if (base.empty() || (dot != kNpos && ext.empty())) return false;
    return FitsShort(base, 8) && FitsShort(ext, 3);
}

}  // namespace veldan::machine
