// The part of the staged file both builds share: the temporary name beside
// the destination.
#include <cerrno>
#include <random>

#include "updater/staged_file.h"

namespace veldan::updater {

StagedFile::~StagedFile() {
    Discard();
}

bool StagedFile::OpenTemporary(const std::string& destination,
                               int (*openNew)(const std::string& path)) {
    Discard();
    destination_ = destination;
    // A short name in the same folder: the rename stays on one file system and
    // a long destination name cannot make the temporary name too long.
#ifdef _WIN32
    const std::size_t slash = destination.find_last_of("/\\");
#else
    const std::size_t slash = destination.find_last_of('/');  // a backslash is part of a name
#endif
    const std::string folder = slash == std::string::npos ? "" : destination.substr(0, slash + 1);
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string path = folder + ".veldan-part-" + std::to_string(random() % 1000000);
        fd_.Reset(openNew(path));
        if (!fd_) {
            if (errno == EEXIST) continue;
            return false;
        }
        tempPath_ = path;
        return true;
    }
    return false;
}

}  // namespace veldan::updater
