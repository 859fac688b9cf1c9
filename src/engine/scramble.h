#pragma once
// The line scrambling of the shipped databases and the KillBit list: a keyed
// XOR over the line's bytes, each result byte written as two letters 'A'..'P'
// (high nibble first). Lines are scrambled one by one; the bytes are CP949.

#include <string>
#include <string_view>

namespace veldan::engine {

inline constexpr std::string_view kScrambleKey = "NeverJudgeBookByItsCover";

// Scrambles `plain` into `out` (emptied first); returns 0.
int Scramble(std::string_view plain, std::string_view key, std::string& out);
int Scramble(std::string_view plain, std::string& out);
// Unscrambles `scrambled` into `out` (emptied first); returns 0. Characters
// outside 'A'..'Q' count as 0; a trailing odd character is dropped.
int Unscramble(std::string_view scrambled, std::string_view key, std::string& out);
int Unscramble(std::string_view scrambled, std::string& out);

}  // namespace veldan::engine
