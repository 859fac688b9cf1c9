#pragma once
// One HTTP GET over libcurl, as TInternet sends it: the header block as the
// request's headers, redirects followed, the status checked once the final
// response's headers are in, then the body handed to a sink.
//
// Redirects: 301, 302, 303, 307 and 308 with a Location are followed, at most
// kMaxRedirects times, to http and https addresses only; an Authorization line
// of the header block is not sent to another server than the first one.
// Any other status below 400 ends the chain and its body is read.
//
// Time-outs: connecting gives up after kConnectTimeoutSeconds, and a transfer
// that moves less than one byte per second for kStallSeconds is abandoned
// (in the spirit of WinInet's default time-outs, which have no total limit).
// A request may set both to another number of seconds.
//
// Proxy: libcurl's proxy environment variables (http_proxy, no_proxy ...)
// stand for the system's preconfigured proxy settings.

#include <string>
#include <string_view>

namespace veldan::net {

inline constexpr long kMaxRedirects = 10;
inline constexpr long kConnectTimeoutSeconds = 60;
inline constexpr long kStallSeconds = 60;

// Receives the body of the final response.
class BodySink {
  public:
    virtual ~BodySink() = default;
    // Called once the final response's status passed (below 400), before its
    // body; returns 0 to go on, or a result code that ends the transfer.
    virtual int Begin() = 0;
    // Takes the next body bytes; returns 0 to go on, or a result code.
    virtual int Write(std::string_view bytes) = 0;
};

struct GetRequest {
    std::string url;          // an absolute http URL (see HttpUrl)
    std::string headerBlock;  // header lines, each ending "\r\n", closed by an empty line
    std::string userAgent;
    long timeoutSeconds = kConnectTimeoutSeconds;  // for connecting, and for a stalled transfer
};
static_assert(kConnectTimeoutSeconds == kStallSeconds);

struct GetOutcome {
    int code = 0;                   // 0, or the result code of the failure
    bool rejectedByStatus = false;  // the status was 400 or above; no body was read
    // The transport's own reason for a failure, for diagnostics and tests: the
    // CURLcode over libcurl, the Windows error over WinINet; 0 when none.
    long transportError = 0;
};

// Sends the request and feeds the final response's body to `sink`. The code
// is 0 for a complete body, 5 for status 404, 6 for 403 and 407, 3 for any
// other status of 400 or more and for every transport failure (connection,
// time-out, a body cut short, too many redirects), or the code a sink returned.
GetOutcome RunGet(const GetRequest& request, BodySink& sink);

}  // namespace veldan::net
