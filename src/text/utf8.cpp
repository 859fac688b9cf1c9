#include "text/utf8.h"

namespace veldan::text {
namespace {

bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::size_t Utf8CharLength(std::string_view s, std::size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = 1;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
    }
    if (n == 1 || i + n > s.size()) return 1;
    for (std::size_t k = 1; k < n; ++k) {
        if (!IsContinuation(s[i + k])) return 1;
    }
    return n;
}

std::size_t Utf8CharStart(std::string_view s, std::size_t i) {
    if (i > s.size()) i = s.size();
    while (i > 0 && i < s.size() && IsContinuation(s[i])) --i;
    return i;
}

}  // namespace veldan::text
