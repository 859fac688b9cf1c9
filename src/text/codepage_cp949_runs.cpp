// The part of the CP949 conversions that is the same on every platform: the
// plain ASCII shortcut and the split of UTF-8 into valid runs.

#include <string>

#include "text/codepage.h"
#include "text/cp949_convert.h"
#include "text/utf8_sequence.h"

namespace veldan::text {

std::string Cp949ToUtf8(std::string_view cp949) {
    // Plain ASCII needs no conversion; most database lines are ASCII.
    for (char c : cp949) {
        if (static_cast<unsigned char>(c) >= 0x80) return detail::Cp949NonAsciiToUtf8(cp949);
    }
    return std::string(cp949);
}

std::string Utf8ToCp949(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    // Runs of valid UTF-8 are converted; invalid bytes pass through as they are.
    std::size_t i = 0;
    while (i < utf8.size()) {
        const std::size_t start = i;
        while (i < utf8.size()) {
            const std::size_t n = Utf8SequenceLength(utf8, i);
            if (n == 0) break;
            i += n;
        }
        if (i > start) detail::AppendUtf8RunAsCp949(utf8.substr(start, i - start), out);
        if (i < utf8.size()) out.push_back(utf8[i++]);
    }
    return out;
}

}  // namespace veldan::text
