// HttpUrl over WinINet's URL parser: the address is checked by
// InternetCrackUrl and given back with its scheme in lower case and "/" as the
// path when it has none, as libcurl's normalisation does for these addresses.
#include <string>

#include "host/wide_path_win32.h"
#include "net/address.h"
#include "net/http_url.h"
#include "text/strings.h"

#include <windows.h>
#include <wininet.h>

namespace veldan::net {

namespace {

// True for "" or a decimal port number 1 to 65535.
bool ValidPort(std::string_view port) {
    if (port.empty() || port.size() > 5) return false;
    unsigned value = 0;
    for (char c : port) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value >= 1 && value <= 65535;
}

}  // namespace

std::string HttpUrl(std::string_view address) {
    const bool secure = text::StartsWithNoCase(address, kHttps);
    const std::string_view prefix = secure ? kHttps : kHttp;
    if (address.size() <= prefix.size() || !text::StartsWithNoCase(address, prefix)) return "";
    const std::string_view rest = address.substr(prefix.size());
    const std::size_t authorityEnd = std::min(rest.find_first_of("/?#"), rest.size());
    const std::string_view authority = rest.substr(0, authorityEnd);
    const std::size_t at = authority.rfind('@');
    const std::string_view hostPort =
        at == std::string_view::npos ? authority : authority.substr(at + 1);
    const std::size_t colon = hostPort.rfind(':');
    const bool bracketed = hostPort.rfind(']') != std::string_view::npos &&
                           (colon == std::string_view::npos || colon < hostPort.rfind(']'));
    const std::string_view host =
        colon == std::string_view::npos || bracketed ? hostPort : hostPort.substr(0, colon);
    if (host.empty()) return "";
    if (colon != std::string_view::npos && !bracketed && !ValidPort(hostPort.substr(colon + 1))) {
        return "";
    }

    std::string url(secure ? "https://" : "http://");
    url += authority;
    const std::string_view tail = rest.substr(authorityEnd);
    if (tail.empty() || tail.front() != '/') url += '/';
    url += tail;

    const std::wstring wide = host::Widen(url);
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = 1;
    if (!InternetCrackUrlW(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts)) return "";
    if (parts.nScheme != (secure ? INTERNET_SCHEME_HTTPS : INTERNET_SCHEME_HTTP)) return "";
    if (parts.dwHostNameLength == 0) return "";
    return url;
}

}  // namespace veldan::net
