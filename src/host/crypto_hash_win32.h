#pragma once
// MD5 and SHA-256 through CryptoAPI (Windows build only; Linux uses OpenSSL).

#include <cstddef>
#include <memory>
#include <string>

namespace veldan::host {

enum class HashKind { Md5, Sha256 };

class CryptoHash {
  public:
    explicit CryptoHash(HashKind kind);
    ~CryptoHash();

    // False when CryptoAPI could not give the hash (SHA-256 needs Windows XP SP3).
    bool valid() const { return state_ != nullptr; }
    // Adds bytes; false when the hash failed.
    bool Update(const void* data, std::size_t size);
    // The digest as lower-case hex digits; "" when the hash failed.
    std::string HexDigest();

  private:
    struct State;  // the provider and the hash object, released together
    std::unique_ptr<State> state_;
};

}  // namespace veldan::host
