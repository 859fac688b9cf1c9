// The WinINet client against a TLS server whose self-signed certificate no
// root of the machine vouches for (started by internet_tls_test.sh, which
// passes its address in VELDAN_TLS_ADDRESS): the server is refused, with the
// result of a failed connection, and nothing it sends is read.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "net/internet.h"
#include "net/transfer.h"

#include <windows.h>
#include <wininet.h>

namespace veldan::net {
namespace {

class CountingSink final : public BodySink {
  public:
    int Begin() override {
        ++begun;
        return 0;
    }
    int Write(std::string_view bytes) override {
        received += bytes;
        return 0;
    }
    int begun = 0;
    std::string received;
};

TEST(InternetTls, AnUntrustedCertificateIsRefused) {
    const char* address = std::getenv("VELDAN_TLS_ADDRESS");
    if (address == nullptr) GTEST_SKIP() << "no TLS server: internet_tls_test.sh starts one";

    TInternet internet;
    internet.timeoutSeconds = 20;
    std::string body = "untouched";
    int code = -1;
    std::string text;
    EXPECT_EQ(internet.GetPage(address, body, code, text), 0);
    EXPECT_EQ(code, 3);
    EXPECT_EQ(text, "Connection failed");
    EXPECT_EQ(body, "");

    CountingSink sink;
    const GetOutcome outcome = RunGet({address, "Accept: */*\r\n\r\n", "Mozilla", 20}, sink);
    EXPECT_EQ(outcome.code, 3);
    EXPECT_FALSE(outcome.rejectedByStatus);
    EXPECT_EQ(sink.begun, 0);
    EXPECT_EQ(sink.received, "");
    if (outcome.transportError == ERROR_INTERNET_SECURITY_CHANNEL_ERROR) {
        GTEST_SKIP() << "refused, but before the certificate was looked at: Wine's secure "
                        "channel (GnuTLS) could not make a TLS connection here";
    }
    // The reason is the certificate: its issuer is no trusted root.
    EXPECT_EQ(outcome.transportError, ERROR_INTERNET_INVALID_CA);
}

}  // namespace
}  // namespace veldan::net
