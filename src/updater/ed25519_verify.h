#pragma once
// Ed25519 signature verification (RFC 8032, pure Ed25519) in portable code,
// so that the Windows build checks release signatures without OpenSSL. The
// arithmetic runs the same steps whatever the inputs (field elements of
// sixteen 16-bit limbs, a ladder with conditional swaps), and nothing secret
// is involved in verifying anyway.
//
// Refused without further work: an S not below the group order L, a public
// key whose y is not below 2^255 - 19 or that is no point of the curve, and
// the encoding of x = 0 with the sign bit set.

#include <array>
#include <cstddef>
#include <string_view>

namespace veldan::updater {

inline constexpr std::size_t kEd25519KeySize = 32;
inline constexpr std::size_t kEd25519SignatureSize = 64;

using Ed25519PublicKey = std::array<unsigned char, kEd25519KeySize>;

// True when `signature` (R then S, 64 bytes) is a valid signature of
// `message` under `key`; false for anything else, including a signature of
// the wrong length.
bool Ed25519Verify(const Ed25519PublicKey& key, std::string_view message,
                   std::string_view signature);

}  // namespace veldan::updater
