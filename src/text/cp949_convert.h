#pragma once

// The platform half of the CP949 conversions (codepage_cp949.cpp and its
// Windows twin); the shared half is in codepage_cp949_runs.cpp.

#include <string>
#include <string_view>

namespace veldan::text::detail {

// Text with at least one byte above 0x7F to UTF-8: a byte sequence CP949 does
// not define becomes U+FFFD, its lead byte skipped alone.
std::string Cp949NonAsciiToUtf8(std::string_view cp949);

// Appends a run of valid UTF-8 as CP949; '?' for each character CP949 lacks.
void AppendUtf8RunAsCp949(std::string_view utf8, std::string& out);

}  // namespace veldan::text::detail
