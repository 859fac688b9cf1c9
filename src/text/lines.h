#pragma once
// Taking a text apart into lines.

#include <cstddef>
#include <string_view>
#include <vector>

namespace veldan::text {

// One line of a text and the line end that follows it.
struct TextLine {
    std::string_view text;  // without its line end
    std::string_view end;   // "\r\n", "\n", or "" for a last line without one
};

// Cuts the line that starts at `pos` out of `text` and moves `pos` past its line
// end. A line ends at LF; a CR right before the LF belongs to the line end. False
// (nothing cut) once `pos` is at the end: a text ending in a line end has no
// empty line after it.
bool NextLine(std::string_view text, std::size_t& pos, TextLine& line);

// The lines of `text` as NextLine cuts them, without their line ends.
std::vector<std::string_view> SplitLines(std::string_view text);

}  // namespace veldan::text
