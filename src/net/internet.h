#pragma once
// TInternet: the small synchronous HTTP client of Veldan (the version text,
// GetPage) and VeldanUpdate (the release archive, GetFile). Every request is
// one GET with a fixed header block; the outcome is a result code
// (result_codes.h) and its text. An object serves one thread at a time; its
// calls block until the transfer ends and never throw.
//
// The cache fields are kept for the callers that set them. Nothing is cached
// on this side, so every request is answered by the server (or a proxy); a
// forced reload sends no "no-cache" header, just as a WinInet reload without
// the pragma flag does not.

#include <string>
#include <string_view>

#include "net/result_codes.h"

namespace veldan::net {

class TInternet {
  public:
    int useCache = 0;             // non-zero: an answer from a cache is allowed (GetPage)
    int writeCache = 0;           // non-zero: the answer may be cached (GetPage)
    int sessionCounter = 0;       // incremented before each request that is sent
    std::string proxyAuthScheme;  // "basic" (exactly) sends the proxy credentials
    std::string proxyUser;
    std::string proxyPassword;
    std::string user;  // non-empty: the server credentials are sent
    std::string password;
    std::string userAgent = "Mozilla";
    // Seconds to wait for a connection, and for a stalled transfer to move.
    long timeoutSeconds = 60;

    // Fetches `address` into `body`. Returns 1 when `code` is 0, else 0;
    // `text` is always ErrorText(code). `body` is set after a complete read
    // and after a transport failure (to what arrived until then); an invalid
    // address or an error status leaves it as passed.
    int GetPage(std::string_view address, std::string& body, int& code, std::string& text);

    // Downloads `address` into the host file `localHostPath`, created (or
    // truncated) once the status passed and written byte for byte. Returns 1
    // when `code` is 0, else 0; `text` is always ErrorText(code). A failure
    // during the body leaves the partly written file; a failure of the local
    // file gives code 100 plus its cause (file_error.h).
    int GetFile(std::string_view address, const std::string& localHostPath, int& code,
                std::string& text);

    // The text of a result code: "Successful", "Invalid URL" ... or
    // "TInternet error <code>" for any code outside 0 to 7.
    static std::string ErrorText(int code);

    // The header block sent with every request: "Accept: */*\r\n", the proxy
    // credentials (scheme "basic" and a proxy user), the server credentials
    // (a user), then an empty line.
    std::string BuildRequestHeaders() const;

    // Standard Base64 with "=" padding. Input of any length is encoded whole.
    static std::string EncodeBase64(std::string_view text);
};

}  // namespace veldan::net
