#include "machine/folder/folder_snapshot.h"

#include <cerrno>
#include <mutex>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "host/errno_map.h"
#include "host/quiet_open.h"
#include "text/strings.h"

namespace veldan::machine::image {
using host::WinErrorFromErrno;

WinError FolderListing::Read(const std::string& hostDir, FolderListing& out) {
    DIR* d = host::OpenFolderQuietly(hostDir.c_str());  // leaves the access time
    if (d == nullptr) {
        const int err = errno;
        return err == ENOENT || err == ENOTDIR ? ERROR_PATH_NOT_FOUND : WinErrorFromErrno(err);
    }
    std::vector<std::string> names;
    std::vector<bool> folders;
    int err = 0;
    for (;;) {
        errno = 0;
        const dirent* e = ::readdir(d);
        if (e == nullptr) {
            err = errno;
            break;
        }
        const std::string_view name = e->d_name;
        if (name == "." || name == "..") continue;
        bool folder = e->d_type == DT_DIR;
        if (e->d_type == DT_UNKNOWN) {
            // File systems that do not say: ask. A link is never a folder.
            struct stat st {};
            folder = ::fstatat(::dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                     S_ISDIR(st.st_mode);
        }
        names.emplace_back(name);
        folders.push_back(folder);
    }
    ::closedir(d);
    if (err != 0) return WinErrorFromErrno(err);
    out = FolderListing(std::move(names), std::move(folders));
    return ERROR_SUCCESS;
}

FolderListing::FolderListing(std::vector<std::string> names, std::vector<bool> folders)
    : names_(std::move(names)), folders_(std::move(folders)) {
    folders_.resize(names_.size(), false);
    upper_.reserve(names_.size());
    for (std::size_t i = 0; i < names_.size(); ++i) {
        const auto index = static_cast<std::uint32_t>(i);
        auto [it, added] = upper_.emplace(text::UpperAscii(names_[i]), index);
        if (added) continue;
        caseTwins_ = true;
        if (names_[i] < names_[it->second]) it->second = index;
    }
}

std::size_t FolderListing::FindAnyCase(std::string_view name) const {
    // Names are short: upper-case them on the stack rather than in a new string.
    char buf[256];
    if (name.size() > sizeof buf) {
        const auto it = upper_.find(text::UpperAscii(name));
        return it == upper_.end() ? kNone : it->second;
    }
    text::UpperAsciiTo(name, buf);
    const auto it = upper_.find(std::string_view(buf, name.size()));
    return it == upper_.end() ? kNone : it->second;
}

std::size_t FolderListing::FindExact(std::string_view name) const {
    const std::size_t i = FindAnyCase(name);
    if (i == kNone || names_[i] == name) return i;
    if (!caseTwins_) return kNone;
    for (std::size_t k = 0; k < names_.size(); ++k) {
        if (names_[k] == name) return k;
    }
    return kNone;
}

std::shared_ptr<const FolderListing> FolderSnapshot::Find(const std::string& hostDir) const {
    std::shared_lock lock(mutex_);
    const auto it = listings_.find(hostDir);
    return it == listings_.end() ? nullptr : it->second;
}

void FolderSnapshot::Keep(const std::string& hostDir,
                          std::shared_ptr<const FolderListing> listing, std::uint64_t generation) {
    std::unique_lock lock(mutex_);
    if (generation == generation_) listings_[hostDir] = std::move(listing);
}

std::uint64_t FolderSnapshot::generation() const {
    std::shared_lock lock(mutex_);
    return generation_;
}

void FolderSnapshot::Drop(const std::string& hostDir) {
    std::unique_lock lock(mutex_);
    listings_.erase(hostDir);
}

void FolderSnapshot::Forget(const std::string& hostPath) {
    std::string path = hostPath;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    const std::size_t slash = path.rfind('/');
    const std::string parent = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : path.substr(0, slash);
    const std::string below = path == "/" ? path : path + "/";
    std::unique_lock lock(mutex_);
    ++generation_;
    listings_.erase(parent);
    for (auto it = listings_.begin(); it != listings_.end();) {
        const std::string& dir = it->first;
        if (dir == path || dir.compare(0, below.size(), below) == 0) {
            it = listings_.erase(it);
        } else {
            ++it;
        }
    }
}

void FolderSnapshot::ForgetAll() {
    std::unique_lock lock(mutex_);
    ++generation_;
    listings_.clear();
}

std::size_t FolderSnapshot::size() const {
    std::shared_lock lock(mutex_);
    return listings_.size();
}

}  // namespace veldan::machine::image
