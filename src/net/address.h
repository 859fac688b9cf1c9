#pragma once
// Addresses as TInternet takes them: completion of a bare address into an HTTP
// URL, and the check that a URL names an HTTP or HTTPS server before anything
// is sent.

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

// The URL libcurl is given for `address` when it is an absolute HTTP or HTTPS
// URL with a server ("http://server[:port][/object]" or "https://...", scheme
// in any case); "" when it cannot be parsed or names another service (ftp,
// file ...).
std::string HttpUrl(std::string_view address);

// The address of `path` (which begins with "/") on the update server `host`:
// a bare host with an optional port ("update.example.org:8080") is reached
// over plain HTTP; a host given with its scheme ("https://update.example.org",
// "http://...") keeps that scheme, without any trailing "/".
std::string ServerAddress(std::string_view host, std::string_view path);

}  // namespace veldan::net
