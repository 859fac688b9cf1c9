// The text read on top of the platform's whole-file read.

#include <string>

#include "host/file_read.h"
#include "text/codepage.h"

namespace veldan::host {

bool ReadTextFile(const std::string& path, std::string& utf8) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) return false;
    utf8 = text::DecodeText(bytes);
    return true;
}

}  // namespace veldan::host
