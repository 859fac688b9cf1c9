#include "json.h"

#include <cstdio>

#include "text/codepage.h"

namespace veldan::cli {

std::string JsonString(std::string_view text) {
    // Text that is not valid UTF-8 is read as CP949 so the output stays valid.
    std::string utf8 = text::IsValidUtf8(text) ? std::string(text) : text::Cp949ToUtf8(text);
    std::string out = "\"";
    for (char ch : utf8) {
        auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out.push_back(ch);
                }
        }
    }
    out += "\"";
    return out;
}

std::string JsonStringArray(const std::vector<std::string>& items) {
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i) out += ", ";
        out += JsonString(items[i]);
    }
    return out + "]";
}

}  // namespace veldan::cli
