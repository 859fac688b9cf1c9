#pragma once
// Addresses as TInternet takes them: completion of a bare address into an HTTP
// URL, and the check that a URL names an HTTP server before anything is sent.

#include <string>
#include <string_view>

namespace veldan::net {

// The address as it is fetched: white space trimmed at both ends; an address
// that names no service gets "http:" in front when it begins with "/" (so
// "//host/path" becomes "http://host/path") and "http://" otherwise. A text
// before the first ":" names a service when it is a valid scheme word and what
// follows the ":" is not a port number, so "host:8080/path" is completed too.
std::string CompleteAddress(std::string_view address);

// True when `text` starts with a scheme word and ":" that is not a host and port.
bool NamesService(std::string_view text);

// The URL libcurl is given for `address` when it is an absolute HTTP URL with a
// server ("http://server[:port][/object]", scheme in any case); "" when it
// cannot be parsed or names another service (https, ftp, file ...).
std::string HttpUrl(std::string_view address);

}  // namespace veldan::net
