#include "support/loopback_socket.h"

#include <cerrno>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace veldan::test {

namespace {

int Fd(const Socket& socket) {
    return static_cast<int>(socket.get());
}

// The result of a send or receive call that returned `n`.
long Outcome(ssize_t n) {
    if (n >= 0) return static_cast<long>(n);
    return errno == EAGAIN || errno == EWOULDBLOCK ? kSocketWouldBlock : -1;
}

}  // namespace

void Socket::Reset(Handle handle) {
    if (handle_ != kNone) ::close(static_cast<int>(handle_));
    handle_ = handle;
}

Socket ListenOnLoopback(int& port) {
    Socket listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (!listener || ::bind(Fd(listener), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(Fd(listener), 64) != 0 ||
        ::getsockname(Fd(listener), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return Socket();
    }
    port = ntohs(address.sin_port);
    return listener;
}

Socket AcceptConnection(const Socket& listener) {
    for (;;) {
        const int fd = ::accept4(Fd(listener), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0 && errno == EINTR) continue;
        return Socket(fd);
    }
}

bool MakeWakePair(Socket& read, Socket& write) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return false;
    read.Reset(fds[0]);
    write.Reset(fds[1]);
    return true;
}

int WaitForSockets(std::span<SocketWait> waits, std::chrono::milliseconds timeout) {
    std::vector<pollfd> fds;
    for (const SocketWait& w : waits) {
        fds.push_back({Fd(*w.socket), static_cast<short>(w.forWriting ? POLLOUT : POLLIN), 0});
    }
    for (;;) {
        const int ready = ::poll(fds.data(), fds.size(), static_cast<int>(timeout.count()));
        if (ready < 0 && errno == EINTR) continue;
        for (std::size_t i = 0; i < waits.size(); ++i)
            waits[i].ready = ready > 0 && fds[i].revents != 0;
        return ready < 0 ? -1 : ready;
    }
}

long Receive(const Socket& socket, char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = ::recv(Fd(socket), buffer, size, 0);
        if (got < 0 && errno == EINTR) continue;
        return Outcome(got);
    }
}

long Send(const Socket& socket, std::string_view bytes) {
    for (;;) {
        const ssize_t sent =
            ::send(Fd(socket), bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && errno == EINTR) continue;
        return Outcome(sent);
    }
}

void ShutdownSending(const Socket& socket) {
    ::shutdown(Fd(socket), SHUT_WR);
}

}  // namespace veldan::test
