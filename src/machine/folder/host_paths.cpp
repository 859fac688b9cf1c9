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

// Enumeration order: ordinal order of the upper-cased names, then of the names.
bool EnumerationLess(const std::string& a, const std::string& b) {
    const int c = text::CompareUpper(a, b);
    return c != 0 ? c < 0 : a < b;
}

// True when `name` may name a file or folder; wildcards only when `wildcards`.
bool IsValidComponent(std::string_view name, bool wildcards) {
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20) return false;
        switch (c) {
            case '<':
            case '>':
            case ':':
            case '"':
            case '|':
                return false;
            case '*':
            case '?':
                if (!wildcards) return false;
                break;
            default:
                break;
        }
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

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// At most this many folders are kept for the look-ups; then they start again.
constexpr std::size_t kMaxFoundFolders = 4096;

// Upper-cases ASCII `name` into `buf` (of `size` bytes); false when it does not fit.
bool UpperInto(std::string_view name, char* buf, std::size_t size) {
    if (name.size() > size) return false;
    text::UpperAsciiTo(name, buf);
    return true;
}

// `dir` without trailing slashes (the host root stays "/").
std::string TrimDir(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

}  // namespace

HostPaths::HostPaths(std::string driveRoot, DosNameReader dosNames, Listings listings)
    : driveRoot_(TrimDir(std::move(driveRoot))), dosNames_(std::move(dosNames)), trust_(listings) {}

HostPaths::Folder& HostPaths::Assign(const std::string& hostDir,
                                     const std::shared_ptr<const FolderListing>& listing) const {
    return Assign(folders_[hostDir], hostDir, listing);
}

HostPaths::Folder& HostPaths::Assign(Folder& folder, const std::string& hostDir,
                                     const std::shared_ptr<const FolderListing>& listing) const {
    if (folder.assigned == listing) return folder;
    folder.assigned = listing;
    const std::vector<std::string>& names = listing->names();
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
    std::shared_ptr<const FolderListing> listing;
    if (CachedNames(dir, listing) != ERROR_SUCCESS ||
        listing->FindExact(longName) == FolderListing::kNone) {
        return {};
    }
    std::lock_guard<std::mutex> lock(mutex_);
    const Folder& folder = Assign(dir, listing);
    const auto it = folder.shortOf.find(longName);
    return it == folder.shortOf.end() ? std::string() : it->second;
}

WinError HostPaths::ListFolder(const std::string& hostDir,
                               std::vector<FolderEntry>& entries) const {
    const std::string dir = TrimDir(hostDir);
    std::shared_ptr<const FolderListing> listing;
    if (WinError err = CachedNames(dir, listing); err != ERROR_SUCCESS) return err;
    std::vector<std::string> names = listing->names();
    std::sort(names.begin(), names.end(), EnumerationLess);
    std::vector<FolderEntry> out;
    out.reserve(names.size());
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const Folder& folder = Assign(dir, listing);
        for (std::string& name : names) {
            const auto it = folder.shortOf.find(name);
            out.push_back(
                {std::move(name), it == folder.shortOf.end() ? std::string() : it->second});
        }
    }
    entries = std::move(out);
    return ERROR_SUCCESS;
}

// The listings first: their generation moves on, so that a walk that ran
// meanwhile does not put back a folder found before the change.
void HostPaths::Changed(const std::string& hostPath) const {
    listings_.Forget(TrimDir(hostPath));
    std::unique_lock lock(foldersMutex_);
    foundFolders_.clear();
}

void HostPaths::ChangedAll() const {
    listings_.ForgetAll();
    std::unique_lock lock(foldersMutex_);
    foundFolders_.clear();
}

WinError HostPaths::CachedNames(const std::string& hostDir,
                                std::shared_ptr<const FolderListing>& listing) const {
    if (trust_ == Listings::kSnapshot) {
        if (auto kept = listings_.Find(hostDir)) {
            listing = std::move(kept);
            return ERROR_SUCCESS;
        }
        const std::uint64_t generation = listings_.generation();
        auto fresh = std::make_shared<FolderListing>();
        if (WinError err = FolderListing::Read(hostDir, *fresh); err != ERROR_SUCCESS) return err;
        listings_.Keep(hostDir, fresh, generation);
        listing = std::move(fresh);
        return ERROR_SUCCESS;
    }

    struct stat st {};
    if (::stat(hostDir.c_str(), &st) != 0) {
        const int err = errno;
        return err == ENOENT || err == ENOTDIR ? ERROR_PATH_NOT_FOUND : WinErrorFromErrno(err);
    }
    if (auto kept = listings_.Find(hostDir)) {
        if (kept->inode == st.st_ino && kept->mtimeSec == st.st_mtim.tv_sec &&
            kept->mtimeNsec == st.st_mtim.tv_nsec && kept->ctimeSec == st.st_ctim.tv_sec &&
            kept->ctimeNsec == st.st_ctim.tv_nsec) {
            listing = std::move(kept);
            return ERROR_SUCCESS;
        }
    }
    const std::uint64_t generation = listings_.generation();
    auto fresh = std::make_shared<FolderListing>();
    if (WinError err = FolderListing::Read(hostDir, *fresh); err != ERROR_SUCCESS) return err;
    fresh->inode = st.st_ino;
    fresh->mtimeSec = st.st_mtim.tv_sec;
    fresh->mtimeNsec = st.st_mtim.tv_nsec;
    fresh->ctimeSec = st.st_ctim.tv_sec;
    fresh->ctimeNsec = st.st_ctim.tv_nsec;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const bool settled = now.tv_sec - std::max(st.st_mtim.tv_sec, st.st_ctim.tv_sec) >= 2;
    if (settled) {
        listings_.Keep(hostDir, fresh, generation);
    } else {
        listings_.Drop(hostDir);
    }
    listing = std::move(fresh);
    return ERROR_SUCCESS;
}

WinError HostPaths::FindEntry(const std::string& hostDir, std::string_view name,
                              std::string& onDisk, bool& isFolder) const {
    const bool checked = trust_ == Listings::kChecked;
    struct stat st {};
    // Checked listings: the name exactly as on disk needs no folder read.
    if (checked) {
        if (::lstat(Join(hostDir, name).c_str(), &st) == 0) {
            onDisk = name;
            isFolder = S_ISDIR(st.st_mode);
            return ERROR_SUCCESS;
        }
        if (errno != ENOENT)
            return errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : WinErrorFromErrno(errno);
    }

    std::shared_ptr<const FolderListing> listing;
    if (WinError err = CachedNames(hostDir, listing); err != ERROR_SUCCESS) return err;
    // The name as written when the folder holds it so, else its first any-case match.
    std::size_t found = listing->FindAnyCase(name);
    if (!checked && found != FolderListing::kNone && listing->names()[found] != name) {
        const std::size_t exact = listing->FindExact(name);
        if (exact != FolderListing::kNone) found = exact;
    }
    if (found == FolderListing::kNone && IsShortName(name)) {
        std::lock_guard<std::mutex> lock(mutex_);
        const Folder& folder = Assign(hostDir, listing);
        const auto it = folder.longOf.find(text::UpperAscii(name));
        if (it != folder.longOf.end()) found = listing->FindExact(it->second);
    }
    if (found == FolderListing::kNone) return ERROR_FILE_NOT_FOUND;
    const std::string& entry = listing->names()[found];
    if (checked) {
        if (::lstat(Join(hostDir, entry).c_str(), &st) != 0) return ERROR_FILE_NOT_FOUND;
        isFolder = S_ISDIR(st.st_mode);
    } else {
        isFolder = listing->isFolder(found);
    }
    onDisk = entry;
    return ERROR_SUCCESS;
}

std::size_t HostPaths::EntryIn(const FoundFolder& dir, std::string_view name) const {
    const FolderListing& listing = *dir.listing;
    // The name as written when the folder holds it so, else its first any-case match.
    std::size_t found = listing.FindAnyCase(name);
    if (found != FolderListing::kNone && listing.names()[found] != name) {
        const std::size_t exact = listing.FindExact(name);
        if (exact != FolderListing::kNone) found = exact;
    }
    if (found == FolderListing::kNone && IsShortName(name)) {
        char buf[64];
        std::string upper;
        std::string_view key;
        if (UpperInto(name, buf, sizeof buf)) {
            key = std::string_view(buf, name.size());
        } else {
            upper = text::UpperAscii(name);
            key = upper;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (dir.names == nullptr) dir.names = &folders_[dir.hostDir];
        const Folder& folder = Assign(*dir.names, dir.hostDir, dir.listing);
        const auto it = folder.longOf.find(key);
        if (it != folder.longOf.end()) found = listing.FindExact(it->second);
    }
    return found;
}

WinError HostPaths::StepInto(const FoundFolder& dir, std::string_view last, bool trailingSeparator,
                             bool allowMissingLast, std::string& hostPath) const {
    if (!IsValidComponent(last, false)) return ERROR_INVALID_NAME;
    const std::size_t found = EntryIn(dir, last);
    if (found == FolderListing::kNone) {
        if (!allowMissingLast) return ERROR_FILE_NOT_FOUND;
        hostPath = Join(dir.hostDir, last);
        return ERROR_SUCCESS;
    }
    if (!dir.listing->isFolder(found) && trailingSeparator) return ERROR_PATH_NOT_FOUND;
    hostPath = Join(dir.hostDir, dir.listing->names()[found]);
    return ERROR_SUCCESS;
}

std::shared_ptr<const HostPaths::FoundFolder> HostPaths::KeptFolder(std::string_view key) const {
    std::shared_lock lock(foldersMutex_);
    const auto it = foundFolders_.find(key);
    return it == foundFolders_.end() ? nullptr : it->second;
}

WinError HostPaths::WalkToFolder(std::string_view key, const WindowsPath& folder,
                                 std::shared_ptr<const FoundFolder>& found) const {
    const std::uint64_t generation = listings_.generation();
    std::string walked;
    auto fresh = std::make_shared<FoundFolder>();
    WinError err = WalkFromRoot(folder, false, walked, nullptr, nullptr);
    // A missing folder on the way is a missing path, as in a walk of the whole path.
    if (err == ERROR_FILE_NOT_FOUND) err = ERROR_PATH_NOT_FOUND;
    if (err == ERROR_SUCCESS) err = CachedNames(walked, fresh->listing);
    if (err != ERROR_SUCCESS) {
        // Only what the listings say is kept: other errors may pass.
        if (err != ERROR_PATH_NOT_FOUND && err != ERROR_INVALID_NAME) return err;
        fresh->error = err;
    } else {
        fresh->hostDir = std::move(walked);
    }
    {
        std::unique_lock lock(foldersMutex_);
        // Kept only when no change came in meanwhile (Changed empties the map first).
        if (listings_.generation() == generation) {
            if (foundFolders_.size() >= kMaxFoundFolders) foundFolders_.clear();
            foundFolders_.emplace(std::string(key), fresh);
        }
    }
    found = std::move(fresh);
    return found->error;
}

bool HostPaths::QuickWalk(std::string_view winPath, bool allowMissingLast, std::string& hostPath,
                          WinError& result) const {
    if (trust_ != Listings::kSnapshot) return false;
    std::size_t end = winPath.size();
    while (end > 0 && IsSeparator(winPath[end - 1])) --end;
    const bool trailingSeparator = end < winPath.size();
    std::size_t start = end;
    while (start > 0 && !IsSeparator(winPath[start - 1])) --start;
    if (start == 0) return false;
    // The last component as ParseWindowsPath keeps it; ".." and one that
    // vanishes take the full walk.
    std::string_view last = winPath.substr(start, end - start);
    if (last == "..") return false;
    while (!last.empty() && (last.back() == '.' || last.back() == ' ')) last.remove_suffix(1);
    if (last.empty()) return false;
    const std::string_view key = winPath.substr(0, start - 1);
    // A text that Walk's keys start with is no path (no drive) anyway.
    if (key.empty() || key.front() == '|') return false;
    std::shared_ptr<const FoundFolder> dir = KeptFolder(key);
    if (dir == nullptr) {
        WindowsPath folder;
        if (ParseWindowsPath(key, folder) != ERROR_SUCCESS) return false;
        folder.trailingSeparator = true;
        if (const WinError err = WalkToFolder(key, folder, dir);
            err != ERROR_SUCCESS && dir == nullptr) {
            return false;
        }
    }
    if (dir->error != ERROR_SUCCESS) {
        result = dir->error;
        return true;
    }
    result = StepInto(*dir, last, trailingSeparator, allowMissingLast, hostPath);
    return true;
}

WinError HostPaths::Walk(const WindowsPath& p, bool allowMissingLast, std::string& hostPath,
                         std::string* longForm, std::string* shortForm) const {
    if (trust_ != Listings::kSnapshot || longForm != nullptr || shortForm != nullptr ||
        p.components.size() < 2) {
        return WalkFromRoot(p, allowMissingLast, hostPath, longForm, shortForm);
    }
    // The folder holding the last component, found before or walked now.
    std::string key = "|";
    for (std::size_t i = 0; i + 1 < p.components.size(); ++i) {
        key += p.components[i];
        key += '\\';
    }
    std::shared_ptr<const FoundFolder> dir = KeptFolder(key);
    if (dir == nullptr) {
        WindowsPath parent;
        parent.drive = p.drive;
        parent.components.assign(p.components.begin(), p.components.end() - 1);
        parent.trailingSeparator = true;
        if (WinError err = WalkToFolder(key, parent, dir); err != ERROR_SUCCESS) return err;
    }
    if (dir->error != ERROR_SUCCESS) return dir->error;
    return StepInto(*dir, p.components.back(), p.trailingSeparator, allowMissingLast, hostPath);
}

WinError HostPaths::WalkFromRoot(const WindowsPath& p, bool allowMissingLast, std::string& hostPath,
                                 std::string* longForm, std::string* shortForm) const {
    if (trust_ == Listings::kChecked) {
        struct stat st {};
        if (::stat(driveRoot_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return ERROR_PATH_NOT_FOUND;
    } else {
        std::shared_ptr<const FolderListing> root;
        if (CachedNames(driveRoot_, root) != ERROR_SUCCESS) return ERROR_PATH_NOT_FOUND;
    }
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

WinError HostPaths::ParseAndWalk(std::string_view winPath, bool allowMissingLast,
                                 std::string* hostPath, std::string* longForm,
                                 std::string* shortForm) const {
    WindowsPath p;
    if (WinError err = ParseWindowsPath(winPath, p); err != ERROR_SUCCESS) return err;
    std::string host, longOut, shortOut;
    if (WinError err = Walk(p, allowMissingLast, host, longForm ? &longOut : nullptr,
                            shortForm ? &shortOut : nullptr);
        err != ERROR_SUCCESS) {
        return err;
    }
    if (hostPath != nullptr) *hostPath = std::move(host);
    if (longForm != nullptr) *longForm = std::move(longOut);
    if (shortForm != nullptr) *shortForm = std::move(shortOut);
    return ERROR_SUCCESS;
}

WinError HostPaths::Resolve(std::string_view winPath, std::string& hostPath) const {
    if (WinError err; QuickWalk(winPath, false, hostPath, err)) return err;
    return ParseAndWalk(winPath, false, &hostPath, nullptr, nullptr);
}

WinError HostPaths::ResolveForCreate(std::string_view winPath, std::string& hostPath) const {
    if (WinError err; QuickWalk(winPath, true, hostPath, err)) return err;
    return ParseAndWalk(winPath, true, &hostPath, nullptr, nullptr);
}

WinError HostPaths::LongPath(std::string_view winPath, std::string& out) const {
    return ParseAndWalk(winPath, false, nullptr, &out, nullptr);
}

WinError HostPaths::ShortPath(std::string_view winPath, std::string& out) const {
    return ParseAndWalk(winPath, false, nullptr, nullptr, &out);
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
