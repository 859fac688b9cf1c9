#include "program_folder.h"

#include <unistd.h>

#include <climits>
#include <filesystem>

namespace veldan::cli {

std::string OwnFolder(const char* argv0) {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) {
        buf[n] = '\0';
        return std::filesystem::path(buf).parent_path().string();
    }
    return std::filesystem::absolute(argv0).parent_path().string();
}

bool HasLiveMachine() {
    return false;
}

}  // namespace veldan::cli
