#include "engine/scramble.h"

namespace veldan::engine {

int Scramble(std::string_view plain, std::string_view key, std::string& out) {
    out.clear();
    out.reserve(plain.size() * 2);
    std::size_t k = 0;
    for (char c : plain) {
        // An empty key leaves the bytes as they are rather than dividing by zero.
        unsigned char x = static_cast<unsigned char>(c);
        if (!key.empty()) {
            x ^= static_cast<unsigned char>(key[k]);
            k = (k + 1) % key.size();
        }
        out.push_back(static_cast<char>('A' + (x >> 4)));
        out.push_back(static_cast<char>('A' + (x & 0x0F)));
    }
    return 0;
}

int Scramble(std::string_view plain, std::string& out) {
    return Scramble(plain, kScrambleKey, out);
}

int Unscramble(std::string_view scrambled, std::string_view key, std::string& out) {
    out.clear();
    out.reserve(scrambled.size() / 2);
    std::size_t k = 0;
    unsigned char a = 0;
    for (std::size_t i = 0; i < scrambled.size(); ++i) {
        char ch = scrambled[i];
        unsigned v = (ch >= 'A' && ch <= 'Q') ? static_cast<unsigned>(ch - 'A') : 0u;
        a = static_cast<unsigned char>((a << 4) | v);
        if (i % 2 == 1) {
            unsigned char b = a;
            if (!key.empty()) {
                b ^= static_cast<unsigned char>(key[k]);
                k = (k + 1) % key.size();
            }
            out.push_back(static_cast<char>(b));
            a = 0;
        }
    }
    return 0;
}

int Unscramble(std::string_view scrambled, std::string& out) {
    return Unscramble(scrambled, kScrambleKey, out);
}

}  // namespace veldan::engine
