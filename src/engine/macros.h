#pragma once
// Path and registry macros of script parameters: "%WINDIR%" and the other
// folder macros, and "REGSTR(hive sub-key value)" taking text from the registry.

#include <string>

#include "platform/context.h"

namespace veldan::engine {

// Replaces the folder macros (case-sensitive) by their folder table entries;
// writes "ExpandEnvStr... " + text + "\n" when a '%' is left. Never fails.
void ExpandEnvStr(platform::Context& ctx, std::string& text);

// Replaces the first "REGSTR(...)" macro by the value's text. 1 on success (also
// without a macro), 0 when the macro is malformed or the value cannot be read.
int ExpandRegStr(platform::Context& ctx, std::string& text);

}  // namespace veldan::engine
