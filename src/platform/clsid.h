#pragma once
// Class identifier texts: "{" 8 "-" 4 "-" 4 "-" 4 "-" 12 "}" of ASCII letters and
// digits (any letter, not only hexadecimal ones), nothing after the brace.

#include <string_view>

#include "platform/context.h"

namespace veldan::platform {

// True when `text` is a well-formed class identifier.
bool IsWellFormedClsid(std::string_view text);
// IsWellFormedClsid; 0 with the debug line "CLSID... " + text + "\n" when it fails.
int CheckClsid(Context& ctx, std::string_view text);

}  // namespace veldan::platform
