// The HTTP client's handling of a response: the bytes are the whole answer of
// the server (status line, header block, body), served on 127.0.0.1 to
// TInternet's GetPage (odd sizes: GetFile into the fuzz folder). Redirects are
// followed as the program follows them; every proxy variable points at the
// same server, so an answer can never lead the client off this machine.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "common/answer_server.h"
#include "common/fuzz_folder.h"
#include "net/internet.h"

namespace {

const std::string& Address() {
    static const std::string address = [] {
        const std::string origin =
            "http://127.0.0.1:" + std::to_string(veldan::fuzz::AnswerServer::Instance().port());
        for (const char* name :
             {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
            ::setenv(name, origin.c_str(), 1);
        }
        ::unsetenv("no_proxy");
        ::unsetenv("NO_PROXY");
        return origin + "/veldan/newversion";
    }();
    return address;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& address = Address();
    veldan::fuzz::AnswerServer::Instance().SetAnswer(
        std::string_view(reinterpret_cast<const char*>(data), size));
    veldan::net::TInternet internet;
    internet.user = "user";
    internet.password = "secret";
    int code = 0;
    std::string text;
    if (size % 2 == 0) {
        std::string body;
        (void)internet.GetPage(address, body, code, text);
    } else {
        static const std::string file = (veldan::fuzz::FuzzFolder() / "download").string();
        (void)internet.GetFile(address, file, code, text);
    }
    if (text != veldan::net::TInternet::ErrorText(code)) std::abort();
    return 0;
}
