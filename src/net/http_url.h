#pragma once
// The two schemes TInternet fetches (address.h has HttpUrl, parsed through
// libcurl on Linux and WinINet on Windows: http_url*.cpp).

#include <string_view>

namespace veldan::net {

inline constexpr std::string_view kHttp = "http://";
inline constexpr std::string_view kHttps = "https://";

}  // namespace veldan::net
