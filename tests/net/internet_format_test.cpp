// The parts of TInternet that need no network: result texts, the header
// block, Base64, address completion, the block-wise page text and the causes
// of local file errors.

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "net/address.h"
#include "net/block_text.h"
#include "net/file_error.h"
#include "net/internet.h"

namespace veldan::net {
namespace {

TEST(InternetErrorText, TextsOfTheResultCodes) {
    EXPECT_EQ(TInternet::ErrorText(0), "Successful");
    EXPECT_EQ(TInternet::ErrorText(1), "Invalid URL");
    EXPECT_EQ(TInternet::ErrorText(2), "Invalid parameter");
    EXPECT_EQ(TInternet::ErrorText(3), "Connection failed");
    EXPECT_EQ(TInternet::ErrorText(4), "Timed out");
    EXPECT_EQ(TInternet::ErrorText(5), "Not found");
    EXPECT_EQ(TInternet::ErrorText(6), "Not authorized");
    EXPECT_EQ(TInternet::ErrorText(7), "Disk/file error");
    EXPECT_EQ(TInternet::ErrorText(8), "TInternet error 8");
    EXPECT_EQ(TInternet::ErrorText(113), "TInternet error 113");
    EXPECT_EQ(TInternet::ErrorText(-1), "TInternet error -1");
}

TEST(InternetHeaders, DefaultBlockIsAcceptAndAnEmptyLine) {
    EXPECT_EQ(TInternet().BuildRequestHeaders(), "Accept: */*\r\n\r\n");
}

TEST(InternetHeaders, CredentialLines) {
    TInternet internet;
    internet.proxyAuthScheme = "basic";
    internet.proxyUser = "proxy";
    internet.proxyPassword = "secret";
    internet.user = "user";
    internet.password = "pass";
    EXPECT_EQ(internet.BuildRequestHeaders(),
              "Accept: */*\r\n"
              "Proxy-authorization: Basic cHJveHk6c2VjcmV0\r\n"
              "Authorization: Basic dXNlcjpwYXNz\r\n"
              "\r\n");

    // Server credentials need a user only, whatever the proxy scheme says.
    internet.proxyAuthScheme = "BASIC";
    internet.password.clear();
    EXPECT_EQ(internet.BuildRequestHeaders(),
              "Accept: */*\r\nAuthorization: Basic dXNlcjo=\r\n\r\n");

    // Proxy credentials need the scheme "basic" and a proxy user.
    internet.user.clear();
    internet.proxyAuthScheme = "basic";
    internet.proxyUser.clear();
    EXPECT_EQ(internet.BuildRequestHeaders(), "Accept: */*\r\n\r\n");
}

TEST(InternetBase64, Rfc4648Vectors) {
    EXPECT_EQ(TInternet::EncodeBase64(""), "");
    EXPECT_EQ(TInternet::EncodeBase64("f"), "Zg==");
    EXPECT_EQ(TInternet::EncodeBase64("fo"), "Zm8=");
    EXPECT_EQ(TInternet::EncodeBase64("foo"), "Zm9v");
    EXPECT_EQ(TInternet::EncodeBase64("foob"), "Zm9vYg==");
    EXPECT_EQ(TInternet::EncodeBase64("fooba"), "Zm9vYmE=");
    EXPECT_EQ(TInternet::EncodeBase64("foobar"), "Zm9vYmFy");
}

TEST(InternetBase64, HighBytesAndTheLastCharacters) {
    EXPECT_EQ(TInternet::EncodeBase64(std::string("\xff\xfe\x00", 3)), "//4A");
    EXPECT_EQ(TInternet::EncodeBase64("\xfb\xff"), "+/8=");
}

TEST(InternetBase64, LongInputIsEncodedWhole) {
    std::string expected;
    for (int i = 0; i < 100; ++i) expected += "YWFh";
    EXPECT_EQ(TInternet::EncodeBase64(std::string(300, 'a')), expected);
}

TEST(InternetAddress, Completion) {
    EXPECT_EQ(CompleteAddress("example.com/veldan/newversion"),
              "http://example.com/veldan/newversion");
    EXPECT_EQ(CompleteAddress("  example.com\t\r\n"), "http://example.com");
    EXPECT_EQ(CompleteAddress("/veldan/bin.zip"), "http:/veldan/bin.zip");
    EXPECT_EQ(CompleteAddress("//example.com/x"), "http://example.com/x");
    EXPECT_EQ(CompleteAddress("example.com:8080/x"), "http://example.com:8080/x");
    EXPECT_EQ(CompleteAddress("10.0.0.1:80"), "http://10.0.0.1:80");
    EXPECT_EQ(CompleteAddress(" http://example.com/x "), "http://example.com/x");
    EXPECT_EQ(CompleteAddress("ftp://example.com/x"), "ftp://example.com/x");
    EXPECT_EQ(CompleteAddress("mailto:a@example.com"), "mailto:a@example.com");
    EXPECT_EQ(CompleteAddress(""), "http://");
}

TEST(InternetAddress, OnlyHttpAndHttpsUrlsWithAServerAreTaken) {
    EXPECT_EQ(HttpUrl("http://example.com/x"), "http://example.com/x");
    EXPECT_EQ(HttpUrl("HTTP://example.com:8080/x?a=b"), "http://example.com:8080/x?a=b");
    EXPECT_EQ(HttpUrl("http://example.com"), "http://example.com/");
    EXPECT_EQ(HttpUrl("http:/x"), "");
    EXPECT_EQ(HttpUrl("http:x"), "");
    EXPECT_EQ(HttpUrl("http://"), "");
    EXPECT_EQ(HttpUrl("http://:80/x"), "");
    EXPECT_EQ(HttpUrl("http://example.com:65536/"), "");
    EXPECT_EQ(HttpUrl("https://example.com/"), "https://example.com/");
    EXPECT_EQ(HttpUrl("HTTPS://example.com:8443/x"), "https://example.com:8443/x");
    EXPECT_EQ(HttpUrl("https://"), "");
    EXPECT_EQ(HttpUrl("https:/example.com/"), "");
    EXPECT_EQ(HttpUrl("httpsx://example.com/"), "");
    EXPECT_EQ(HttpUrl("ftp://example.com/"), "");
    EXPECT_EQ(HttpUrl("httpx://example.com/"), "");
}

TEST(InternetAddress, UpdateServerAddresses) {
    // A bare host is reached over plain HTTP; a host with its scheme keeps it.
    EXPECT_EQ(ServerAddress("update.example.org", "/veldan/newversion"),
              "http://update.example.org/veldan/newversion");
    EXPECT_EQ(ServerAddress(" 127.0.0.1:8080 ", "/x"), "http://127.0.0.1:8080/x");
    EXPECT_EQ(ServerAddress("https://update.example.org", "/x"), "https://update.example.org/x");
    EXPECT_EQ(ServerAddress("HTTPS://update.example.org:8443//", "/x"),
              "HTTPS://update.example.org:8443/x");
    EXPECT_EQ(ServerAddress("http://mirror.example.org/veldan-mirror/", "/x"),
              "http://mirror.example.org/veldan-mirror/x");
    EXPECT_EQ(HttpUrl(ServerAddress("https://update.example.org", "/veldan/bin.zip")),
              "https://update.example.org/veldan/bin.zip");
}

TEST(InternetBlockText, ZeroCutsTheRestOfItsBlock) {
    BlockText text;
    text.Append(std::string("abc\0def", 7));
    EXPECT_EQ(text.text(), "abc");
}

TEST(InternetBlockText, TextDoesNotDependOnHowTheBodyArrives) {
    // A zero in the middle of every block but the last.
    std::string body;
    for (int block = 0; block < 3; ++block) {
        body += std::string(500, static_cast<char>('a' + block)) + '\0' +
                std::string(BlockText::kBlockSize - 501, 'x');
    }
    body += "end";
    const std::string expected =
        std::string(500, 'a') + std::string(500, 'b') + std::string(500, 'c') + "end";

    for (std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{1023}, body.size()}) {
        SCOPED_TRACE(piece);
        BlockText text;
        for (std::size_t at = 0; at < body.size(); at += piece) {
            text.Append(std::string_view(body).substr(at, piece));
        }
        EXPECT_EQ(text.text(), expected);
    }
}

TEST(InternetFileError, CausesOfFailedFileOperations) {
    EXPECT_EQ(FileErrorCauseOf(ENOENT), kFileBadPath);
    EXPECT_EQ(FileErrorCauseOf(ENOTDIR), kFileBadPath);
    EXPECT_EQ(FileErrorCauseOf(EACCES), kFileAccessDenied);
    EXPECT_EQ(FileErrorCauseOf(EISDIR), kFileAccessDenied);
    EXPECT_EQ(FileErrorCauseOf(EROFS), kFileAccessDenied);
    EXPECT_EQ(FileErrorCauseOf(EMFILE), kFileTooManyOpen);
    EXPECT_EQ(FileErrorCauseOf(ENOSPC), kFileDiskFull);
    EXPECT_EQ(FileErrorCauseOf(EIO), kFileHardIo);
    EXPECT_EQ(FileErrorCauseOf(EINVAL), kFileGeneric);
}

}  // namespace
}  // namespace veldan::net
