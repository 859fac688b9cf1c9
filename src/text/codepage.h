#pragma once
// Code pages. Text inside Veldan is UTF-8; files of the Windows-era formats are
// UTF-8 when valid and CP949 (the Korean ANSI code page) otherwise.

#include <cstddef>
#include <string>
#include <string_view>

namespace veldan::text {

// True when `bytes` is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view bytes);

// CP949 bytes to UTF-8. A byte sequence that CP949 does not define becomes U+FFFD.
std::string Cp949ToUtf8(std::string_view cp949);

// UTF-8 to CP949 bytes. A character CP949 cannot hold becomes '?'; invalid
// UTF-8 bytes are taken as CP949 bytes already and copied through.
std::string Utf8ToCp949(std::string_view utf8);

// Number of bytes `utf8` takes in CP949; the unit of the 260-byte buffer limits.
std::size_t Cp949Length(std::string_view utf8);

// UTF-16LE code units (as bytes) to UTF-8; an odd last byte is dropped and
// unpaired surrogates become U+FFFD.
std::string Utf16LeToUtf8(std::string_view bytes);

// UTF-8 to UTF-16LE bytes (no byte-order mark, no terminator).
std::string Utf8ToUtf16Le(std::string_view utf8);

// The text of a file's bytes as UTF-8: a UTF-8 byte-order mark is dropped, a
// UTF-16LE byte-order mark selects UTF-16LE, valid UTF-8 is taken as it is and
// anything else is read as CP949.
std::string DecodeText(std::string_view bytes);

}  // namespace veldan::text
