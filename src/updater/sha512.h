#pragma once
// SHA-512 (FIPS 180-4) in portable code, for the release signature check of
// both builds: Windows XP's default CryptoAPI provider has no SHA-512.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace veldan::updater {

class Sha512 {
  public:
    static constexpr std::size_t kDigestSize = 64;
    using Digest = std::array<unsigned char, kDigestSize>;

    Sha512();
    // Takes the next bytes of the message.
    void Update(std::string_view bytes);
    // The digest of everything taken; the object is spent afterwards.
    Digest Finish();

    // The digest of `bytes` in one call.
    static Digest Of(std::string_view bytes);

  private:
    void Compress(const unsigned char* block);

    std::array<std::uint64_t, 8> state_;
    std::array<unsigned char, 128> block_{};
    std::size_t used_ = 0;      // bytes waiting in block_
    std::uint64_t length_ = 0;  // message bytes taken (messages stay below 2^61 bytes)
};

}  // namespace veldan::updater
