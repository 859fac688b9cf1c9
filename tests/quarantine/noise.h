#pragma once
// Bytes that do not compress, the same on every run, for the quarantine tests.

#include <cstdint>
#include <string>

namespace veldan::quarantine {

// `n` pseudo-random bytes from a linear congruential generator started at `start`.
inline std::string Noise(std::size_t n, std::uint32_t start = 7) {
    std::string s;
    std::uint32_t lcg = start;
    for (std::size_t i = 0; i < n; ++i) {
        lcg = lcg * 1664525u + 1013904223u;
        s.push_back(static_cast<char>(lcg >> 24));
    }
    return s;
}

}  // namespace veldan::quarantine
