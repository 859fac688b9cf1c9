#pragma once
// What RunGet makes of a response's status, the same over libcurl and WinINet.

#include "net/result_codes.h"

namespace veldan::net {

// The statuses whose Location is followed.
inline bool IsFollowedRedirect(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The result code of a status of 400 or more.
inline int CodeForStatus(long status) {
    if (status == 404) return kNotFound;
    if (status == 403 || status == 407) return kNotAuthorized;
    return kConnectionFailed;
}

}  // namespace veldan::net
