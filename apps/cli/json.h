#pragma once
// Small JSON helpers for the command line's --json output. Texts are UTF-8 and
// pass through; quotes, backslashes and control characters are escaped.

#include <string>
#include <string_view>
#include <vector>

namespace veldan::cli {

// A JSON string literal with its quotes.
std::string JsonString(std::string_view s);
// A JSON array of string literals.
std::string JsonStringArray(const std::vector<std::string>& items);

}  // namespace veldan::cli
