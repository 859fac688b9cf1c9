#include "text/strings.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace veldan::text {
namespace {

inline char LowerChar(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}
inline char UpperChar(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}
inline bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::string LowerAscii(std::string_view s) {
    std::string out(s);
    LowerAsciiInPlace(out);
    return out;
}

void LowerAsciiInPlace(std::string& s) {
    for (char& c : s) c = LowerChar(c);
}

std::string UpperAscii(std::string_view s) {
    std::string out(s.size(), '\0');
    UpperAsciiTo(s, out.data());
    return out;
}

void UpperAsciiTo(std::string_view s, char* out) {
    // Eight bytes at a time: a byte is a lower-case letter when its low seven
    // bits lie in 'a'..'z' and its high bit is clear; those lose bit 0x20.
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHigh = 0x8080808080808080ull;
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t x;
        std::memcpy(&x, s.data() + i, 8);
        const std::uint64_t low7 = x & ~kHigh;
        const std::uint64_t atLeastA = low7 + (0x80 - 'a') * kOnes;
        const std::uint64_t aboveZ = low7 + (0x7F - 'z') * kOnes;
        const std::uint64_t lower = atLeastA & ~aboveZ & ~x & kHigh;
        x ^= lower >> 2;
        std::memcpy(out + i, &x, 8);
    }
    for (; i < s.size(); ++i) out[i] = UpperChar(s[i]);
}

std::string LowerCp949(std::string_view cp949) {
    std::string out(cp949);
    for (std::size_t i = 0; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (c >= 0x81 && c <= 0xFE && i + 1 < out.size()) {
            ++i;  // lead byte: leave it and its trail byte alone
        } else {
            out[i] = LowerChar(out[i]);
        }
    }
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerChar(a[i]) != LowerChar(b[i])) return false;
    }
    return true;
}

int CompareUpper(std::string_view a, std::string_view b) {
    std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(UpperChar(a[i]));
        unsigned char y = static_cast<unsigned char>(UpperChar(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

std::size_t FindNoCase(std::string_view haystack, std::string_view needle, std::size_t from) {
    if (needle.empty()) return from <= haystack.size() ? from : std::string_view::npos;
    if (needle.size() > haystack.size()) return std::string_view::npos;
    const char first = LowerChar(needle[0]);
    for (std::size_t i = from; i + needle.size() <= haystack.size(); ++i) {
        if (LowerChar(haystack[i]) != first || IsContinuation(haystack[i])) continue;
        std::size_t k = 1;
        while (k < needle.size() && LowerChar(haystack[i + k]) == LowerChar(needle[k])) ++k;
        if (k == needle.size()) return i;
    }
    return std::string_view::npos;
}

bool ContainsNoCase(std::string_view haystack, std::string_view needle) {
    return FindNoCase(haystack, needle) != std::string_view::npos;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && EqualsNoCase(s.substr(s.size() - suffix.size()), suffix);
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view TrimView(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return s;
}

std::string Trim(std::string_view s) {
    return std::string(TrimView(s));
}

std::string TrimLeft(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    return std::string(s);
}

std::string TrimRight(std::string_view s) {
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return std::string(s);
}

void ReplaceAll(std::string& text, std::string_view what, std::string_view with) {
    std::size_t pos = text.find(what);
    if (pos == std::string::npos) return;
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    while (pos != std::string::npos) {
        out.append(text, from, pos - from);
        out.append(with);
        from = pos + what.size();
        pos = text.find(what, from);
    }
    out.append(text, from, std::string::npos);
    text = std::move(out);
}

std::vector<std::string> Split(std::string_view s, char sep) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        std::size_t pos = s.find(sep, start);
        if (pos == std::string_view::npos) {
            out.emplace_back(s.substr(start));
            return out;
        }
        out.emplace_back(s.substr(start, pos - start));
        start = pos + 1;
    }
}

std::string FormatV(const char* fmt, va_list args) {
    char small[512];
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(small, sizeof small, fmt, copy);
    va_end(copy);
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < sizeof small)
        return std::string(small, static_cast<std::size_t>(n));
    std::string out(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), fmt, args);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::string Format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string out = FormatV(fmt, args);
    va_end(args);
    return out;
}

}  // namespace veldan::text
