// The loopback test server's socket calls over Winsock (select, not WSAPoll:
// the Windows XP build has no WSAPoll). Winsock is started once, on first use.
#include <algorithm>

#include "support/loopback_socket.h"

#include <winsock2.h>

namespace veldan::test {

namespace {

bool Started() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

SOCKET Raw(const Socket& socket) {
    return static_cast<SOCKET>(socket.get());
}

Socket Wrap(SOCKET raw) {
    return raw == INVALID_SOCKET ? Socket() : Socket(static_cast<Socket::Handle>(raw));
}

long Outcome(int n) {
    if (n != SOCKET_ERROR) return n;
    return WSAGetLastError() == WSAEWOULDBLOCK ? kSocketWouldBlock : -1;
}

bool MakeNonBlocking(const Socket& socket) {
    u_long on = 1;
    return ioctlsocket(Raw(socket), FIONBIO, &on) == 0;
}

}  // namespace

void Socket::Reset(Handle handle) {
    if (handle_ != kNone) closesocket(static_cast<SOCKET>(handle_));
    handle_ = handle;
}

Socket ListenOnLoopback(int& port) {
    if (!Started()) return Socket();
    Socket listener = Wrap(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    if (!listener ||
        ::bind(Raw(listener), reinterpret_cast<sockaddr*>(&address), length) == SOCKET_ERROR ||
        ::listen(Raw(listener), 64) == SOCKET_ERROR ||
        ::getsockname(Raw(listener), reinterpret_cast<sockaddr*>(&address), &length) ==
            SOCKET_ERROR) {
        return Socket();
    }
    port = ntohs(address.sin_port);
    return listener;
}

Socket AcceptConnection(const Socket& listener) {
    Socket client = Wrap(::accept(Raw(listener), nullptr, nullptr));
    if (client && !MakeNonBlocking(client)) return Socket();
    return client;
}

bool MakeWakePair(Socket& read, Socket& write) {
    int port = 0;
    const Socket listener = ListenOnLoopback(port);
    if (!listener) return false;
    write = Wrap(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(port));
    if (!write || ::connect(Raw(write), reinterpret_cast<sockaddr*>(&address), sizeof address) ==
                      SOCKET_ERROR) {
        return false;
    }
    read = Wrap(::accept(Raw(listener), nullptr, nullptr));
    return static_cast<bool>(read);
}

int WaitForSockets(std::span<SocketWait> waits, std::chrono::milliseconds timeout) {
    fd_set readable;
    fd_set writable;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    for (const SocketWait& w : waits) FD_SET(Raw(*w.socket), w.forWriting ? &writable : &readable);
    timeval limit{};
    limit.tv_sec = static_cast<long>(timeout.count() / 1000);
    limit.tv_usec = static_cast<long>(timeout.count() % 1000 * 1000);
    const int ready =
        ::select(0, &readable, &writable, nullptr, timeout.count() < 0 ? nullptr : &limit);
    for (SocketWait& w : waits) {
        w.ready = ready > 0 && FD_ISSET(Raw(*w.socket), w.forWriting ? &writable : &readable);
    }
    return ready == SOCKET_ERROR ? -1 : ready;
}

long Receive(const Socket& socket, char* buffer, std::size_t size) {
    const int chunk = static_cast<int>(std::min<std::size_t>(size, 1 << 30));
    return Outcome(::recv(Raw(socket), buffer, chunk, 0));
}

long Send(const Socket& socket, std::string_view bytes) {
    const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 30));
    return Outcome(::send(Raw(socket), bytes.data(), chunk, 0));
}

void ShutdownSending(const Socket& socket) {
    ::shutdown(Raw(socket), SD_SEND);
}

}  // namespace veldan::test
