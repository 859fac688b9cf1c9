#include "net/transfer.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

#include "host/c_handle.h"
#include "net/http_status.h"
#include "net/result_codes.h"
#include "text/lines.h"
#include "text/strings.h"

namespace veldan::net {

namespace {

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

using EasyHandle = host::CHandle<CURL, curl_easy_cleanup>;
using HeaderList = host::CHandle<curl_slist, curl_slist_free_all>;
using UrlHandle = host::CHandle<CURLU, curl_url_cleanup>;

// What the callbacks learn about the response being received.
struct Exchange {
    CURL* curl = nullptr;
    BodySink* sink = nullptr;
    int code = 0;                   // set when a callback ended the transfer
    bool rejectedByStatus = false;  // status 400 or above
    bool begun = false;             // the final response's body is being read
    bool redirect = false;          // the response is a redirect to follow
    std::string location;           // Location of the response being received
};

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    Exchange& ex = *static_cast<Exchange*>(user);
    const size_t n = size * count;
    if (ex.begun) return n;  // trailer lines after a chunked body
    std::string_view line(data, n);
    if (text::StartsWithNoCase(line, "HTTP/")) {  // a new response starts
        ex.location.clear();
        return n;
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (!line.empty()) {
        if (text::StartsWithNoCase(line, "Location:")) {
            ex.location = text::Trim(line.substr(9));
        }
        return n;
    }
    // The empty line ends the response's headers.
    long status = 0;
    if (curl_easy_getinfo(ex.curl, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status == 0) {
        status = 200;
    }
    if (status < 200) return n;  // an interim response; the real one follows
    if (IsFollowedRedirect(status) && !ex.location.empty()) {
        // The body of a redirect is not wanted: end this transfer here.
        ex.redirect = true;
        return 0;
    }
    if (status >= 400) {
        ex.code = CodeForStatus(status);
        ex.rejectedByStatus = true;
        return 0;
    }
    ex.begun = true;
    ex.code = ex.sink->Begin();
    return ex.code == 0 ? n : 0;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    Exchange& ex = *static_cast<Exchange*>(user);
    const size_t n = size * count;
    if (!ex.begun) return n;
    ex.code = ex.sink->Write(std::string_view(data, n));
    return ex.code == 0 ? n : 0;
}

std::string UrlPart(CURLU* url, CURLUPart part, unsigned flags = 0) {
    char* value = nullptr;
    if (curl_url_get(url, part, &value, flags) != CURLUE_OK || value == nullptr) return "";
    std::string result(value);
    curl_free(value);
    return result;
}

// "scheme://host:port" of a URL, lower case; "" when it cannot be parsed.
std::string OriginOf(const std::string& address) {
    UrlHandle url(curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, address.c_str(), 0) != CURLUE_OK) return "";
    return text::LowerAscii(UrlPart(url.get(), CURLUPART_SCHEME) + "://" +
                            UrlPart(url.get(), CURLUPART_HOST) + ":" +
                            UrlPart(url.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT));
}

// The absolute address a Location leads to from `base`; "" when it cannot be
// resolved or leads to a service other than http and https.
std::string ResolveRedirect(const std::string& base, const std::string& location) {
    UrlHandle url(curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, base.c_str(), 0) != CURLUE_OK ||
        curl_url_set(url.get(), CURLUPART_URL, location.c_str(), 0) != CURLUE_OK) {
        return "";
    }
    const std::string scheme = text::LowerAscii(UrlPart(url.get(), CURLUPART_SCHEME));
    if (scheme != "http" && scheme != "https") return "";
    return UrlPart(url.get(), CURLUPART_URL);
}

// The lines of the header block as libcurl's header list. Supplying "Accept"
// keeps libcurl from adding its own.
HeaderList MakeHeaderList(std::string_view block, bool withAuthorization) {
    HeaderList list;
    for (std::string_view l : text::SplitLines(block)) {
        if (l.ends_with('\r')) l.remove_suffix(1);  // a last line ending in a bare CR
        if (l.empty()) continue;
        if (!withAuthorization && text::StartsWithNoCase(l, "Authorization:")) continue;
        curl_slist* grown = curl_slist_append(list.get(), std::string(l).c_str());
        if (grown == nullptr) return list;
        list.release();
        list.reset(grown);
    }
    return list;
}

void SetOptions(CURL* curl, const std::string& url, curl_slist* headers, const GetRequest& request,
                Exchange& ex) {
    const std::string& userAgent = request.userAgent;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, userAgent.empty() ? nullptr : userAgent.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, request.timeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, request.timeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &ex);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &ex);
}

}  // namespace

GetOutcome RunGet(const GetRequest& request, BodySink& sink) {
    InitCurlOnce();
    EasyHandle curl(curl_easy_init());
    if (!curl) return {kConnectionFailed, false};
    const std::string firstOrigin = OriginOf(request.url);
    std::string url = request.url;
    for (long redirects = 0;; ++redirects) {
        // Credentials of the server are for the server first asked only.
        HeaderList headers = MakeHeaderList(request.headerBlock, OriginOf(url) == firstOrigin);
        Exchange ex;
        ex.curl = curl.get();
        ex.sink = &sink;
        SetOptions(curl.get(), url, headers.get(), request, ex);
        const CURLcode res = curl_easy_perform(curl.get());
        if (ex.code != 0 || ex.rejectedByStatus) return {ex.code, ex.rejectedByStatus};
        if (ex.redirect) {
            if (redirects >= kMaxRedirects) return {kConnectionFailed, false};
            url = ResolveRedirect(url, ex.location);
            if (url.empty()) return {kConnectionFailed, false};
            continue;
        }
        if (res != CURLE_OK) return {kConnectionFailed, false, static_cast<long>(res)};
        if (!ex.begun) return {sink.Begin(), false};
        return {kSuccessful, false};
    }
}

}  // namespace veldan::net
