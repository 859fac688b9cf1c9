#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include "host/wide_path_win32.h"
#include "net/file_open.h"

namespace veldan::net {

int OpenTruncated(const std::string& path) {
    return ::_wopen(host::WidePath(path).c_str(),
                    _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT,
                    _S_IREAD | _S_IWRITE);
}

}  // namespace veldan::net
