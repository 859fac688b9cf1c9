#pragma once
// Fitting text into the fixed byte buffers of the Windows ANSI functions.

#include <cstddef>
#include <string_view>

namespace veldan::text {

// The longest start of `utf8`, cut between whole characters, whose CP949 form
// and a terminating NUL fit a buffer of `buffer` bytes: what an ANSI function
// of Windows leaves in a buffer too small for the whole text.
std::string_view FitCp949(std::string_view utf8, std::size_t buffer);

}  // namespace veldan::text
