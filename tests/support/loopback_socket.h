#pragma once
// The socket calls of the loopback test server: POSIX sockets on Linux,
// Winsock on Windows (loopback_socket_win32.cpp). Connections are
// non-blocking; a caller waits with WaitForSockets.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace veldan::test {

// A socket that closes itself: move-only, one owner.
class Socket {
  public:
    using Handle = std::intptr_t;  // a descriptor, or a Winsock SOCKET
    static constexpr Handle kNone = -1;

    Socket() = default;
    explicit Socket(Handle handle) : handle_(handle) {}
    ~Socket() { Reset(); }
    Socket(Socket&& other) noexcept : handle_(other.handle_) { other.handle_ = kNone; }
    Socket& operator=(Socket&& other) noexcept {
        if (this != &other) {
            Reset(other.handle_);
            other.handle_ = kNone;
        }
        return *this;
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != kNone; }
    // Closes the held socket (if any) and holds `handle` instead.
    void Reset(Handle handle = kNone);

  private:
    Handle handle_ = kNone;
};

// A socket listening on 127.0.0.1 at a port of its own choosing, which is
// stored in `port`; an empty socket when none can be had.
Socket ListenOnLoopback(int& port);

// The next connection waiting at `listener`, non-blocking; empty on failure.
Socket AcceptConnection(const Socket& listener);

// Two connected sockets: a byte sent on `write` makes `read` readable.
bool MakeWakePair(Socket& read, Socket& write);

struct SocketWait {
    const Socket* socket = nullptr;
    bool forWriting = false;  // false: wait until readable (or closed by the peer)
    bool ready = false;       // set by WaitForSockets
};

// Waits up to `timeout` (negative: without limit) until one of `waits` is
// ready and marks those that are. Returns how many are ready, 0 after the
// time-out, -1 on failure.
int WaitForSockets(std::span<SocketWait> waits, std::chrono::milliseconds timeout);

// What Receive and Send give when the call would have to wait.
inline constexpr long kSocketWouldBlock = -2;

// Up to `size` bytes into `buffer`: their count, 0 at the end of the stream,
// kSocketWouldBlock, or -1 on failure.
long Receive(const Socket& socket, char* buffer, std::size_t size);

// Sends what it can of `bytes` without waiting: the count sent,
// kSocketWouldBlock, or -1 on failure (a peer gone never raises a signal).
long Send(const Socket& socket, std::string_view bytes);

// No more bytes from this side; the peer reads the end of the stream.
void ShutdownSending(const Socket& socket);

}  // namespace veldan::test
