#pragma once
// Result codes of TInternet (texts in TInternet::ErrorText). Local file
// failures of GetFile are kFileErrorBase (file_error.h) plus a cause.

namespace veldan::net {

enum InternetResult : int {
    kSuccessful = 0,
    kInvalidUrl = 1,
    kInvalidParameter = 2,
    kConnectionFailed = 3,
    kTimedOut = 4,  // not produced: time-outs end as kConnectionFailed
    kNotFound = 5,
    kNotAuthorized = 6,
    kDiskFileError = 7,  // not produced: local file failures carry their cause
};

}  // namespace veldan::net
