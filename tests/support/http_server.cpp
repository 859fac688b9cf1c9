#include "support/http_server.h"

#include <cerrno>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    wakeRead_.Reset(pipeFds[0]);
    wakeWrite_.Reset(pipeFds[1]);

    listen_.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    if (!listen_ || ::bind(listen_.get(), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listen_.get(), 64) != 0 ||
        ::getsockname(listen_.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
}

HttpServer::~HttpServer() {
    const char stop = 'x';
    while (::write(wakeWrite_.get(), &stop, 1) < 0 && errno == EINTR) {
    }
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
    pollfd fd = {wakeRead_.get(), POLLIN, 0};
    for (;;) {
        const int ready = ::poll(&fd, 1, static_cast<int>(wait.count()));
        if (ready < 0 && errno == EINTR) continue;
        return ready > 0;
    }
}

bool HttpServer::WaitReadable(int fd, std::chrono::milliseconds timeout) const {
    pollfd fds[2] = {{wakeRead_.get(), POLLIN, 0}, {fd, POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(fds, 2, static_cast<int>(timeout.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        if (fds[0].revents != 0) return false;  // stopping
        return true;
    }
}

bool HttpServer::SendAll(int fd, std::string_view bytes) const {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent >= 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
        // A client that does not read must not keep the server from stopping.
        pollfd fds[2] = {{wakeRead_.get(), POLLIN, 0}, {fd, POLLOUT, 0}};
        const int ready = ::poll(fds, 2, static_cast<int>(kClientPatience.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || fds[0].revents != 0) return false;
    }
    return true;
}

void HttpServer::Run() {
    for (;;) {
        if (!WaitReadable(listen_.get(), std::chrono::milliseconds(-1))) return;
        host::UniqueFd client(::accept4(listen_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (client) Serve(client.get());
    }
}

void HttpServer::Serve(int client) {
    // The request head: everything up to the empty line.
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        if (head.size() > kMaxRequestHead || !WaitReadable(client, kClientPatience)) return;
        const ssize_t got = ::recv(client, buffer, sizeof(buffer), 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return;
        head.append(buffer, static_cast<std::size_t>(got));
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
    if (answer.contentLength) {
        response += "Content-Length: " + std::to_string(answer.body.size()) + "\r\n";
    }
    response += "Connection: close\r\n\r\n";

    std::string_view body = answer.body;
    if (answer.cutAfter && *answer.cutAfter < body.size()) body = body.substr(0, *answer.cutAfter);
    if (headOnly) body = {};
    bool sending = SendAll(client, response);
    const std::size_t piece = answer.chunkSize > 0 ? answer.chunkSize : body.size();
    for (bool first = true; sending && !body.empty(); first = false) {
        if (!first && answer.chunkDelay.count() > 0 && Stopping(answer.chunkDelay)) return;
        const std::string_view now = body.substr(0, piece);
        sending = SendAll(client, now);
        body.remove_prefix(now.size());
    }

    // A graceful end: no more from this side, then wait for the client to
    // close, so that nothing it has not read yet is thrown away by a reset.
    ::shutdown(client, SHUT_WR);
    while (WaitReadable(client, kDrainPatience)) {
        const ssize_t got = ::recv(client, buffer, sizeof(buffer), 0);
        if (got == 0 || (got < 0 && errno != EINTR)) break;
    }
}

}  // namespace veldan::test
