#include "net/address.h"

#include "net/http_url.h"
#include "text/strings.h"

namespace veldan::net {

namespace {

bool IsSchemeChar(char c, bool first) {
    const bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (first) return alpha;
    return alpha || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

}  // namespace

bool NamesService(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0) return false;
    for (std::size_t i = 0; i < colon; ++i) {
        if (!IsSchemeChar(text[i], i == 0)) return false;
    }
    // "host:8080" and "host:8080/path": the colon introduces a port.
    const std::size_t end = text.find_first_of("/?#", colon + 1);
    const std::string_view after = text.substr(
        colon + 1, end == std::string_view::npos ? std::string_view::npos : end - colon - 1);
    if (after.empty()) return true;
    for (char c : after) {
        if (c < '0' || c > '9') return true;
    }
    return false;
}

std::string CompleteAddress(std::string_view address) {
    std::string url = text::Trim(address);
    if (NamesService(url)) return url;
    if (!url.empty() && url.front() == '/') return "http:" + url;
    return "http://" + url;
}

std::string ServerAddress(std::string_view host, std::string_view path) {
    std::string base = text::Trim(host);
    if (text::StartsWithNoCase(base, kHttp) || text::StartsWithNoCase(base, kHttps)) {
        while (!base.empty() && base.back() == '/') base.pop_back();
        return base + std::string(path);
    }
    return std::string(kHttp) + base + std::string(path);
}

}  // namespace veldan::net
