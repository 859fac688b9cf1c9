#pragma once
// UTF-8 text to the UTF-16 of the wide Windows calls and back (Windows build only).

#include <string>
#include <string_view>

namespace veldan::host {

// UTF-8 to UTF-16; invalid bytes become U+FFFD.
std::wstring Widen(std::string_view utf8);
// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string Narrow(std::wstring_view wide);
// A host path for the wide calls: '/' becomes '\'.
std::wstring WidePath(std::string_view utf8);

}  // namespace veldan::host
