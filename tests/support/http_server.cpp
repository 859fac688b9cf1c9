#include "support/http_server.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "text/strings.h"

namespace veldan::test {

namespace {

constexpr std::size_t kMaxRequestHead = 64 * 1024;
constexpr std::chrono::milliseconds kClientPatience{5000};
constexpr std::chrono::milliseconds kDrainPatience{2000};

std::string ReasonOf(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 203:
            return "Non-Authoritative Information";
        case 204:
            return "No Content";
        case 301:
            return "Moved Permanently";
        case 302:
            return "Found";
        case 303:
            return "See Other";
        case 304:
            return "Not Modified";
        case 307:
            return "Temporary Redirect";
        case 308:
            return "Permanent Redirect";
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 407:
            return "Proxy Authentication Required";
        case 500:
            return "Internal Server Error";
        case 503:
            return "Service Unavailable";
        default:
            return "Status";
    }
}

HttpRequest ParseRequest(std::string_view head) {
    HttpRequest request;
    std::size_t lineEnd = head.find("\r\n");
    request.requestLine = std::string(head.substr(0, lineEnd));
    const std::vector<std::string> words = text::Split(request.requestLine, ' ');
    if (!words.empty()) request.method = words[0];
    if (words.size() > 1) request.target = words[1];
    if (lineEnd == std::string_view::npos) return request;
    std::string_view rest = head.substr(lineEnd + 2);
    while (!rest.empty()) {
        const std::size_t end = rest.find("\r\n");
        const std::string_view line = rest.substr(0, end);
        if (line.empty()) break;
        request.headerBlock.append(line).append("\r\n");
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos) {
            request.headers.emplace_back(std::string(line.substr(0, colon)),
                                         text::Trim(line.substr(colon + 1)));
        }
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 2);
    }
    return request;
}

// The line that opens a chunk of `size` bytes.
std::string ChunkHead(std::size_t size) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, size, 16).ptr;
    return std::string(digits, end) + "\r\n";
}

bool ReadFile(const std::filesystem::path& file, std::string& bytes) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

}  // namespace

std::string HttpRequest::Header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (text::EqualsNoCase(key, name)) return value;
    }
    return "";
}

std::size_t HttpRequest::HeaderCount(std::string_view name) const {
    std::size_t count = 0;
    for (const auto& header : headers) {
        if (text::EqualsNoCase(header.first, name)) ++count;
    }
    return count;
}

HttpServer::HttpServer() {
    if (!MakeWakePair(wakeRead_, wakeWrite_)) throw std::runtime_error("no wake sockets");
    listen_ = ListenOnLoopback(port_);
    if (!listen_) throw std::runtime_error("cannot listen on 127.0.0.1");
    thread_ = std::thread([this] { Run(); });
}

HttpServer::~HttpServer() {
    Send(wakeWrite_, "x");
    thread_.join();
}

std::string HttpServer::Url(std::string_view path) const {
    return "http://" + HostPort() + std::string(path);
}

std::string HttpServer::HostPort() const {
    return "127.0.0.1:" + std::to_string(port_);
}

void HttpServer::Answer(const std::string& path, HttpAnswer answer) {
    std::lock_guard lock(mutex_);
    answers_[path] = std::move(answer);
}

void HttpServer::AnswerFile(const std::string& path, const std::filesystem::path& file) {
    HttpAnswer answer;
    answer.bodyFile = file;
    Answer(path, std::move(answer));
}

void HttpServer::AnswerRedirect(const std::string& path, int status, const std::string& location) {
    HttpAnswer answer;
    answer.status = status;
    answer.location = location;
    answer.body = "moved";
    Answer(path, std::move(answer));
}

void HttpServer::Forget(const std::string& path) {
    std::lock_guard lock(mutex_);
    answers_.erase(path);
}

std::vector<HttpRequest> HttpServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::size_t HttpServer::RequestCount() const {
    std::lock_guard lock(mutex_);
    return requests_.size();
}

bool HttpServer::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
}

void HttpServer::ClearRequests() {
    std::lock_guard lock(mutex_);
    requests_.clear();
}

std::optional<HttpAnswer> HttpServer::Find(const std::string& target) const {
    std::lock_guard lock(mutex_);
    auto it = answers_.find(target);
    if (it == answers_.end()) it = answers_.find(target.substr(0, target.find('?')));
    if (it == answers_.end()) return std::nullopt;
    return it->second;
}

bool HttpServer::Stopping(std::chrono::milliseconds wait) const {
    SocketWait waits[] = {{&wakeRead_}};
    return WaitForSockets(waits, wait) > 0;
}

bool HttpServer::WaitReadable(const Socket& socket, std::chrono::milliseconds timeout) const {
    SocketWait waits[] = {{&wakeRead_}, {&socket}};
    if (WaitForSockets(waits, timeout) <= 0) return false;
    return !waits[0].ready;  // not when stopping
}

bool HttpServer::SendAll(const Socket& socket, std::string_view bytes) const {
    while (!bytes.empty()) {
        const long sent = Send(socket, bytes);
        if (sent >= 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (sent != kSocketWouldBlock) return false;
        // A client that does not read must not keep the server from stopping.
        SocketWait waits[] = {{&wakeRead_}, {&socket, true}};
        if (WaitForSockets(waits, kClientPatience) <= 0 || waits[0].ready) return false;
    }
    return true;
}

void HttpServer::Run() {
    for (;;) {
        if (!WaitReadable(listen_, std::chrono::milliseconds(-1))) return;
        const Socket client = AcceptConnection(listen_);
        if (client) Serve(client);
    }
}

// Reads from `client` until it closes, fails or the server stops; every byte
// read is thrown away.
void HttpServer::Drain(const Socket& client, std::chrono::milliseconds patience) const {
    char buffer[4096];
    while (WaitReadable(client, patience)) {
        const long got = Receive(client, buffer, sizeof(buffer));
        if (got == 0 || got == -1) break;
    }
}

void HttpServer::Serve(const Socket& client) {
    // The request head: everything up to the empty line.
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        if (head.size() > kMaxRequestHead || !WaitReadable(client, kClientPatience)) return;
        const long got = Receive(client, buffer, sizeof(buffer));
        if (got == kSocketWouldBlock) continue;
        if (got <= 0) return;
        head.append(buffer, static_cast<std::size_t>(got));
        // Not a request line (a TLS handshake, say): the connection ends now.
        if (head[0] < 'A' || head[0] > 'Z') return;
    }
    HttpRequest request = ParseRequest(head);
    const std::string target = request.target;
    const bool headOnly = request.method == "HEAD";
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(std::move(request));
    }
    arrived_.notify_all();

    std::optional<HttpAnswer> found = Find(target);
    HttpAnswer answer;
    if (found) answer = std::move(*found);
    if (answer.silent) {
        Drain(client, std::chrono::milliseconds(-1));
        return;
    }
    if (!found || (!answer.bodyFile.empty() && !ReadFile(answer.bodyFile, answer.body))) {
        answer = HttpAnswer{};
        answer.status = 404;
        answer.body = "Not Found";
    }

    std::string response = "HTTP/1.1 " + std::to_string(answer.status) + " " +
                           (answer.reason.empty() ? ReasonOf(answer.status) : answer.reason) +
                           "\r\n";
    for (const auto& [name, value] : answer.headers) response += name + ": " + value + "\r\n";
    if (!answer.location.empty()) response += "Location: " + answer.location + "\r\n";
    if (answer.chunked) {
        response += "Transfer-Encoding: chunked\r\n";
    } else if (answer.contentLength) {
        response += "Content-Length: " + std::to_string(answer.body.size()) + "\r\n";
    }
    response += "Connection: close\r\n\r\n";

    const std::string_view body = headOnly ? std::string_view() : std::string_view(answer.body);
    const bool cut = answer.cutAfter && *answer.cutAfter < body.size();
    const std::size_t end = cut ? *answer.cutAfter : body.size();
    const std::size_t piece = answer.chunkSize > 0 ? answer.chunkSize : body.size();
    bool sending = SendAll(client, response);
    for (std::size_t at = 0; sending && at < end; at += piece) {
        if (at > 0 && answer.chunkDelay.count() > 0 && Stopping(answer.chunkDelay)) return;
        const std::string_view whole = body.substr(at, piece);
        const std::string_view now = whole.substr(0, end - at);
        if (answer.chunked) {
            sending = SendAll(client, ChunkHead(whole.size())) && SendAll(client, now) &&
                      (now.size() < whole.size() || SendAll(client, "\r\n"));
        } else {
            sending = SendAll(client, now);
        }
    }
    if (sending && answer.chunked && !cut && !headOnly) SendAll(client, "0\r\n\r\n");

    // A graceful end: no more from this side, then wait for the client to
    // close, so that nothing it has not read yet is thrown away by a reset.
    ShutdownSending(client);
    Drain(client, kDrainPatience);
}

}  // namespace veldan::test
