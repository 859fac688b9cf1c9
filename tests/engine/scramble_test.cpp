// Line scrambling: round trips, key alignment, and decoding of characters the
// scrambler never writes.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "engine/scramble.h"

namespace veldan::engine {
namespace {

std::string S(std::string_view plain, std::string_view key = kScrambleKey) {
    std::string out = "stale";
    EXPECT_EQ(Scramble(plain, key, out), 0);
    return out;
}

std::string U(std::string_view scrambled, std::string_view key = kScrambleKey) {
    std::string out = "stale";
    EXPECT_EQ(Unscramble(scrambled, key, out), 0);
    return out;
}

TEST(Scramble, RoundTripsAnyBytesInLettersAToP) {
    std::mt19937 rng(1234);
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    for (std::size_t n : {0u, 1u, 23u, 24u, 25u, 49u, 256u, 1000u}) {
        std::string plain = n == 256 ? all : std::string(n, '\0');
        if (n != 256) {
            for (char& c : plain) c = static_cast<char>(rng() & 0xFF);
        }
        std::string s = S(plain);
        ASSERT_EQ(s.size(), 2 * n);
        EXPECT_TRUE(s.find_first_not_of("ABCDEFGHIJKLMNOP") == std::string::npos);
        EXPECT_EQ(U(s), plain) << n;
        EXPECT_EQ(U(S(plain, "k"), "k"), plain);
        EXPECT_EQ(U(S(plain, ""), ""), plain);  // an empty key must not fail
    }
    std::string a, b;
    Scramble(all, a);
    Unscramble(a, b);
    EXPECT_EQ(a, S(all));
    EXPECT_EQ(b, all);
}

TEST(Scramble, KeyPositionAndNibbleOrder) {
    std::string key(kScrambleKey);
    // A byte equal to its key byte gives "AA"; byte 25 meets the key's first byte again.
    EXPECT_EQ(S(key + key + key.substr(0, 1)), std::string(2 * (2 * key.size() + 1), 'A'));
    // High nibble first.
    std::string two = {static_cast<char>(key[0] ^ 0x10), static_cast<char>(key[1] ^ 0x0F)};
    EXPECT_EQ(S(two), "BAAP");
}

TEST(Unscramble, ForeignCharactersQAndOddLength) {
    EXPECT_EQ(U("a!HB"), U("AAHB"));  // outside 'A'..'Q': nibble 0
    EXPECT_NE(U("AAhB"), U("AAHB"));
    EXPECT_EQ(U("AQ"), U("BA"));  // Q as low nibble sets bit 4
    EXPECT_EQ(U("QA"), U("AA"));  // as high nibble it leaves the byte
    std::string s = S("Key HKLM Software\\X ");
    EXPECT_EQ(U(s + "C"), U(s));
}

}  // namespace
}  // namespace veldan::engine
