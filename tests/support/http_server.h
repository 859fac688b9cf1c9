#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for tests, on Linux and Windows
// (support/loopback_socket.h). It listens on a port of its own choosing,
// answers one connection after the other on its own thread (every answer
// carries "Connection: close"), and records the requests it received. Answers
// are set per path and may be changed while it runs; a path without an answer
// gets 404. The destructor stops the thread and closes every socket.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "support/loopback_socket.h"

namespace veldan::test {

struct HttpAnswer {
    int status = 200;
    std::string reason;  // "" gives the usual phrase of the status
    std::vector<std::pair<std::string, std::string>> headers;  // further header lines
    std::string location;                                      // non-empty: a "Location" header
    std::string body;
    std::filesystem::path bodyFile;  // non-empty: the body is this file's bytes, read per request
    bool contentLength =
        true;  // false: no Content-Length; the body ends when the connection closes
    // A slow body: sent in pieces of chunkSize bytes with chunkDelay before each but the first.
    std::size_t chunkSize = 0;
    std::chrono::milliseconds chunkDelay{0};
    // A broken body: Content-Length announces the whole body, only this many bytes are sent.
    std::optional<std::size_t> cutAfter;
    // The body in the chunked transfer coding (a chunk per piece, no
    // Content-Length); a body cut short ends inside a chunk, without the last one.
    bool chunked = false;
    // No answer at all: the request is read and the connection held open,
    // silent, until the client gives up or the server stops.
    bool silent = false;
};

struct HttpRequest {
    std::string requestLine;  // "GET /x HTTP/1.1"
    std::string method;
    std::string target;
    std::string headerBlock;  // the header lines as received, each ending "\r\n"
    std::vector<std::pair<std::string, std::string>> headers;

    // The value of the first header of that name (any case); "" when absent.
    std::string Header(std::string_view name) const;
    // How many header lines of that name (any case) arrived.
    std::size_t HeaderCount(std::string_view name) const;
};

class HttpServer {
  public:
    // Starts listening; throws std::runtime_error when no socket can be had.
    HttpServer();
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:<port>" followed by `path`.
    std::string Url(std::string_view path) const;
    // "127.0.0.1:<port>".
    std::string HostPort() const;

    // Sets the answer for requests of `path` (the target without its query is
    // tried when the whole target has no answer).
    void Answer(const std::string& path, HttpAnswer answer);
    // Status 200 with the bytes of `file`, read when the request arrives.
    void AnswerFile(const std::string& path, const std::filesystem::path& file);
    // Answers `path` with `status` and a Location header.
    void AnswerRedirect(const std::string& path, int status, const std::string& location);
    void Forget(const std::string& path);

    // The requests received so far, oldest first.
    std::vector<HttpRequest> Requests() const;
    std::size_t RequestCount() const;
    // True once `count` requests arrived, false when `timeout` passed first.
    bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;
    void ClearRequests();

  private:
    void Run();
    void Serve(const Socket& client);
    std::optional<HttpAnswer> Find(const std::string& target) const;
    // Waits up to `timeout` (negative: without limit) for `socket` to become
    // readable; false on stop or time-out.
    bool WaitReadable(const Socket& socket, std::chrono::milliseconds timeout) const;
    // Waits up to `wait`; true when the server is stopping.
    bool Stopping(std::chrono::milliseconds wait) const;
    bool SendAll(const Socket& socket, std::string_view bytes) const;
    void Drain(const Socket& client, std::chrono::milliseconds patience) const;

    Socket listen_;
    Socket wakeRead_;
    Socket wakeWrite_;
    int port_ = 0;
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::map<std::string, HttpAnswer> answers_;
    std::vector<HttpRequest> requests_;
    std::thread thread_;
};

}  // namespace veldan::test
