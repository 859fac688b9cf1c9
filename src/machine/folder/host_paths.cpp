#include "machine/folder/host_paths.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <string>
#include <unordered_set>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/errno_map.h"
#include "text/codepage.h"
#include "text/strings.h"

namespace veldan::machine::image {
using host::WinErrorFromErrno;

namespace {

constexpr std::size_t kNpos = std::string_view::npos;

// Enumeration order: ordinal order of the upper-cased names, then of the names.
bool EnumerationLess(const std::string& a, const std::string& b) {
    const int c = text::CompareUpper(a, b);
    return c != 0 ? c < 0 : a < b;
}

// True when `name` may name a file or folder; wildcards only when `wildcards`.
bool IsValidComponent(std::string_view name, bool wildcards) {
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20) return false;
        if (std::string_view("<>:\"|").find(c) != kNpos) return false;
        if (!wildcards && (c == '*' || c == '?')) return false;
    }
    return true;
}

std::string Join(const std::string& dir, std::string_view name) {
    std::string out;
    out.reserve(dir.size() + 1 + name.size());
    out = dir;
    if (out.empty() || out.back() != '/') out += '/';
    out += name;
    return out;
}

// `dir` without trailing slashes (the host root stays "/").
std::string TrimDir(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

// The names in host folder `dir`, without "." and "..".
WinError ReadFolder(const std::string& dir, std::vector<std::string>& names) {
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) {
        const int err = errno;
        return err == ENOENT || err == ENOTDIR ? ERROR_PATH_NOT_FOUND : WinErrorFromErrno(err);
    }
    std::vector<std::string> out;
    for (;;) {
        errno = 0;
        const dirent* e = ::readdir(d);
        if (e == nullptr) break;
        const std::string_view name = e->d_name;
        if (name != "." && name != "..") out.emplace_back(name);
    }
    const int err = errno;
    ::closedir(d);
    if (err != 0) return WinErrorFromErrno(err);
    names = std::move(out);
    return ERROR_SUCCESS;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

HostPaths::HostPaths(std::string driveRoot, DosNameReader dosNames)
    : driveRoot_(TrimDir(std::move(driveRoot))), dosNames_(std::move(dosNames)) {}

HostPaths::Folder& HostPaths::Assign(const std::string& hostDir,
                                     const std::vector<std::string>& names) const {
    Folder& folder = folders_[hostDir];
    std::vector<const std::string*> fresh;
    std::unordered_set<std::string> taken;  // upper-cased long names that are 8.3 names
    for (const std::string& name : names) {
        if (IsShortName(name)) {
            taken.insert(text::UpperAscii(name));
        } else if (folder.shortOf.find(name) == folder.shortOf.end()) {
            fresh.push_back(&name);
        }
    }
    std::sort(fresh.begin(), fresh.end(),
              [](const std::string* a, const std::string* b) { return EnumerationLess(*a, *b); });
    // The names the file system keeps come first, so that no generated name
    // takes one of them.
    if (dosNames_) {
        std::vector<const std::string*> unnamed;
        bool ask = true;
        for (const std::string* name : fresh) {
            std::string dos;
            const int r = ask ? dosNames_(Join(hostDir, *name), dos) : 0;
            if (r < 0) ask = false;
            dos = text::UpperAscii(dos);
            if (r <= 0 || !text::IsValidUtf8(dos) || !IsShortName(dos) ||
                folder.longOf.count(dos) != 0 || taken.count(dos) != 0) {
                unnamed.push_back(name);
                continue;
            }
            folder.shortOf.emplace(*name, dos);
            folder.longOf.emplace(std::move(dos), *name);
        }
        fresh = std::move(unnamed);
    }
    for (const std::string* name : fresh) {
        const ShortNameMaker maker(*name);
        // Numbers of a stem are handed out upward and never again, so the search
        // starts after the last one given.
        unsigned& last = folder.lastNumber[maker.stem()];
        for (unsigned n = last + 1;; ++n) {
            std::string candidate = maker.Make(n);
            if (folder.longOf.count(candidate) != 0 || taken.count(candidate) != 0) continue;
            last = n;
            folder.shortOf.emplace(*name, candidate);
            folder.longOf.emplace(std::move(candidate), *name);
            break;
        }
    }
    return folder;
}

std::string HostPaths::ShortName(const std::string& hostDir, const std::string& longName) const {
    if (IsShortName(longName)) return longName;
    const std::string dir = TrimDir(hostDir);
    std::vector<std::string> names;
    if (CachedNames(dir, names) != ERROR_SUCCESS || !Contains(names, longName)) return {};
    std::lock_guard<std::mutex> lock(mutex_);
    const Folder& folder = Assign(dir, names);
    const auto it = folder.shortOf.find(longName);
    return it == folder.shortOf.end() ? std::string() : it->second;
}

WinError HostPaths::ListFolder(const std::string& hostDir,
                               std::vector<FolderEntry>& entries) const {
    const std::string dir = TrimDir(hostDir);
    std::vector<std::string> names;
    if (WinError err = CachedNames(dir, names); err != ERROR_SUCCESS) return err;
    std::sort(names.begin(), names.end(), EnumerationLess);
    std::vector<FolderEntry> out;
    out.reserve(names.size());
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const Folder& folder = Assign(dir, names);
        for (std::string& name : names) {
            const auto it = folder.shortOf.find(name);
            out.push_back(
                {std::move(name), it == folder.shortOf.end() ? std::string() : it->second});
        }
    }
    entries = std::move(out);
    return ERROR_SUCCESS;
}

WinError HostPaths::CachedNames(const std::string& hostDir, std::vector<std::string>& names,
                                std::string* match, const std::string* name) const {
    struct stat st {};
    if (::stat(hostDir.c_str(), &st) != 0) {
        const int err = errno;
        return err == ENOENT || err == ENOTDIR ? ERROR_PATH_NOT_FOUND : WinErrorFromErrno(err);
    }
    auto sameStamp = [&](const Listing& l) {
        return l.inode == st.st_ino && l.mtimeSec == st.st_mtim.tv_sec &&
               l.mtimeNsec == st.st_mtim.tv_nsec && l.ctimeSec == st.st_ctim.tv_sec &&
               l.ctimeNsec == st.st_ctim.tv_nsec;
    };
    auto answer = [&](const Listing& l) {
        names = l.names;
        if (match != nullptr && name != nullptr) {
            auto it = l.byUpper.find(text::UpperAscii(*name));
            *match = it == l.byUpper.end() ? std::string() : it->second;
        }
    };
    {
        std::lock_guard<std::mutex> lock(listingMutex_);
        auto it = listings_.find(hostDir);
        if (it != listings_.end() && sameStamp(it->second)) {
            answer(it->second);
            return ERROR_SUCCESS;
        }
    }
    Listing l;
    if (WinError err = ReadFolder(hostDir, l.names); err != ERROR_SUCCESS) return err;
    l.inode = st.st_ino;
    l.mtimeSec = st.st_mtim.tv_sec;
    l.mtimeNsec = st.st_mtim.tv_nsec;
    l.ctimeSec = st.st_ctim.tv_sec;
    l.ctimeNsec = st.st_ctim.tv_nsec;
    // Names that differ only in case: the first in ordinal order.
    for (const std::string& n : l.names) {
        auto [it, added] = l.byUpper.emplace(text::UpperAscii(n), n);
        if (!added && n < it->second) it->second = n;
    }
    answer(l);
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const bool settled = now.tv_sec - std::max(st.st_mtim.tv_sec, st.st_ctim.tv_sec) >= 2;
    std::lock_guard<std::mutex> lock(listingMutex_);
    if (settled) {
        listings_[hostDir] = std::move(l);
    } else {
        listings_.erase(hostDir);
    }
    return ERROR_SUCCESS;
}

WinError HostPaths::FindEntry(const std::string& hostDir, const std::string& name,
                              std::string& onDisk, bool& isFolder) const {
    struct stat st {};
    // The name exactly as on disk: no need to read the folder.
    if (::lstat(Join(hostDir, name).c_str(), &st) == 0) {
        onDisk = name;
        isFolder = S_ISDIR(st.st_mode);
        return ERROR_SUCCESS;
    }
    if (errno != ENOENT) return errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : WinErrorFromErrno(errno);

    std::vector<std::string> names;
    std::string sameName;
    if (WinError err = CachedNames(hostDir, names, &sameName, &name); err != ERROR_SUCCESS)
        return err;
    const std::string* found = sameName.empty() ? nullptr : &sameName;
    std::string viaShort;
    if (found == nullptr && IsShortName(name)) {
        std::lock_guard<std::mutex> lock(mutex_);
        const Folder& folder = Assign(hostDir, names);
        const auto it = folder.longOf.find(text::UpperAscii(name));
        if (it != folder.longOf.end() && Contains(names, it->second)) {
            viaShort = it->second;
            found = &viaShort;
        }
    }
    if (found == nullptr) return ERROR_FILE_NOT_FOUND;
    if (::lstat(Join(hostDir, *found).c_str(), &st) != 0) return ERROR_FILE_NOT_FOUND;
    onDisk = *found;
    isFolder = S_ISDIR(st.st_mode);
    return ERROR_SUCCESS;
}

WinError HostPaths::Walk(const WindowsPath& p, bool allowMissingLast, std::string& hostPath,
                         std::string* longForm, std::string* shortForm) const {
    struct stat st {};
    if (::stat(driveRoot_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return ERROR_PATH_NOT_FOUND;
    std::string current = driveRoot_;
    std::string longOut, shortOut;  // built only when asked for
    if (longForm != nullptr) longOut = p.drive + "\\";
    if (shortForm != nullptr) shortOut = p.drive + "\\";
    for (std::size_t i = 0; i < p.components.size(); ++i) {
        const std::string& comp = p.components[i];
        const bool last = i + 1 == p.components.size();
        if (!IsValidComponent(comp, false)) return ERROR_INVALID_NAME;
        std::string onDisk;
        bool isFolder = false;
        const WinError err = FindEntry(current, comp, onDisk, isFolder);
        if (err == ERROR_FILE_NOT_FOUND) {
            if (!last) return ERROR_PATH_NOT_FOUND;
            if (!allowMissingLast) return ERROR_FILE_NOT_FOUND;
            hostPath = Join(current, comp);
            return ERROR_SUCCESS;
        }
        if (err != ERROR_SUCCESS) return err;
        // A file (or a link, which is never a folder) cannot hold the rest of the
        // path, nor stand before a trailing separator.
        if (!isFolder && (!last || p.trailingSeparator)) return ERROR_PATH_NOT_FOUND;
        if (longForm != nullptr) longOut += (i > 0 ? "\\" : "") + onDisk;
        if (shortForm != nullptr) shortOut += (i > 0 ? "\\" : "") + ShortName(current, onDisk);
        current = Join(current, onDisk);
    }
    if (p.trailingSeparator && !p.components.empty()) {
        longOut += '\\';
        shortOut += '\\';
    }
    hostPath = std::move(current);
    if (longForm != nullptr) *longForm = std::move(longOut);
    if (shortForm != nullptr) *shortForm = std::move(shortOut);
    return ERROR_SUCCESS;
}

WinError HostPaths::Resolve(const WindowsPath& path, std::string& hostPath) const {
    std::string host;
    if (WinError err = Walk(path, false, host, nullptr, nullptr); err != ERROR_SUCCESS) return err;
    hostPath = std::move(host);
    return ERROR_SUCCESS;
}

WinError HostPaths::Resolve(std::string_view winPath, std::string& hostPath) const {
    WindowsPath p;
    if (WinError err = ParseWindowsPath(winPath, p); err != ERROR_SUCCESS) return err;
    return Resolve(p, hostPath);
}

WinError HostPaths::ResolveForCreate(std::string_view winPath, std::string& hostPath) const {
    WindowsPath p;
    if (WinError err = ParseWindowsPath(winPath, p); err != ERROR_SUCCESS) return err;
    std::string host;
    if (WinError err = Walk(p, true, host, nullptr, nullptr); err != ERROR_SUCCESS) return err;
    hostPath = std::move(host);
    return ERROR_SUCCESS;
}

WinError HostPaths::LongPath(std::string_view winPath, std::string& out) const {
    WindowsPath p;
    if (WinError err = ParseWindowsPath(winPath, p); err != ERROR_SUCCESS) return err;
    std::string host, form;
    if (WinError err = Walk(p, false, host, &form, nullptr); err != ERROR_SUCCESS) return err;
    out = std::move(form);
    return ERROR_SUCCESS;
}

WinError HostPaths::ShortPath(std::string_view winPath, std::string& out) const {
    WindowsPath p;
    if (WinError err = ParseWindowsPath(winPath, p); err != ERROR_SUCCESS) return err;
    std::string host, form;
    if (WinError err = Walk(p, false, host, nullptr, &form); err != ERROR_SUCCESS) return err;
    out = std::move(form);
    return ERROR_SUCCESS;
}

std::string HostPaths::ToWindowsPath(std::string_view hostPath) const {
    std::string_view rest;
    if (hostPath == driveRoot_) {
        rest = {};
    } else if (driveRoot_ == "/" && !hostPath.empty() && hostPath[0] == '/') {
        rest = hostPath.substr(1);
    } else if (hostPath.size() > driveRoot_.size() &&
               hostPath.substr(0, driveRoot_.size()) == driveRoot_ &&
               hostPath[driveRoot_.size()] == '/') {
        rest = hostPath.substr(driveRoot_.size() + 1);
    } else {
        return {};
    }
    std::string out = "C:\\";
    bool separator = true;  // collapse runs of slashes
    for (char c : rest) {
        if (c == '/') {
            if (!separator) out += '\\';
            separator = true;
        } else {
            out += c;
            separator = false;
        }
    }
    return out;
}

}  // namespace veldan::machine::image
