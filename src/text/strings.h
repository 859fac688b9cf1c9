#pragma once
// Text helpers shared by every layer. Case-insensitive operations fold ASCII
// letters only, as the code-page-aware lower-casing of the Windows program does:
// bytes of multibyte characters are never changed or matched across.

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace veldan::text {

// ASCII-only lower/upper case of UTF-8 text (bytes >= 0x80 are never touched).
std::string LowerAscii(std::string_view s);
std::string UpperAscii(std::string_view s);
void LowerAsciiInPlace(std::string& s);
// Writes the ASCII upper case of `s` to `out` (s.size() bytes; `out` may be s.data()).
void UpperAsciiTo(std::string_view s, char* out);

// Lower-cases CP949 bytes: ASCII letters only, skipping the trail byte of every
// double-byte character (trail bytes may look like ASCII letters).
std::string LowerCp949(std::string_view cp949);

// True when the two texts are equal ignoring ASCII case.
bool EqualsNoCase(std::string_view a, std::string_view b);

// Ordinal comparison of the upper-cased texts: <0, 0 or >0.
int CompareUpper(std::string_view a, std::string_view b);

// Position of `needle` in `haystack` ignoring ASCII case, or npos. Matches start
// only at character boundaries of the UTF-8 text.
std::size_t FindNoCase(std::string_view haystack, std::string_view needle, std::size_t from = 0);

// True when `needle` occurs in `haystack` ignoring ASCII case.
bool ContainsNoCase(std::string_view haystack, std::string_view needle);

bool StartsWithNoCase(std::string_view s, std::string_view prefix);
bool EndsWithNoCase(std::string_view s, std::string_view suffix);

// White space: blank, tab, CR, LF, VT and FF.
bool IsSpace(char c);
std::string_view TrimView(std::string_view s);
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

// Replaces every occurrence of `what` (case-sensitive, left to right, without
// rescanning inserted text). Linear in the length of the text.
void ReplaceAll(std::string& text, std::string_view what, std::string_view with);

// Splits at every `sep`; empty fields are kept.
std::vector<std::string> Split(std::string_view s, char sep);

// printf-style formatting into a string.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* fmt, va_list args);

}  // namespace veldan::text
