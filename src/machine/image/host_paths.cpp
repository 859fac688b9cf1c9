#include "machine/image/host_paths.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <string>
#include <unordered_set>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "text/codepage.h"
#include "text/strings.h"

namespace veldan::machine::image {
namespace {

constexpr std::size_t kNpos = std::string_view::npos;

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

char UpperChar(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Length of the UTF-8 character at `i`; 1 for a byte that starts none.
std::size_t CharLength(std::string_view s, std::size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = 1;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
    }
    if (n == 1 || i + n > s.size()) return 1;
    for (std::size_t k = 1; k < n; ++k) {
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 1;
    }
    return n;
}

// ASCII characters a FAT short name may hold besides letters and digits.
bool IsShortNameAscii(char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
    return std::string_view("!#$%&'()-@^_`{}~").find(c) != kNpos;
}

// Bytes the (multibyte) character takes in CP949; 0 when CP949 cannot hold it.
std::size_t Cp949Width(std::string_view ch) {
    if (ch.size() < 2) return 0;  // a stray byte of broken UTF-8
    const std::string cp = text::Utf8ToCp949(ch);
    return cp == "?" ? 0 : cp.size();
}

// True when `part` consists of short-name characters taking at most `limit` CP949 bytes.
bool FitsShort(std::string_view part, std::size_t limit) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < part.size();) {
        const std::size_t n = CharLength(part, i);
        std::size_t w = 1;
        if (static_cast<unsigned char>(part[i]) < 0x80) {
            if (!IsShortNameAscii(part[i])) return false;
        } else {
            w = Cp949Width(part.substr(i, n));
            if (w == 0) return false;
        }
        width += w;
        if (width > limit) return false;
        i += n;
    }
    return true;
}

// One character of a generated short name and the CP949 bytes it takes.
struct ShortChar {
    std::string text;
    std::size_t width;
};

// The characters of `part` as a generated short name holds them: ASCII upper-cased,
// blanks and dots dropped, anything a short name cannot hold as '_'.
std::vector<ShortChar> ShortChars(std::string_view part) {
    std::vector<ShortChar> out;
    for (std::size_t i = 0; i < part.size();) {
        const std::size_t n = CharLength(part, i);
        const char c = part[i];
        if (static_cast<unsigned char>(c) < 0x80) {
            if (c != ' ' && c != '.') {
                out.push_back({std::string(1, IsShortNameAscii(c) ? UpperChar(c) : '_'), 1});
            }
        } else {
            const std::string_view ch = part.substr(i, n);
            const std::size_t w = Cp949Width(ch);
            out.push_back(w == 0 ? ShortChar{"_", 1} : ShortChar{std::string(ch), w});
        }
        i += n;
    }
    return out;
}

// The leading characters of `chars` that fit in `limit` bytes; never splits one.
std::string Fit(const std::vector<ShortChar>& chars, std::size_t limit) {
    std::string out;
    std::size_t width = 0;
    for (const ShortChar& c : chars) {
        if (width + c.width > limit) break;
        out += c.text;
        width += c.width;
    }
    return out;
}

// Builds the NAME~N.EXT candidates of one long name.
class ShortNameMaker {
  public:
    explicit ShortNameMaker(std::string_view longName) {
        // Leading dots go first (".htaccess" gives HTACCE~1); the last dot
        // separates the extension.
        const std::size_t start = longName.find_first_not_of('.');
        const std::string_view name = start == kNpos ? std::string_view() : longName.substr(start);
        const std::size_t dot = name.rfind('.');
        base_ = ShortChars(name.substr(0, dot));
        if (dot != kNpos) ext_ = Fit(ShortChars(name.substr(dot + 1)), 3);
        stem_ = Fit(base_, 6) + "." + ext_;
    }

    // The candidate with number `n`: the base shrinks when the number needs
    // more digits, so that base, '~' and number fit in eight bytes.
    std::string Make(unsigned n) const {
        const std::string number = "~" + std::to_string(n);
        const std::size_t room =
            number.size() >= 8 ? 0 : std::min<std::size_t>(6, 8 - number.size());
        std::string base = Fit(base_, room);
        if (base.empty() && room > 0) base = "_";
        std::string out = base + number;
        if (!ext_.empty()) out += "." + ext_;
        return out;
    }

    // Names with the same stem compete for the same numbers.
    const std::string& stem() const { return stem_; }

  private:
    std::vector<ShortChar> base_;
    std::string ext_;
    std::string stem_;
};

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

// A name for a temporary file beside `hostPath` that is unlikely to exist.
std::string TempNameBeside(const std::string& hostPath) {
    const std::size_t slash = hostPath.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : hostPath.substr(0, slash + 1);
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return dir + ".veldan-" + std::to_string(::getpid()) + "-" + std::to_string(::gettid()) + "-" +
           std::to_string(now) + ".tmp";
}

WinError WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return WinErrorFromErrno(errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return ERROR_SUCCESS;
}

}  // namespace

WinError ParseWindowsPath(std::string_view path, WindowsPath& out) {
    std::string_view p = path;
    // "\\?\C:\..." (no-parse prefix) and "\??\C:\..." (the native form the
    // rename-at-restart list holds) name the same file as "C:\...".
    if (p.size() >= 4 && IsSeparator(p[0]) && (IsSeparator(p[1]) || p[1] == '?') && p[2] == '?' &&
        IsSeparator(p[3])) {
        p.remove_prefix(4);
    }
    const bool letter =
        p.size() >= 2 && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
    if (!letter || p[1] != ':') return ERROR_INVALID_NAME;
    if (p[0] != 'C' && p[0] != 'c') return ERROR_PATH_NOT_FOUND;

    WindowsPath result;
    result.drive = std::string(p.substr(0, 2));
    // "C:x" is taken from the root: the image's drive has no other current folder.
    const std::string_view rest = p.substr(2);
    result.trailingSeparator = !rest.empty() && IsSeparator(rest.back());
    std::size_t i = 0;
    while (i < rest.size()) {
        while (i < rest.size() && IsSeparator(rest[i])) ++i;
        const std::size_t start = i;
        while (i < rest.size() && !IsSeparator(rest[i])) ++i;
        std::string_view comp = rest.substr(start, i - start);
        if (comp == "..") {
            if (result.components.empty()) return ERROR_PATH_NOT_FOUND;
            result.components.pop_back();
            continue;
        }
        while (!comp.empty() && (comp.back() == '.' || comp.back() == ' ')) comp.remove_suffix(1);
        if (!comp.empty()) result.components.emplace_back(comp);  // "." and "" vanish here
    }
    out = std::move(result);
    return ERROR_SUCCESS;
}

namespace {

// Matches with '*' (any run) and '?' (one character); ASCII case ignored.
bool MatchPlain(std::string_view pat, std::string_view name) {
    std::size_t p = 0, n = 0;
    std::size_t starP = kNpos, starN = 0;  // position after the last '*', and where it resumes
    while (n < name.size()) {
        if (p < pat.size() && pat[p] == '*') {
            starP = ++p;
            starN = n;
            continue;
        }
        if (p < pat.size()) {
            const std::size_t nl = CharLength(name, n);
            if (pat[p] == '?') {
                ++p;
                n += nl;
                continue;
            }
            const std::size_t pl = CharLength(pat, p);
            const bool same = pl == nl && (pl == 1 ? UpperChar(pat[p]) == UpperChar(name[n])
                                                   : pat.substr(p, pl) == name.substr(n, nl));
            if (same) {
                p += pl;
                n += nl;
                continue;
            }
        }
        if (starP == kNpos) return false;
        starN += CharLength(name, starN);
        n = starN;
        p = starP;
    }
    while (p < pat.size() && pat[p] == '*') ++p;
    return p == pat.size();
}

}  // namespace

bool MatchWildcard(std::string_view pattern, std::string_view name) {
    if (pattern == "*" || pattern == "*.*") return true;
    if (MatchPlain(pattern, name)) return true;
    // A final ".*" may also match the end of the name, as if the name ended in a dot.
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*") {
        std::string dotted(name);
        dotted += '.';
        return MatchPlain(pattern, dotted);
    }
    return false;
}

bool IsShortName(std::string_view name) {
    const std::size_t dot = name.find('.');
    if (dot != kNpos && name.find('.', dot + 1) != kNpos) return false;
    const std::string_view base = name.substr(0, dot);
    const std::string_view ext = dot == kNpos ? std::string_view() : name.substr(dot + 1);
    if (base.empty() || (dot != kNpos && ext.empty())) return false;
    return FitsShort(base, 8) && FitsShort(ext, 3);
}

WinError WinErrorFromErrno(int err) {
    switch (err) {
        case 0:
            return ERROR_GEN_FAILURE;  // a failure without a cause is still a failure
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
        case ELOOP:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return ERROR_ACCESS_DENIED;
        case ENOTEMPTY:
        case EEXIST:  // rmdir may report a folder that is not empty this way
            return ERROR_DIR_NOT_EMPTY;
        case EBUSY:
        case ETXTBSY:
            return ERROR_SHARING_VIOLATION;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return ERROR_DISK_FULL;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case EXDEV:
            return ERROR_NOT_SAME_DEVICE;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        default:
            return ERROR_GEN_FAILURE;
    }
}

WinError WriteHostFileAtomic(const std::string& hostPath, std::string_view bytes) {
    struct stat st {};
    mode_t mode = 0666;  // a new file: the usual mode, less the umask
    bool exists = false;
    if (::stat(hostPath.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode) || (st.st_mode & S_IWUSR) == 0) return ERROR_ACCESS_DENIED;
        mode = st.st_mode & 07777;
        exists = true;
    } else if (errno != ENOENT) {
        return errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : WinErrorFromErrno(errno);
    }
    const std::size_t slash = hostPath.rfind('/');
    const std::string dir = slash == std::string::npos ? "."
                            : slash == 0               ? "/"
                                                       : hostPath.substr(0, slash);
    struct stat ds {};
    if (::stat(dir.c_str(), &ds) != 0 || !S_ISDIR(ds.st_mode)) return ERROR_PATH_NOT_FOUND;
    // The owner's write permission decides, also for root, as on a non-root host.
    if ((ds.st_mode & S_IWUSR) == 0) return ERROR_ACCESS_DENIED;

    std::string temp;
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        temp = TempNameBeside(hostPath);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && (errno != EEXIST || attempt >= 16)) return WinErrorFromErrno(errno);
    }
    WinError err = WriteAll(fd, bytes);
    if (err == ERROR_SUCCESS && exists && ::fchmod(fd, mode) != 0) err = WinErrorFromErrno(errno);
    if (err == ERROR_SUCCESS && ::fsync(fd) != 0) err = WinErrorFromErrno(errno);
    if (::close(fd) != 0 && err == ERROR_SUCCESS) err = WinErrorFromErrno(errno);
    if (err == ERROR_SUCCESS && ::rename(temp.c_str(), hostPath.c_str()) != 0) {
        err = WinErrorFromErrno(errno);
    }
    if (err != ERROR_SUCCESS) {
        ::unlink(temp.c_str());
        return err;
    }
    // Make the rename itself durable; a failure here loses nothing already written.
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return ERROR_SUCCESS;
}

int ReadNtfsDosName(const std::string& hostPath, std::string& dosName) {
    char buffer[64];
    const ssize_t n = ::lgetxattr(hostPath.c_str(), "system.ntfs_dos_name", buffer, sizeof buffer);
    if (n < 0) return errno == ENOTSUP ? -1 : 0;
    dosName.assign(buffer, static_cast<std::size_t>(n));
    return 1;
}

HostPaths::HostPaths(std::string driveRoot, DosNameReader dosNames, Listings listings)
    : driveRoot_(TrimDir(std::move(driveRoot))), dosNames_(std::move(dosNames)), trust_(listings) {}

HostPaths::Folder& HostPaths::Assign(const std::string& hostDir,
                                     const std::shared_ptr<const FolderListing>& listing) const {
    Folder& folder = folders_[hostDir];
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

WinError HostPaths::FindEntry(const std::string& hostDir, const std::string& name,
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
    std::size_t found = checked ? FolderListing::kNone : listing->FindExact(name);
    if (found == FolderListing::kNone) found = listing->FindAnyCase(name);
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

WinError HostPaths::Walk(const WindowsPath& p, bool allowMissingLast, std::string& hostPath,
                         std::string* longForm, std::string* shortForm) const {
    if (trust_ != Listings::kSnapshot || longForm != nullptr || shortForm != nullptr ||
        p.components.size() < 2) {
        return WalkFromRoot(p, allowMissingLast, hostPath, longForm, shortForm);
    }
    // The folder holding the last component, found before or walked now.
    std::string key;
    for (std::size_t i = 0; i + 1 < p.components.size(); ++i) {
        key += p.components[i];
        key += '\\';
    }
    std::string dir;
    bool known = false;
    {
        std::shared_lock lock(foldersMutex_);
        const auto it = foundFolders_.find(key);
        if (it != foundFolders_.end()) {
            dir = it->second;
            known = true;
        }
    }
    if (!known) {
        const std::uint64_t generation = listings_.generation();
        WindowsPath parent;
        parent.drive = p.drive;
        parent.components.assign(p.components.begin(), p.components.end() - 1);
        parent.trailingSeparator = true;
        const WinError err = WalkFromRoot(parent, false, dir, nullptr, nullptr);
        // A missing folder on the way is a missing path, as in a walk of the whole path.
        if (err != ERROR_SUCCESS) return err == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : err;
        std::unique_lock lock(foldersMutex_);
        // Kept only when no change came in meanwhile (Changed empties the map first).
        if (listings_.generation() == generation) foundFolders_.emplace(std::move(key), dir);
    }
    const std::string& last = p.components.back();
    if (!IsValidComponent(last, false)) return ERROR_INVALID_NAME;
    std::string onDisk;
    bool isFolder = false;
    const WinError err = FindEntry(dir, last, onDisk, isFolder);
    if (err == ERROR_FILE_NOT_FOUND) {
        if (!allowMissingLast) return ERROR_FILE_NOT_FOUND;
        hostPath = Join(dir, last);
        return ERROR_SUCCESS;
    }
    if (err != ERROR_SUCCESS) return err;
    if (!isFolder && p.trailingSeparator) return ERROR_PATH_NOT_FOUND;
    hostPath = Join(dir, onDisk);
    return ERROR_SUCCESS;
}

WinError HostPaths::WalkFromRoot(const WindowsPath& p, bool allowMissingLast,
                                 std::string& hostPath, std::string* longForm,
                                 std::string* shortForm) const {
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
