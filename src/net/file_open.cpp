#include "net/file_open.h"

#include <fcntl.h>

namespace veldan::net {

int OpenTruncated(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

}  // namespace veldan::net
