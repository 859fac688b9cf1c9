#pragma once
// SHA-256 of a kept file's contents, fed in blocks (OpenSSL on Linux, CryptoAPI
// on Windows).

#include <cstddef>
#include <string>

namespace veldan::quarantine {

class Sha256 {
  public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Add(const void* data, std::size_t size);
    // The digest as 64 lower-case hex digits; "" when the hash could not be made.
    std::string Hex();

  private:
    void* state_ = nullptr;  // the library's hash object
};

}  // namespace veldan::quarantine
