// The portable signature check: SHA-512 against OpenSSL and the published
// vectors, Ed25519 verification against the RFC 8032 vectors and against
// signatures OpenSSL makes with fresh keys, and every tampered or
// non-canonical input refused. The release key reader takes OpenSSL's PEM.

#include "updater/ed25519_verify.h"

#include <gtest/gtest.h>
#include <openssl/sha.h>

#include <cstdint>
#include <string>

#include "support/release_keys.h"
#include "updater/release_key.h"
#include "updater/rfc8032_vectors.h"
#include "updater/sha512.h"

namespace veldan::updater {
namespace {

using test::kRfc8032;
using test::Rfc8032Case;
using test::Unhex;

std::string Hex(const Sha512::Digest& d) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : d) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out;
}

Ed25519PublicKey KeyOf(std::string_view hex) {
    const std::string raw = Unhex(hex);
    Ed25519PublicKey key{};
    for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<unsigned char>(raw[i]);
    return key;
}

// Bytes that differ from run to run of the loop but are the same every test run.
std::string PseudoRandomBytes(std::uint32_t& lcg, std::size_t n) {
    std::string out(n, '\0');
    for (char& c : out) {
        lcg = lcg * 1103515245u + 12345u;
        c = static_cast<char>(lcg >> 16);
    }
    return out;
}

TEST(Sha512, PublishedVectorsAndOpenSslForEveryPaddingCase) {
    EXPECT_EQ(Hex(Sha512::Of("abc")),
              "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
              "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f");
    EXPECT_EQ(Hex(Sha512::Of("")),
              "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce"
              "47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e");
    // Lengths around the block (128) and the length field (112) boundaries,
    // fed whole and in uneven pieces.
    std::uint32_t lcg = 7;
    for (std::size_t n : {1u, 55u, 111u, 112u, 113u, 127u, 128u, 129u, 239u, 240u, 256u, 1000u}) {
        const std::string msg = PseudoRandomBytes(lcg, n);
        Sha512::Digest expected{};
        SHA512(reinterpret_cast<const unsigned char*>(msg.data()), msg.size(), expected.data());
        EXPECT_EQ(Sha512::Of(msg), expected) << n;
        Sha512 pieces;
        for (std::size_t at = 0, step = 1; at < n; at += step, step = step * 3 % 131 + 1) {
            pieces.Update(std::string_view(msg).substr(at, step));
        }
        EXPECT_EQ(pieces.Finish(), expected) << n << " in pieces";
    }
}

TEST(Ed25519Verify, Rfc8032VectorsPassAndAnyFlippedBitFails) {
    for (const Rfc8032Case& c : kRfc8032) {
        const Ed25519PublicKey key = KeyOf(c.key);
        const std::string message = Unhex(c.message);
        const std::string signature = Unhex(c.signature);
        EXPECT_TRUE(Ed25519Verify(key, message, signature)) << c.key;
        for (std::size_t bit = 0; bit < 512; bit += 7) {
            std::string bad = signature;
            bad[bit / 8] = static_cast<char>(bad[bit / 8] ^ (1 << (bit % 8)));
            EXPECT_FALSE(Ed25519Verify(key, message, bad)) << c.key << " bit " << bit;
        }
        for (std::size_t bit = 0; bit < 256; bit += 5) {
            Ed25519PublicKey bad = key;
            bad[bit / 8] ^= static_cast<unsigned char>(1 << (bit % 8));
            EXPECT_FALSE(Ed25519Verify(bad, message, signature)) << c.key << " key bit " << bit;
        }
        EXPECT_FALSE(Ed25519Verify(key, message + "x", signature));
        EXPECT_FALSE(Ed25519Verify(key, message, signature.substr(0, 63)));
        EXPECT_FALSE(Ed25519Verify(key, message, signature + '\0'));
    }
}

TEST(Ed25519Verify, AgreesWithOpenSslOnFreshKeysAndMessages) {
    std::uint32_t lcg = 2026;
    for (int round = 0; round < 12; ++round) {
        const test::ReleaseKeys keys = test::MakeReleaseKeys();
        Ed25519PublicKey key{};
        ASSERT_TRUE(ParsePublicKeyPem(keys.publicPem, key));
        const std::string message = PseudoRandomBytes(lcg, static_cast<std::size_t>(round) * 97);
        const std::string signature = test::SignRelease(keys, message);
        EXPECT_TRUE(Ed25519Verify(key, message, signature)) << round;
        if (!message.empty()) {
            std::string changed = message;
            changed[lcg % changed.size()] ^= 0x20;
            EXPECT_FALSE(Ed25519Verify(key, changed, signature)) << round;
        }
        const test::ReleaseKeys other = test::MakeReleaseKeys();
        EXPECT_FALSE(Ed25519Verify(key, message, test::SignRelease(other, message))) << round;
    }
}

TEST(Ed25519Verify, NonCanonicalEncodingsAreRefused) {
    const Rfc8032Case& c = kRfc8032[1];
    const Ed25519PublicKey key = KeyOf(c.key);
    const std::string message = Unhex(c.message);
    const std::string signature = Unhex(c.signature);
    // S + L verifies in the group arithmetic but is not the reduced scalar.
    constexpr unsigned char kOrder[32] = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58,
                                          0xd6, 0x9c, 0xf7, 0xa2, 0xde, 0xf9, 0xde, 0x14,
                                          0,    0,    0,    0,    0,    0,    0,    0,
                                          0,    0,    0,    0,    0,    0,    0,    0x10};
    std::string malleable = signature;
    unsigned carry = 0;
    for (int i = 0; i < 32; ++i) {
        const unsigned sum = static_cast<unsigned char>(malleable[32 + i]) + kOrder[i] + carry;
        malleable[32 + i] = static_cast<char>(sum & 0xff);
        carry = sum >> 8;
    }
    ASSERT_EQ(carry, 0u);
    EXPECT_FALSE(Ed25519Verify(key, message, malleable));
    // S all ones is far above L.
    std::string high = signature;
    for (int i = 32; i < 64; ++i) high[i] = static_cast<char>(0xff);
    EXPECT_FALSE(Ed25519Verify(key, message, high));

    // The neutral point (x 0, y 1): as y = p + 1, and with the sign bit of x = 0.
    Ed25519PublicKey wrapped{};
    wrapped.fill(0xff);
    wrapped[0] = 0xee;
    wrapped[31] = 0x7f;
    EXPECT_FALSE(Ed25519Verify(wrapped, message, signature));
    Ed25519PublicKey negativeZero{};
    negativeZero[0] = 1;
    negativeZero[31] = 0x80;
    EXPECT_FALSE(Ed25519Verify(negativeZero, message, signature));
    // y = 2 is no point of the curve.
    Ed25519PublicKey offCurve{};
    offCurve[0] = 2;
    EXPECT_FALSE(Ed25519Verify(offCurve, message, signature));
}

TEST(ReleaseKeyPem, ReadsOpenSslPublicKeysOnly) {
    const test::ReleaseKeys keys = test::MakeReleaseKeys();
    Ed25519PublicKey key{};
    ASSERT_TRUE(ParsePublicKeyPem(keys.publicPem, key));
    const std::string message = "release";
    EXPECT_TRUE(Ed25519Verify(key, message, test::SignRelease(keys, message)));
    // Line breaks (CRLF) and text around the block change nothing.
    std::string crlf = "comment\r\n";
    for (char ch : keys.publicPem) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    Ed25519PublicKey again{};
    ASSERT_TRUE(ParsePublicKeyPem(crlf, again));
    EXPECT_EQ(again, key);

    EXPECT_FALSE(ParsePublicKeyPem(keys.privatePem, key));
    EXPECT_FALSE(ParsePublicKeyPem("", key));
    std::string broken = keys.publicPem;
    broken[broken.find('\n') + 3] = '*';
    EXPECT_FALSE(ParsePublicKeyPem(broken, key));
    std::string cut = keys.publicPem;
    cut.erase(cut.find('\n') + 1, 4);
    EXPECT_FALSE(ParsePublicKeyPem(cut, key));
    // An RSA-sized or other algorithm's block: same PEM label, other DER.
    EXPECT_FALSE(ParsePublicKeyPem(
        "-----BEGIN PUBLIC KEY-----\nMCowBQYDK2VuAyEAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=\n"
        "-----END PUBLIC KEY-----\n",
        key));
}

}  // namespace
}  // namespace veldan::updater
