#pragma once
// MD5 and SHA-256 through CryptoAPI (Windows build only; Linux uses OpenSSL).

#include <cstddef>
#include <cstdint>
#include <string>

namespace veldan::host {

enum class HashKind { Md5, Sha256 };

class CryptoHash {
  public:
    explicit CryptoHash(HashKind kind);
    ~CryptoHash();
    CryptoHash(const CryptoHash&) = delete;
    CryptoHash& operator=(const CryptoHash&) = delete;

    // False when CryptoAPI could not give the hash (SHA-256 needs Windows XP SP3).
    bool valid() const { return hash_ != 0; }
    // Adds bytes; false when the hash failed.
    bool Update(const void* data, std::size_t size);
    // The digest as lower-case hex digits; "" when the hash failed.
    std::string HexDigest();

  private:
    std::uintptr_t provider_ = 0;
    std::uintptr_t hash_ = 0;
};

}  // namespace veldan::host
