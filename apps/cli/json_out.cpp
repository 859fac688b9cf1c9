#include "json_out.h"

#include <cstdio>

#include "text/codepage.h"

namespace veldan::cli {
namespace {

void Append(const Json& value, std::string& out) {
    if (value.is_object()) {
        out += '{';
        bool first = true;
        for (const auto& [key, member] : value.items()) {
            if (!first) out += ", ";
            first = false;
            out += Json(key).dump();
            out += ": ";
            Append(member, out);
        }
        out += '}';
    } else if (value.is_array()) {
        out += '[';
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (i > 0) out += ", ";
            Append(value[i], out);
        }
        out += ']';
    } else {
        out += value.dump(-1, ' ', false, nlohmann::detail::error_handler_t::replace);
    }
}

}  // namespace

std::string Utf8(std::string_view text) {
    return text::IsValidUtf8(text) ? std::string(text) : text::Cp949ToUtf8(text);
}

std::string JsonLine(const Json& document) {
    std::string out;
    Append(document, out);
    out += '\n';
    return out;
}

void PrintJson(const Json& document) {
    std::string out = JsonLine(document);
    std::fwrite(out.data(), 1, out.size(), stdout);
}

bool ParseJson(std::string_view text, Json& document) {
    document = Json::parse(text, nullptr, false);
    return !document.is_discarded();
}

}  // namespace veldan::cli
