#include "updater/update_files.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "host/unique_fd.h"
#include "updater/update_program.h"

namespace veldan::updater {

int OpenForReading(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool SetFolderMode(const std::string& path, unsigned mode) {
    return ::chmod(path.c_str(), static_cast<mode_t>(mode)) == 0;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string MakeTempFile(const std::string& folder, std::string_view prefix) {
    std::string pattern = folder + "/" + std::string(prefix) + "XXXXXX";
    if (!host::UniqueFd(mkstemp(pattern.data()))) return {};
    return pattern;
}

std::string MakeTempFolder(const std::string& parent, std::string_view prefix) {
    std::string pattern = parent + "/" + std::string(prefix) + "XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) return {};
    return pattern;
}

void AllowReplacing(const std::filesystem::path&) {}

void RemoveFile(const std::string& path) {
    ::unlink(path.c_str());
}

std::string HostTempFolder() {
    const char* env = std::getenv("TMPDIR");
    std::string folder = env != nullptr && *env != '\0' ? env : "/tmp";
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

}  // namespace veldan::updater
