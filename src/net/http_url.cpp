#include "net/http_url.h"

#include <curl/curl.h>

#include "host/c_handle.h"
#include "net/address.h"
#include "text/strings.h"

namespace veldan::net {

namespace {

using UrlHandle = host::CHandle<CURLU, curl_url_cleanup>;

// One part of a parsed URL, "" when it is absent.
std::string UrlPart(CURLU* url, CURLUPart part) {
    char* value = nullptr;
    if (curl_url_get(url, part, &value, 0) != CURLUE_OK || value == nullptr) return "";
    std::string result(value);
    curl_free(value);
    return result;
}

}  // namespace

std::string HttpUrl(std::string_view address) {
    // The service must be HTTP or HTTPS and the server must follow as
    // "//server"; libcurl alone would take "http:/server" and "http:server" as well.
    const bool secure = text::StartsWithNoCase(address, kHttps);
    const std::string_view prefix = secure ? kHttps : kHttp;
    if (address.size() <= prefix.size() || !text::StartsWithNoCase(address, prefix)) return "";
    UrlHandle url(curl_url());
    if (!url) return "";
    const std::string copy(address);
    if (curl_url_set(url.get(), CURLUPART_URL, copy.c_str(), 0) != CURLUE_OK) return "";
    if (!text::EqualsNoCase(UrlPart(url.get(), CURLUPART_SCHEME), secure ? "https" : "http")) {
        return "";
    }
    if (UrlPart(url.get(), CURLUPART_HOST).empty()) return "";
    return UrlPart(url.get(), CURLUPART_URL);
}

}  // namespace veldan::net
