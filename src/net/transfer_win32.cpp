// One HTTP GET over WinINet, with the behaviour of the libcurl version
// (transfer.h): InternetConnect, HttpOpenRequest and HttpSendRequest with the
// header block, redirects followed here (not by WinINet) so that the same
// statuses, the same limit and the same rule for the Authorization line
// apply, the status read by HttpQueryInfo, the body by InternetReadFile.
// WinINet's proxy is the system's preconfigured one. A body shorter than its
// Content-Length is a transport failure, as it is for libcurl.
//
// The request is opened before it is sent so that its time-outs can be set on
// it: Wine takes no send or receive time-out from the session handle, and
// InternetOpenUrl would wait for an answer before giving the handle back. The
// request names no accept types, so the header block's Accept line is the
// only one. A server certificate the machine does not trust fails the send
// (no SECURITY_FLAG_IGNORE_* is ever set).
#include <memory>
#include <string>
#include <vector>

#include "host/wide_path_win32.h"
#include "net/address.h"
#include "net/http_status.h"
#include "net/result_codes.h"
#include "net/transfer.h"
#include "text/lines.h"
#include "text/strings.h"

#include <windows.h>
#include <wininet.h>

namespace veldan::net {

namespace {

struct InternetCloser {
    void operator()(void* handle) const { InternetCloseHandle(static_cast<HINTERNET>(handle)); }
};
using InternetHandle = std::unique_ptr<void, InternetCloser>;

// Nothing from the cache, nothing into it; no redirect, cookie or
// authentication handling of WinINet's own (the credentials are the header
// block's lines only, as over libcurl), and no dialog.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_UI |
                                INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTH |
                                INTERNET_FLAG_KEEP_CONNECTION;

// "scheme://host:port" of a URL, lower case; "" when it cannot be parsed.
std::string OriginOf(const std::string& address) {
    const std::wstring wide = host::Widen(address);
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = 1;
    parts.dwHostNameLength = 1;
    if (!InternetCrackUrlW(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts)) return "";
    return text::LowerAscii(
        host::Narrow(std::wstring_view(parts.lpszScheme, parts.dwSchemeLength)) + "://" +
        host::Narrow(std::wstring_view(parts.lpszHostName, parts.dwHostNameLength)) + ":" +
        std::to_string(parts.nPort));
}

// The absolute address a Location leads to from `base`; "" when it cannot be
// resolved or leads to a service other than http and https.
std::string ResolveRedirect(const std::string& base, const std::string& location) {
    const std::wstring wideBase = host::Widen(base);
    const std::wstring wideLocation = host::Widen(location);
    std::vector<wchar_t> out(4096);
    DWORD size = static_cast<DWORD>(out.size());
    if (!InternetCombineUrlW(wideBase.c_str(), wideLocation.c_str(), out.data(), &size,
                             ICU_NO_ENCODE)) {
        return "";
    }
    return HttpUrl(host::Narrow(std::wstring_view(out.data(), size)));
}

// The lines of the header block for the request, without the
// Authorization line when it is not for this server.
std::wstring RequestHeaders(std::string_view block, bool withAuthorization) {
    std::string lines;
    for (std::string_view l : text::SplitLines(block)) {
        if (l.ends_with('\r')) l.remove_suffix(1);
        if (l.empty()) continue;
        if (!withAuthorization && text::StartsWithNoCase(l, "Authorization:")) continue;
        lines.append(l);
        lines += "\r\n";
    }
    return host::Widen(lines);
}

// A number the response's headers hold; false when there is none.
bool QueryNumber(HINTERNET request, DWORD what, DWORD& value) {
    DWORD size = sizeof value;
    return HttpQueryInfoW(request, what | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr) != 0;
}

std::string QueryText(HINTERNET request, DWORD what) {
    std::vector<wchar_t> buffer(2048);
    DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (!HttpQueryInfoW(request, what, buffer.data(), &size, nullptr)) return "";
    return text::Trim(host::Narrow(std::wstring_view(buffer.data(), size / sizeof(wchar_t))));
}

// Reads the body of `request` into `sink`. Returns 0 or the result code.
int ReadBody(HINTERNET request, BodySink& sink) {
    if (int r = sink.Begin(); r != 0) return r;
    DWORD declared = 0;
    const bool sized = QueryNumber(request, HTTP_QUERY_CONTENT_LENGTH, declared);
    unsigned long long total = 0;
    std::vector<char> buffer(65536);
    for (;;) {
        DWORD got = 0;
        if (!InternetReadFile(request, buffer.data(), static_cast<DWORD>(buffer.size()), &got)) {
            return kConnectionFailed;
        }
        if (got == 0) break;
        total += got;
        if (int r = sink.Write(std::string_view(buffer.data(), got)); r != 0) return r;
    }
    if (sized && total < declared) return kConnectionFailed;
    return kSuccessful;
}

void SetTimeouts(HINTERNET handle, long seconds) {
    DWORD milliseconds = static_cast<DWORD>(seconds * 1000);
    InternetSetOptionW(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &milliseconds, sizeof milliseconds);
    InternetSetOptionW(handle, INTERNET_OPTION_SEND_TIMEOUT, &milliseconds, sizeof milliseconds);
    InternetSetOptionW(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &milliseconds, sizeof milliseconds);
}

// The handles of one request sent.
struct Sent {
    InternetHandle connection;
    InternetHandle request;
    HINTERNET handle() const { return static_cast<HINTERNET>(request.get()); }
};

// Opens and sends the GET of `url` (an address HttpUrl accepted) with
// `headers`; false with the thread's last error set on failure.
bool SendGet(HINTERNET session, const std::string& url, const std::wstring& headers,
             long timeoutSeconds, Sent& sent) {
    const std::wstring wide = host::Widen(url);
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = 1;
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!InternetCrackUrlW(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts)) return false;
    const std::wstring hostName(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring target(parts.lpszUrlPath, parts.dwUrlPathLength);
    target.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    target = target.substr(0, target.find(L'#'));  // a fragment stays with the client
    if (target.empty()) target = L"/";
    const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;

    sent.connection.reset(InternetConnectW(session, hostName.c_str(), parts.nPort, nullptr, nullptr,
                                           INTERNET_SERVICE_HTTP, 0, 0));
    if (!sent.connection) return false;
    sent.request.reset(HttpOpenRequestW(static_cast<HINTERNET>(sent.connection.get()), L"GET",
                                        target.c_str(), nullptr, nullptr, nullptr,
                                        kRequestFlags | (secure ? INTERNET_FLAG_SECURE : 0), 0));
    if (!sent.request) return false;
    SetTimeouts(sent.handle(), timeoutSeconds);
    return HttpSendRequestW(sent.handle(), headers.empty() ? nullptr : headers.c_str(),
                            static_cast<DWORD>(headers.size()), nullptr, 0) != 0;
}

// A transport failure with WinINet's reason.
GetOutcome Failed() {
    return {kConnectionFailed, false, static_cast<long>(GetLastError())};
}

}  // namespace

GetOutcome RunGet(const GetRequest& request, BodySink& sink) {
    const std::wstring agent = host::Widen(request.userAgent);
    InternetHandle session(InternetOpenW(agent.empty() ? nullptr : agent.c_str(),
                                         INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) return Failed();
    SetTimeouts(static_cast<HINTERNET>(session.get()), request.timeoutSeconds);
    const std::string firstOrigin = OriginOf(request.url);
    std::string url = request.url;
    for (long redirects = 0;; ++redirects) {
        // Credentials of the server are for the server first asked only.
        const std::wstring headers =
            RequestHeaders(request.headerBlock, OriginOf(url) == firstOrigin);
        Sent sent;
        if (!SendGet(static_cast<HINTERNET>(session.get()), url, headers, request.timeoutSeconds,
                     sent)) {
            return Failed();
        }
        HINTERNET handle = sent.handle();
        DWORD status = 0;
        if (!QueryNumber(handle, HTTP_QUERY_STATUS_CODE, status) || status == 0) status = 200;
        if (IsFollowedRedirect(status)) {
            const std::string location = QueryText(handle, HTTP_QUERY_LOCATION);
            if (!location.empty()) {
                if (redirects >= kMaxRedirects) return {kConnectionFailed, false};
                url = ResolveRedirect(url, location);
                if (url.empty()) return {kConnectionFailed, false};
                continue;
            }
        }
        if (status >= 400) return {CodeForStatus(static_cast<long>(status)), true};
        return {ReadBody(handle, sink), false};
    }
}

}  // namespace veldan::net
