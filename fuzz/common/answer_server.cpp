#include "common/answer_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <thread>

#include "host/unique_fd.h"

namespace veldan::fuzz {

namespace {

std::mutex answerMutex;
std::string answer;

constexpr int kRequestWaitMs = 2000;
constexpr std::size_t kMaxRequest = 64 * 1024;

}  // namespace

AnswerServer& AnswerServer::Instance() {
    // Never destroyed: the thread serves until the process ends.
    static AnswerServer* server = new AnswerServer();
    return *server;
}

AnswerServer::AnswerServer() {
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listen_ < 0) std::abort();
    int yes = 1;
    ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listen_, 16) != 0) {
        std::abort();
    }
    socklen_t len = sizeof addr;
    if (::getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) std::abort();
    port_ = ntohs(addr.sin_port);
    std::thread([this] { Run(); }).detach();
}

void AnswerServer::SetAnswer(std::string_view bytes) {
    std::lock_guard lock(answerMutex);
    answer.assign(bytes);
}

void AnswerServer::Run() {
    for (;;) {
        host::UniqueFd client(::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC));
        if (client) Serve(client.get());
    }
}

void AnswerServer::Serve(int client) {
    // The request's header block first, so that closing sends no reset that
    // could take the answer with it.
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < kMaxRequest) {
        pollfd p{client, POLLIN, 0};
        if (::poll(&p, 1, kRequestWaitMs) <= 0) return;
        ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        request.append(buffer, static_cast<std::size_t>(n));
    }
    std::string bytes;
    {
        std::lock_guard lock(answerMutex);
        bytes = answer;
    }
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = ::send(client, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<std::size_t>(n);
    }
    ::shutdown(client, SHUT_WR);
}

}  // namespace veldan::fuzz
