#pragma once
// A server on 127.0.0.1 that answers every connection with the same bytes:
// it reads the request's header block, sends the answer as it is (status line,
// header block, body: whatever the bytes are) and closes the connection.
// It runs on a thread of its own for the life of the process.

#include <string>
#include <string_view>

namespace veldan::fuzz {

class AnswerServer {
  public:
    // The server of this process (started on first use; aborts when it cannot listen).
    static AnswerServer& Instance();

    int port() const { return port_; }
    // The answer for the connections from now on.
    void SetAnswer(std::string_view bytes);

  private:
    AnswerServer();
    void Run();
    void Serve(int client);

    int listen_ = -1;
    int port_ = 0;
};

}  // namespace veldan::fuzz
