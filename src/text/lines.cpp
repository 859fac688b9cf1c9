#include "text/lines.h"

namespace veldan::text {

bool NextLine(std::string_view text, std::size_t& pos, TextLine& line) {
    if (pos >= text.size()) return false;
    const std::size_t lf = text.find('\n', pos);
    if (lf == std::string_view::npos) {
        line = {text.substr(pos), {}};
        pos = text.size();
        return true;
    }
    const std::size_t textEnd = lf > pos && text[lf - 1] == '\r' ? lf - 1 : lf;
    line = {text.substr(pos, textEnd - pos), text.substr(textEnd, lf + 1 - textEnd)};
    pos = lf + 1;
    return true;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t pos = 0;
    for (TextLine line; NextLine(text, pos, line);) lines.push_back(line.text);
    return lines;
}

}  // namespace veldan::text
