// TInternet against the loopback test server: status handling, redirects,
// broken, slow and missing answers, address completion, GetFile's local file,
// and the header block as the server receives it. The same cases run against
// the libcurl client on Linux and the WinINet client under Wine.

#include "net/internet.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "net/transfer.h"
#include "support/http_server.h"
#include "support/temp_dir.h"

namespace veldan::net {
namespace {

using test::HttpAnswer;
using test::HttpServer;

constexpr const char* kUntouched = "untouched";

HttpAnswer WithBody(std::string body, int status = 200) {
    HttpAnswer answer;
    answer.status = status;
    answer.body = std::move(body);
    return answer;
}

// Numbered text lines, at least `size` bytes.
std::string NumberedLines(std::size_t size) {
    std::string lines;
    for (int i = 0; lines.size() < size; ++i) lines += "line " + std::to_string(i) + "\n";
    return lines;
}

// `answer` in chunks of 700 bytes.
HttpAnswer Chunked(HttpAnswer answer) {
    answer.chunked = true;
    answer.chunkSize = 700;
    answer.chunkDelay = std::chrono::milliseconds(1);
    return answer;
}

// Bytes 0..255 over and over, zeros included.
std::string BinaryBytes(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7) & 0xff);
    return bytes;
}

struct Page {
    int result = -1;
    int code = -1;
    std::string text;
    std::string body = kUntouched;
};

struct Download {
    int result = -1;
    int code = -1;
    std::string text;
};

class InternetTest : public ::testing::Test {
  protected:
    // The loopback server must be reached directly, whatever proxy the
    // environment names.
    static void SetUpTestSuite() {
        ::setenv("no_proxy", "*", 1);
        ::setenv("NO_PROXY", "*", 1);
    }

    Page Fetch(std::string_view address) {
        Page page;
        page.result = internet.GetPage(address, page.body, page.code, page.text);
        return page;
    }

    Download Save(std::string_view address, const std::string& path) {
        Download download;
        download.result = internet.GetFile(address, path, download.code, download.text);
        return download;
    }

    // Serves `answer` at `path` cut short after `cut` bytes: the page is a
    // failed connection with the bytes that arrived.
    void ExpectCutShort(const std::string& path, HttpAnswer answer, std::size_t cut) {
        answer.cutAfter = cut;
        server.Answer(path, answer);
        const Page page = Fetch(server.Url(path));
        EXPECT_EQ(page.result, 0);
        EXPECT_EQ(page.code, 3);
        EXPECT_EQ(page.text, "Connection failed");
        EXPECT_EQ(page.body, answer.body.substr(0, cut));
    }

    std::string LocalPath(const std::string& name) const { return (dir.path() / name).string(); }

    HttpServer server;
    TInternet internet;
    test::TempDir dir;
};

// --- status handling ------------------------------------------------------

TEST_F(InternetTest, Status200ReadsTheBody) {
    server.Answer("/veldan/newversion", WithBody("2.1.0\r\n"));
    const Page page = Fetch(server.Url("/veldan/newversion"));
    EXPECT_EQ(page.result, 1);
    EXPECT_EQ(page.code, 0);
    EXPECT_EQ(page.text, "Successful");
    EXPECT_EQ(page.body, "2.1.0\r\n");
    ASSERT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(server.Requests()[0].requestLine, "GET /veldan/newversion HTTP/1.1");
}

TEST_F(InternetTest, ErrorStatusesGiveTheirCodesAndReadNothing) {
    const struct {
        int status;
        int code;
        const char* text;
    } cases[] = {
        {403, 6, "Not authorized"},    {407, 6, "Not authorized"},    {404, 5, "Not found"},
        {400, 3, "Connection failed"}, {401, 3, "Connection failed"}, {500, 3, "Connection failed"},
        {503, 3, "Connection failed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        server.Answer("/status", WithBody("error page", c.status));
        const Page page = Fetch(server.Url("/status"));
        EXPECT_EQ(page.result, 0);
        EXPECT_EQ(page.code, c.code);
        EXPECT_EQ(page.text, c.text);
        EXPECT_EQ(page.body, kUntouched);

        const std::string path = LocalPath("status.bin");
        const Download download = Save(server.Url("/status"), path);
        EXPECT_EQ(download.result, 0);
        EXPECT_EQ(download.code, c.code);
        EXPECT_EQ(download.text, c.text);
        EXPECT_FALSE(std::filesystem::exists(path));
    }
}

TEST_F(InternetTest, EveryStatusBelow400IsASuccess) {
    // 300 and 399 are not redirects that are followed, even with a Location.
    for (int status : {201, 203, 299, 300, 399}) {
        SCOPED_TRACE(status);
        HttpAnswer answer = WithBody("body of " + std::to_string(status), status);
        if (status == 300) answer.location = "/elsewhere";
        server.Answer("/status", answer);
        const Page page = Fetch(server.Url("/status"));
        EXPECT_EQ(page.result, 1);
        EXPECT_EQ(page.code, 0);
        EXPECT_EQ(page.body, answer.body);
    }
}

TEST_F(InternetTest, AnEmptyBodyIsASuccess) {
    server.Answer("/empty", WithBody(""));
    const Page page = Fetch(server.Url("/empty"));
    EXPECT_EQ(page.code, 0);
    EXPECT_EQ(page.body, "");

    const std::string path = LocalPath("empty.bin");
    EXPECT_EQ(Save(server.Url("/empty"), path).code, 0);
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
}

TEST_F(InternetTest, ConnectionFailureSetsTheBodyToWhatArrived) {
    std::string closedAddress;
    {
        HttpServer gone;
        closedAddress = gone.Url("/x");
    }
    const Page page = Fetch(closedAddress);
    EXPECT_EQ(page.result, 0);
    EXPECT_EQ(page.code, 3);
    EXPECT_EQ(page.text, "Connection failed");
    EXPECT_EQ(page.body, "");

    const std::string path = LocalPath("refused.bin");
    EXPECT_EQ(Save(closedAddress, path).code, 3);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(InternetTest, SessionCounterCountsTheRequestsSent) {
    server.Answer("/a", WithBody("a"));
    Fetch(server.Url("/a"));
    Fetch(server.Url("/missing"));
    Save(server.Url("/a"), LocalPath("a.bin"));
    EXPECT_EQ(internet.sessionCounter, 3);
    EXPECT_EQ(server.RequestCount(), 3u);
}

// --- redirects ------------------------------------------------------------

TEST_F(InternetTest, RedirectsAreFollowed) {
    server.Answer("/target", WithBody("arrived"));
    for (int status : {301, 302, 303, 307, 308}) {
        SCOPED_TRACE(status);
        server.ClearRequests();
        server.AnswerRedirect("/moved", status, server.Url("/target"));
        const Page page = Fetch(server.Url("/moved"));
        EXPECT_EQ(page.code, 0);
        EXPECT_EQ(page.body, "arrived");
        const auto requests = server.Requests();
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(requests[1].requestLine, "GET /target HTTP/1.1");
    }
    EXPECT_EQ(internet.sessionCounter, 5);
}

TEST_F(InternetTest, RelativeRedirectsResolveAgainstTheAddress) {
    server.AnswerRedirect("/dir/start", 302, "next");
    server.AnswerRedirect("/dir/next", 301, "/final?x=1");
    server.Answer("/final", WithBody("final"));
    const Page page = Fetch(server.Url("/dir/start"));
    EXPECT_EQ(page.code, 0);
    EXPECT_EQ(page.body, "final");
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[2].target, "/final?x=1");
}

TEST_F(InternetTest, RedirectsAreFollowedUpToTheLimit) {
    // A chain of exactly kMaxRedirects redirects arrives.
    const auto step = [](long i) { return "/r" + std::to_string(i); };
    for (long i = 0; i < kMaxRedirects; ++i) server.AnswerRedirect(step(i), 302, step(i + 1));
    server.Answer(step(kMaxRedirects), WithBody("end of chain"));
    EXPECT_EQ(Fetch(server.Url(step(0))).body, "end of chain");

    // One more is too many: a transport failure after kMaxRedirects + 1 answers.
    server.AnswerRedirect(step(kMaxRedirects), 302, step(kMaxRedirects + 1));
    server.Answer(step(kMaxRedirects + 1), WithBody("too far"));
    server.ClearRequests();
    const Page page = Fetch(server.Url(step(0)));
    EXPECT_EQ(page.code, 3);
    EXPECT_EQ(page.text, "Connection failed");
    EXPECT_EQ(page.body, "");
    EXPECT_EQ(server.RequestCount(), static_cast<std::size_t>(kMaxRedirects + 1));
}

TEST_F(InternetTest, RedirectToAnotherServiceFails) {
    server.AnswerRedirect("/ftp", 302, "ftp://" + server.HostPort() + "/file");
    const Page page = Fetch(server.Url("/ftp"));
    EXPECT_EQ(page.code, 3);
    EXPECT_EQ(server.RequestCount(), 1u);
}

TEST_F(InternetTest, ServerCredentialsStayWithTheFirstServer) {
    internet.user = "user";
    internet.password = "pass";
    server.Answer("/target", WithBody("ok"));
    server.AnswerRedirect("/same", 302, server.Url("/target"));
    server.AnswerRedirect("/other", 302,
                          "http://localhost:" + std::to_string(server.port()) + "/target");

    ASSERT_EQ(Fetch(server.Url("/same")).code, 0);
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].Header("Authorization"), "Basic dXNlcjpwYXNz");

    server.ClearRequests();
    ASSERT_EQ(Fetch(server.Url("/other")).code, 0);
    requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].Header("Authorization"), "Basic dXNlcjpwYXNz");
    EXPECT_EQ(requests[1].HeaderCount("Authorization"), 0u);
    EXPECT_EQ(requests[1].Header("Accept"), "*/*");

    // The same host on another port is another server.
    HttpServer otherPort;
    otherPort.Answer("/target", WithBody("other port"));
    server.AnswerRedirect("/port", 307, otherPort.Url("/target"));
    server.ClearRequests();
    const Page page = Fetch(server.Url("/port"));
    ASSERT_EQ(page.code, 0);
    EXPECT_EQ(page.body, "other port");
    ASSERT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(server.Requests()[0].Header("Authorization"), "Basic dXNlcjpwYXNz");
    ASSERT_EQ(otherPort.RequestCount(), 1u);
    EXPECT_EQ(otherPort.Requests()[0].HeaderCount("Authorization"), 0u);
    EXPECT_EQ(otherPort.Requests()[0].Header("Accept"), "*/*");
}

// --- bodies ---------------------------------------------------------------

TEST_F(InternetTest, AServerThatNeverAnswersTimesOut) {
    HttpAnswer answer;
    answer.silent = true;
    server.Answer("/silent", answer);
    internet.timeoutSeconds = 2;
    const auto start = std::chrono::steady_clock::now();
    const Page page = Fetch(server.Url("/silent"));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(page.result, 0);
    EXPECT_EQ(page.code, 3);
    EXPECT_EQ(page.text, "Connection failed");
    EXPECT_EQ(page.body, "");
    EXPECT_EQ(server.RequestCount(), 1u);
    // The time-out of the request ended the wait, not the default minute.
    EXPECT_LT(waited, std::chrono::seconds(kStallSeconds / 2));
}

TEST_F(InternetTest, SlowBodyIsReadWhole) {
    HttpAnswer answer = WithBody(std::string(3000, 's'));
    answer.chunkSize = 256;
    answer.chunkDelay = std::chrono::milliseconds(20);
    server.Answer("/slow", answer);
    const Page page = Fetch(server.Url("/slow"));
    EXPECT_EQ(page.code, 0);
    EXPECT_EQ(page.body, answer.body);
}

TEST_F(InternetTest, BodyWithoutLengthEndsWithTheConnection) {
    HttpAnswer answer = WithBody(std::string(5000, 'n'));
    answer.contentLength = false;
    server.Answer("/open", answer);
    const Page page = Fetch(server.Url("/open"));
    EXPECT_EQ(page.code, 0);
    EXPECT_EQ(page.body.size(), 5000u);
}

TEST_F(InternetTest, CutOffBodyKeepsWhatArrived) {
    ExpectCutShort("/cut", WithBody(NumberedLines(5000)), 2100);
}

TEST_F(InternetTest, ChunkedBodyIsReadWhole) {
    const HttpAnswer answer = Chunked(WithBody(NumberedLines(5000)));
    server.Answer("/chunked", answer);
    const Page page = Fetch(server.Url("/chunked"));
    EXPECT_EQ(page.code, 0);
    EXPECT_EQ(page.body, answer.body);
}

TEST_F(InternetTest, ChunkedBodyCutShortFails) {
#ifdef _WIN32
    GTEST_SKIP() << "WinINet takes the chunks apart itself, and Wine's WinINet ends a chunked "
                    "body at the connection's close without an error: a chunked body cut short "
                    "cannot be told from a whole one (a release archive cut so fails its "
                    "signature check)";
#endif
    // The connection ends inside the fourth chunk: no last chunk, no success.
    ExpectCutShort("/chunked", Chunked(WithBody(NumberedLines(5000))), 2500);
}

TEST_F(InternetTest, GetPageCutsEachReadBlockAtAZeroByte) {
    // Blocks of 1023 bytes from the start of the body: the first holds a zero
    // after 1000 bytes, the second starts with one, the third has none.
    std::string body = std::string(1000, 'a') + '\0' + std::string(22, 'b');
    body += '\0' + std::string(1022, 'c');
    body += "tail";
    HttpAnswer answer = WithBody(body);
    // Delivered in pieces that do not line up with the blocks.
    answer.chunkSize = 100;
    answer.chunkDelay = std::chrono::milliseconds(1);
    server.Answer("/zeros", answer);

    const Page page = Fetch(server.Url("/zeros"));
    EXPECT_EQ(page.code, 0);
    EXPECT_EQ(page.body, std::string(1000, 'a') + "tail");
}

// --- addresses ------------------------------------------------------------

TEST_F(InternetTest, AddressesWithoutServiceAreCompleted) {
    server.Answer("/x", WithBody("x"));
    const std::string port = std::to_string(server.port());
    for (const std::string& address :
         {server.HostPort() + "/x", "localhost:" + port + "/x", "//" + server.HostPort() + "/x",
          " \t" + server.Url("/x") + "\r\n", "HTTP://" + server.HostPort() + "/x"}) {
        SCOPED_TRACE(address);
        const Page page = Fetch(address);
        EXPECT_EQ(page.code, 0);
        EXPECT_EQ(page.body, "x");
    }
    EXPECT_EQ(server.RequestCount(), 5u);
}

TEST_F(InternetTest, AnAddressOfOnlyAPathNamesNoServer) {
    // "/x" becomes "http:/x", which names no server.
    const Page page = Fetch("/x");
    EXPECT_EQ(page.result, 0);
    EXPECT_EQ(page.code, 1);
    EXPECT_EQ(page.text, "Invalid URL");
    EXPECT_EQ(page.body, kUntouched);
}

TEST_F(InternetTest, OtherServicesAreInvalidUrls) {
    const std::string hostPort = server.HostPort();
    for (const std::string& address :
         {"ftp://" + hostPort + "/x", "httpx://" + hostPort + "/x",
          std::string("file:///etc/hosts"), std::string("mailto:someone@example.com"),
          "http:/" + hostPort + "/x", std::string("http://"), "http://" + hostPort + ":99999/x",
          std::string("   ")}) {
        SCOPED_TRACE(address);
        const Page page = Fetch(address);
        EXPECT_EQ(page.result, 0);
        EXPECT_EQ(page.code, 1);
        EXPECT_EQ(page.text, "Invalid URL");
        EXPECT_EQ(page.body, kUntouched);
        EXPECT_EQ(Save(address, LocalPath("invalid.bin")).code, 1);
    }
    EXPECT_EQ(server.RequestCount(), 0u);
    EXPECT_EQ(internet.sessionCounter, 0);
    EXPECT_FALSE(std::filesystem::exists(LocalPath("invalid.bin")));
}

TEST_F(InternetTest, HttpsIsSpokenAndAServerWithoutTlsFails) {
    // The loopback server speaks plain HTTP: the TLS handshake fails, which
    // is a failed connection, not an address refused before sending.
    const std::string address = "https://" + server.HostPort() + "/x";
    const Page page = Fetch(address);
    EXPECT_EQ(page.result, 0);
    EXPECT_EQ(page.code, 3);
    EXPECT_EQ(page.text, "Connection failed");
    EXPECT_EQ(internet.sessionCounter, 1);
}

TEST_F(InternetTest, EmptyParametersAreRefusedWithoutNetwork) {
    const Page page = Fetch("");
    EXPECT_EQ(page.result, 0);
    EXPECT_EQ(page.code, 2);
    EXPECT_EQ(page.text, "Invalid parameter");
    EXPECT_EQ(page.body, kUntouched);

    server.Answer("/file", WithBody("bytes"));
    const Download noAddress = Save("", LocalPath("file.bin"));
    EXPECT_EQ(noAddress.code, 2);
    EXPECT_EQ(noAddress.text, "Invalid parameter");
    const Download noPath = Save(server.Url("/file"), "");
    EXPECT_EQ(noPath.result, 0);
    EXPECT_EQ(noPath.code, 2);

    EXPECT_EQ(server.RequestCount(), 0u);
    EXPECT_EQ(internet.sessionCounter, 0);
    EXPECT_FALSE(std::filesystem::exists(LocalPath("file.bin")));
}

// --- GetFile --------------------------------------------------------------

TEST_F(InternetTest, GetFileWritesTheExactBytes) {
    const std::string bytes = BinaryBytes(70000);
    dir.Write("served/bin.zip", bytes);
    server.AnswerFile("/veldan/bin.zip", dir.path() / "served/bin.zip");
    // A longer file of the same name is replaced, not overwritten in part.
    dir.Write("bin.zip", std::string(100000, 'o'));

    const Download download = Save(server.Url("/veldan/bin.zip"), LocalPath("bin.zip"));
    EXPECT_EQ(download.result, 1);
    EXPECT_EQ(download.code, 0);
    EXPECT_EQ(download.text, "Successful");
    EXPECT_EQ(dir.Read("bin.zip"), bytes);
}

TEST_F(InternetTest, GetFileLeavesAnExistingFileOnAnErrorStatus) {
    dir.Write("kept.bin", "old bytes");
    server.Answer("/denied", WithBody("no", 403));
    EXPECT_EQ(Save(server.Url("/denied"), LocalPath("kept.bin")).code, 6);
    EXPECT_EQ(dir.Read("kept.bin"), "old bytes");
}

TEST_F(InternetTest, GetFileKeepsThePartOfACutOffBody) {
    const std::string bytes = BinaryBytes(8000);
    HttpAnswer answer = WithBody(bytes);
    answer.cutAfter = 3000;
    server.Answer("/cut", answer);
    const Download download = Save(server.Url("/cut"), LocalPath("part.bin"));
    EXPECT_EQ(download.result, 0);
    EXPECT_EQ(download.code, 3);
    EXPECT_EQ(dir.Read("part.bin"), bytes.substr(0, 3000));
}

TEST_F(InternetTest, GetFileReportsLocalFileErrorsWithTheirCause) {
    server.Answer("/file", WithBody("bytes"));

    const Download noFolder = Save(server.Url("/file"), LocalPath("missing/file.bin"));
    EXPECT_EQ(noFolder.result, 0);
    EXPECT_EQ(noFolder.code, 103);
    EXPECT_EQ(noFolder.text, "TInternet error 103");

    const Download folder = Save(server.Url("/file"), dir.str());
    EXPECT_EQ(folder.code, 105);
    EXPECT_EQ(folder.text, "TInternet error 105");

    // The status is checked before the file is touched.
    EXPECT_EQ(Save(server.Url("/nothing"), LocalPath("missing/file.bin")).code, 5);
}

// --- the request --------------------------------------------------------------

TEST_F(InternetTest, DefaultRequestHeaders) {
    server.Answer("/h", WithBody("h"));
    ASSERT_EQ(Fetch(server.Url("/h")).code, 0);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& request = requests[0];
    EXPECT_EQ(request.HeaderCount("Accept"), 1u);
    EXPECT_EQ(request.Header("Accept"), "*/*");
    EXPECT_EQ(request.Header("User-Agent"), "Mozilla");
    EXPECT_EQ(request.Header("Host"), server.HostPort());
    EXPECT_EQ(request.HeaderCount("Authorization"), 0u);
    EXPECT_EQ(request.HeaderCount("Proxy-authorization"), 0u);
    EXPECT_EQ(request.HeaderCount("Pragma"), 0u);
    EXPECT_EQ(request.HeaderCount("Accept-Encoding"), 0u);
}

TEST_F(InternetTest, CredentialsAndAgentAsReceived) {
    server.Answer("/h", WithBody("h"));
    internet.user = "user";
    internet.password = "pass";
    internet.proxyAuthScheme = "basic";
    internet.proxyUser = "proxy";
    internet.proxyPassword = "secret";
    internet.userAgent = "VeldanUpdate";
    ASSERT_EQ(Save(server.Url("/h"), LocalPath("h.bin")).code, 0);

    // The proxy scheme is compared case-sensitively.
    internet.proxyAuthScheme = "Basic";
    ASSERT_EQ(Fetch(server.Url("/h")).code, 0);

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].Header("Authorization"), "Basic dXNlcjpwYXNz");
    EXPECT_EQ(requests[0].Header("Proxy-authorization"), "Basic cHJveHk6c2VjcmV0");
    EXPECT_EQ(requests[0].Header("User-Agent"), "VeldanUpdate");
    EXPECT_EQ(requests[1].Header("Authorization"), "Basic dXNlcjpwYXNz");
    EXPECT_EQ(requests[1].HeaderCount("Proxy-authorization"), 0u);
}

TEST_F(InternetTest, AgentCannotAddHeaderLines) {
    server.Answer("/h", WithBody("h"));
    internet.userAgent = "Agent\r\nX-Injected: 1";
    ASSERT_EQ(Fetch(server.Url("/h")).code, 0);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Header("User-Agent"), "Agent");
    EXPECT_EQ(requests[0].HeaderCount("X-Injected"), 0u);
}

}  // namespace
}  // namespace veldan::net
