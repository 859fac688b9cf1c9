#pragma once
// Result codes of TInternet, each with its text (TInternet::ErrorText gives
// these, and "TInternet error <code>" for any other code). Local file failures
// of GetFile are kFileErrorBase (file_error.h) plus a cause.

#include <array>
#include <string_view>

namespace veldan::net {

// In code order from 0. kTimedOut and kDiskFileError are never produced:
// time-outs end as kConnectionFailed, local file failures carry their cause.
enum InternetResult : int {
    kSuccessful,
    kInvalidUrl,
    kInvalidParameter,
    kConnectionFailed,
    kTimedOut,
    kNotFound,
    kNotAuthorized,
    kDiskFileError
};
static_assert(kDiskFileError == 7);

// The texts of the codes 0 to 7, in code order.
inline constexpr std::array<std::string_view, 8> kResultTexts = {
    "Successful", "Invalid URL", "Invalid parameter", "Connection failed",
    "Timed out",  "Not found",   "Not authorized",    "Disk/file error",
};

}  // namespace veldan::net
