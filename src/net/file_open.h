#pragma once
// The local file of GetFile opened for writing: created, or truncated when it
// exists. UTF-8 paths in both builds (the Windows twin takes the wide call).

#include <string>

namespace veldan::net {

// A descriptor open for writing, or -1 with errno set.
int OpenTruncated(const std::string& path);

}  // namespace veldan::net
