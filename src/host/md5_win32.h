#pragma once
// MD5 through CryptoAPI (Windows build only; Linux uses OpenSSL).

#include <cstddef>
#include <cstdint>
#include <string>

namespace veldan::host {

class Md5 {
  public:
    Md5();
    ~Md5();
    Md5(const Md5&) = delete;
    Md5& operator=(const Md5&) = delete;

    // False when CryptoAPI could not give an MD5 hash.
    bool valid() const { return hash_ != 0; }
    // Adds bytes; false when the hash failed.
    bool Update(const void* data, std::size_t size);
    // The digest as 32 lower-case hex digits; "" when the hash failed.
    std::string HexDigest();

  private:
    std::uintptr_t provider_ = 0;
    std::uintptr_t hash_ = 0;
};

}  // namespace veldan::host
