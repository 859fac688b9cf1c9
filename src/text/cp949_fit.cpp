#include "text/cp949_fit.h"

#include "text/codepage.h"
#include "text/utf8.h"

namespace veldan::text {

std::string_view FitCp949(std::string_view utf8, std::size_t buffer) {
    if (buffer == 0) return {};
    if (Cp949Length(utf8) < buffer) return utf8;
    std::size_t used = 0;
    std::size_t end = 0;
    while (end < utf8.size()) {
        const std::size_t next = end + Utf8CharLength(utf8, end);
        used += Cp949Length(utf8.substr(end, next - end));
        if (used >= buffer) break;
        end = next;
    }
    return utf8.substr(0, end);
}

}  // namespace veldan::text
