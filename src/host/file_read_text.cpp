// The text read on top of the platform's whole-file read, and host path joins.

#include <string>

#include "host/file_read.h"
#include "text/codepage.h"

namespace veldan::host {

std::string JoinHostPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && path.back() != '/' && path.back() != '\\') path += '/';
    return path + std::string(name);
}

bool ReadTextFile(const std::string& path, std::string& utf8) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) return false;
    utf8 = text::DecodeText(bytes);
    return true;
}

}  // namespace veldan::host
