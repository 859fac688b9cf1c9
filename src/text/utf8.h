#pragma once
// Walking UTF-8 text by characters, so that a cut never splits one.

#include <cstddef>
#include <string_view>

namespace veldan::text {

// Length of the UTF-8 character at `i` (1 to 4); 1 for a byte that starts no
// complete character, so that a walk over broken text still moves on.
std::size_t Utf8CharLength(std::string_view s, std::size_t i);

// The start of the character that holds byte `i`: `i` moved back over UTF-8
// continuation bytes (never before 0). A cut at the result keeps whole characters.
std::size_t Utf8CharStart(std::string_view s, std::size_t i);

}  // namespace veldan::text
