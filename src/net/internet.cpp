#include "net/internet.h"

#include "net/address.h"
#include "net/block_text.h"
#include "net/file_sink.h"
#include "net/transfer.h"
#include "text/strings.h"

namespace veldan::net {

namespace {

// Collects the body of GetPage.
class PageSink final : public BodySink {
  public:
    int Begin() override { return 0; }
    int Write(std::string_view bytes) override {
        text_.Append(bytes);
        return 0;
    }
    const std::string& text() const { return text_.text(); }

  private:
    BlockText text_;
};

// The agent name up to any line break, which would end the header line.
std::string HeaderSafe(std::string_view value) {
    return std::string(value.substr(0, value.find_first_of("\r\n")));
}

int Finish(int code, int& outCode, std::string& outText) {
    outCode = code;
    outText = TInternet::ErrorText(code);
    return code == kSuccessful ? 1 : 0;
}

}  // namespace

int TInternet::GetPage(std::string_view address, std::string& body, int& code, std::string& text) {
    code = kSuccessful;
    text.clear();
    if (address.empty()) return Finish(kInvalidParameter, code, text);
    const std::string url = HttpUrl(CompleteAddress(address));
    if (url.empty()) return Finish(kInvalidUrl, code, text);

    ++sessionCounter;
    PageSink sink;
    const GetOutcome outcome =
        RunGet({url, BuildRequestHeaders(), HeaderSafe(userAgent), timeoutSeconds}, sink);
    if (!outcome.rejectedByStatus) body = sink.text();
    return Finish(outcome.code, code, text);
}

int TInternet::GetFile(std::string_view address, const std::string& localHostPath, int& code,
                       std::string& text) {
    code = kSuccessful;
    text.clear();
    if (address.empty() || localHostPath.empty()) return Finish(kInvalidParameter, code, text);
    const std::string url = HttpUrl(CompleteAddress(address));
    if (url.empty()) return Finish(kInvalidUrl, code, text);

    ++sessionCounter;
    FileSink sink(localHostPath);
    const GetOutcome outcome =
        RunGet({url, BuildRequestHeaders(), HeaderSafe(userAgent), timeoutSeconds}, sink);
    // Closing may still report a failed write; a transfer that failed keeps its code.
    const int closed = sink.Close();
    return Finish(outcome.code != kSuccessful ? outcome.code : closed, code, text);
}

std::string TInternet::ErrorText(int code) {
    if (code >= 0 && static_cast<std::size_t>(code) < kResultTexts.size()) {
        return std::string(kResultTexts[static_cast<std::size_t>(code)]);
    }
    return text::Format("TInternet error %d", code);
}

std::string TInternet::BuildRequestHeaders() const {
    std::string block = "Accept: */*\r\n";
    if (proxyAuthScheme == "basic" && !proxyUser.empty()) {
        block +=
            "Proxy-authorization: Basic " + EncodeBase64(proxyUser + ":" + proxyPassword) + "\r\n";
    }
    if (!user.empty()) {
        block += "Authorization: Basic " + EncodeBase64(user + ":" + password) + "\r\n";
    }
    block += "\r\n";
    return block;
}

std::string TInternet::EncodeBase64(std::string_view text) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((text.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= text.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(text[i]) << 16) |
                           (static_cast<unsigned char>(text[i + 1]) << 8) |
                           static_cast<unsigned char>(text[i + 2]);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    const std::size_t rest = text.size() - i;
    if (rest > 0) {
        unsigned v = static_cast<unsigned char>(text[i]) << 16;
        if (rest == 2) v |= static_cast<unsigned char>(text[i + 1]) << 8;
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

}  // namespace veldan::net
