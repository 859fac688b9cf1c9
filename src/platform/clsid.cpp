#include "platform/clsid.h"

#include <string>

namespace veldan::platform {

bool IsWellFormedClsid(std::string_view text) {
    if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
    for (std::size_t i = 1; i < 37; ++i) {
        const char c = text[i];
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        const bool alnum = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (dash ? c != '-' : !alnum) return false;
    }
    return true;
}

int CheckClsid(Context& ctx, std::string_view text) {
    if (IsWellFormedClsid(text)) return 1;
    ctx.Debug("CLSID... " + std::string(text) + "\n");
    return 0;
}

}  // namespace veldan::platform
