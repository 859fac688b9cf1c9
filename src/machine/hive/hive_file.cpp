#include "machine/hive/hive_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <type_traits>

#include "host/file_write.h"
#include "host/folder_sync.h"
#include "host/quiet_open.h"
#include "host/unique_fd.h"
#include "machine/hive/hive_writer.h"
#include "text/codepage.h"
#include "text/little_endian.h"
#include "text/strings.h"

namespace veldan::machine::hive {
namespace {

std::string ErrnoText(int err) {
    return std::strerror(err != 0 ? err : EIO);
}

// Frees what hivex hands out with malloc.
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Owned = std::unique_ptr<T, FreeDeleter>;

// What is wrong with a hive file that starts like a hive but that hivex will
// not open: the first hive bin that is not where or what the header says, or
// else damage inside the cells.
std::string DescribeDamage(const std::string& hostPath) {
    const host::UniqueFd file(host::OpenQuietly(hostPath.c_str()));
    if (!file) return "cannot be read: " + ErrnoText(errno);
    const int fd = file.get();
    struct stat st {};
    ::fstat(fd, &st);
    const std::uint64_t fileSize = static_cast<std::uint64_t>(st.st_size);
    char head[kBaseBlockSize];
    std::string what;
    if (::pread(fd, head, sizeof head, 0) == static_cast<ssize_t>(sizeof head)) {
        const std::uint64_t binsSize = text::LoadLe32(head + 0x28);
        const std::uint64_t end = kBaseBlockSize + binsSize;
        if (binsSize == 0 || binsSize % 0x1000 != 0) {
            what = text::Format("damaged at offset 0x28: the size of its bins (0x%llx) is invalid",
                                static_cast<unsigned long long>(binsSize));
        } else if (end > fileSize) {
            what = text::Format("damaged: the header says %llu bytes, the file has %llu",
                                static_cast<unsigned long long>(end),
                                static_cast<unsigned long long>(fileSize));
        }
        for (std::uint64_t at = kBaseBlockSize; what.empty() && at < end;) {
            char bin[12];
            if (::pread(fd, bin, sizeof bin, static_cast<off_t>(at)) != sizeof bin) {
                what = text::Format("damaged at offset 0x%llx: the file ends inside a bin",
                                    static_cast<unsigned long long>(at));
                break;
            }
            const std::uint64_t size = text::LoadLe32(bin + 8);
            if (std::memcmp(bin, "hbin", 4) != 0 || text::LoadLe32(bin + 4) != at - kBaseBlockSize ||
                size == 0 || size % 0x1000 != 0 || at + size > end) {
                what = text::Format("damaged at offset 0x%llx: no valid hive bin there",
                                    static_cast<unsigned long long>(at));
                break;
            }
            at += size;
        }
    }
    return what.empty() ? "damaged: its keys and values cannot be read" : what;
}

// Copies a file to a new file that must not exist yet, flushed to the disk.
bool CopyToNewFile(const std::string& from, const std::string& to, mode_t mode, int& err) {
    const host::UniqueFd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in) {
        err = errno;
        return false;
    }
    host::UniqueFd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
    if (!out) {
        err = errno;
        return false;
    }
    char buf[1 << 16];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(in.get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            err = errno;
            ok = false;
            break;
        }
        if (n == 0) break;
        if (const int e = host::WriteAll(out.get(), std::string_view(buf, static_cast<std::size_t>(n)));
            e != 0) {
            err = e;
            ok = false;
            break;
        }
    }
    if (ok && ::fsync(out.get()) != 0) {
        err = errno;
        ok = false;
    }
    if (const int e = out.Close(); e != 0 && ok) {
        err = e;
        ok = false;
    }
    if (!ok) ::unlink(to.c_str());
    return ok;
}

}  // namespace

RawValue ToHiveValue(std::string_view name, const RegValue& value) {
    RawValue raw;
    raw.name = std::string(name);
    raw.type = value.type;
    raw.bytes = IsStringType(value.type) ? value.StoredUtf16() : value.data;
    return raw;
}

RegValue FromHiveValue(const RawValue& raw) {
    if (IsStringType(raw.type)) return RegValue::FromUtf16(raw.type, raw.bytes);
    RegValue v;
    v.type = raw.type;
    v.data = raw.bytes;
    return v;
}

bool ReadHiveHeader(const std::string& hostPath, HiveHeader& header, std::string& error) {
    const host::UniqueFd fd(host::OpenQuietly(hostPath.c_str()));
    if (!fd) {
        error = hostPath + ": cannot be read: " + ErrnoText(errno);
        return false;
    }
    char block[kBaseBlockSize];
    std::size_t got = 0;
    while (got < sizeof block) {
        ssize_t n = ::read(fd.get(), block + got, sizeof block - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    if (got < sizeof block || std::memcmp(block, "regf", 4) != 0) {
        error = hostPath + ": not a registry hive file";
        return false;
    }
    header.primarySequence = text::LoadLe32(block + kPrimarySequenceOffset);
    header.secondarySequence = text::LoadLe32(block + kSecondarySequenceOffset);
    header.minorVersion = text::LoadLe32(block + kMinorVersionOffset);
    return true;
}

std::unique_ptr<HiveFile> HiveFile::Open(const std::string& hostPath, bool force,
                                         std::string& error) {
    HiveHeader header;
    if (!ReadHiveHeader(hostPath, header, error)) return nullptr;
    if (!header.Clean() && !force) {
        error = hostPath + ": the hive was not cleanly written (sequence numbers " +
                std::to_string(header.primarySequence) + " and " +
                std::to_string(header.secondarySequence) +
                " differ; Windows may keep changes for it in its .LOG file). "
                "Start Windows once, or open it anyway with --force";
        return nullptr;
    }
    // Opened for writing, hivex reads the whole file into memory and closes it:
    // nothing is written before Commit.
    // hivex opens the file by its name, which would set the hive's access time:
    // it reads a copy in memory made without (the file itself if that fails).
    const host::UniqueFd copy(host::QuietCopy(hostPath.c_str()));
    const std::string source = copy ? "/proc/self/fd/" + std::to_string(copy.get()) : hostPath;
    hive_h* h = hivex_open(source.c_str(), HIVEX_OPEN_WRITE);
    if (h == nullptr) {
        error = hostPath + ": " + DescribeDamage(hostPath);
        return nullptr;
    }
    hive_node_h root = hivex_root(h);
    if (root == 0) {
        hivex_close(h);
        error = hostPath + ": the hive has no root key";
        return nullptr;
    }
    std::unique_ptr<HiveFile> f(new HiveFile());
    f->path_ = hostPath;
    f->h_ = h;
    f->root_ = root;
    f->header_ = header;
    return f;
}

HiveFile::~HiveFile() {
    if (h_ != nullptr) hivex_close(h_);
}

void HiveFile::Invalidate() {
    ++generation_;
    children_.clear();
    values_.clear();
}

const std::vector<HiveFile::Child>& HiveFile::Children(hive_node_h node) {
    auto it = children_.find(node);
    if (it != children_.end()) return it->second;
    std::vector<Child> list;
    Owned<hive_node_h> handles(hivex_node_children(h_, node));
    if (handles) {
        for (hive_node_h* p = handles.get(); *p != 0; ++p) {
            Owned<char> name(hivex_node_name(h_, *p));
            if (!name) continue;
            std::string n(name.get());
            list.push_back(Child{n, text::UpperAscii(n), *p});
        }
    }
    std::sort(list.begin(), list.end(), [](const Child& a, const Child& b) {
        return a.upper != b.upper ? a.upper < b.upper : a.name < b.name;
    });
    return children_.emplace(node, std::move(list)).first->second;
}

hive_node_h HiveFile::FindChild(hive_node_h node, std::string_view name) {
    const auto& list = Children(node);
    std::string upper = text::UpperAscii(name);
    auto it = std::lower_bound(list.begin(), list.end(), upper,
                               [](const Child& c, const std::string& u) { return c.upper < u; });
    return it != list.end() && it->upper == upper ? it->node : 0;
}

hive_node_h HiveFile::Parent(hive_node_h node) const {
    if (node == root_) return 0;
    return hivex_node_parent(h_, node);
}

bool HiveFile::IsAncestor(hive_node_h ancestor, hive_node_h node) const {
    // Hives are shallow; the bound only guards against a corrupt parent chain.
    for (int depth = 0; node != 0 && depth < 512; ++depth) {
        if (node == ancestor) return true;
        node = Parent(node);
    }
    return false;
}

const std::vector<hive_value_h>& HiveFile::ValueHandles(hive_node_h node) {
    auto it = values_.find(node);
    if (it != values_.end()) return it->second;
    std::vector<hive_value_h> list;
    Owned<hive_value_h> handles(hivex_node_values(h_, node));
    if (handles) {
        for (hive_value_h* p = handles.get(); *p != 0; ++p) list.push_back(*p);
    }
    return values_.emplace(node, std::move(list)).first->second;
}

bool HiveFile::ReadRaw(hive_value_h handle, RawValue& value) const {
    errno = 0;
    Owned<char> key(hivex_value_key(h_, handle));
    if (!key) return false;
    // Types outside hivex's enumeration are common (programs make their own):
    // hold it as the integer it is.
    std::underlying_type_t<hive_type> type = 0;
    std::size_t len = 0;
    Owned<char> data(hivex_value_value(h_, handle, reinterpret_cast<hive_type*>(&type), &len));
    if (!data && len != 0) return false;
    value.name = key.get();
    value.type = static_cast<std::uint32_t>(type);
    value.bytes.assign(data ? data.get() : "", data ? len : 0);
    return true;
}

bool HiveFile::ReadValues(hive_node_h node, std::vector<RawValue>& values) {
    std::vector<RawValue> out;
    for (hive_value_h handle : ValueHandles(node)) {
        RawValue v;
        if (!ReadRaw(handle, v)) return false;
        out.push_back(std::move(v));
    }
    values = std::move(out);
    return true;
}

bool HiveFile::ReadValue(hive_node_h node, std::string_view name, RawValue& value) {
    for (hive_value_h handle : ValueHandles(node)) {
        Owned<char> key(hivex_value_key(h_, handle));
        if (key && text::EqualsNoCase(key.get(), name)) return ReadRaw(handle, value);
    }
    return false;
}

std::size_t HiveFile::ValueCount(hive_node_h node) {
    return ValueHandles(node).size();
}

bool HiveFile::ValueAt(hive_node_h node, std::size_t index, RawValue& value) {
    const auto& handles = ValueHandles(node);
    if (index >= handles.size()) return false;
    return ReadRaw(handles[index], value);
}

bool HiveFile::ListInWindowsOrder(hive_node_h parent) const {
    Owned<hive_node_h> handles(hivex_node_children(h_, parent));
    if (!handles) return false;
    std::u16string previous;
    for (hive_node_h* p = handles.get(); *p != 0; ++p) {
        Owned<char> name(hivex_node_name(h_, *p));
        if (!name) return false;
        std::u16string key = WindowsSortKey(name.get());
        if (p != handles.get() && key < previous) return false;
        previous = std::move(key);
    }
    return true;
}

int HiveFile::AddChild(hive_node_h parent, std::string_view name, hive_node_h& child) {
    errno = 0;
    hive_node_h node = hivex_node_add_child(h_, parent, std::string(name).c_str());
    if (node == 0) return errno != 0 ? errno : EIO;
    dirty_ = true;
    ++generation_;
    // hivex places a new key by a comparison of lower-cased names; Windows finds
    // keys by a binary search over upper-cased ones. Where the two orders part
    // (names with [ \ ] ^ _ ` among letters), the list would hide keys from
    // Windows: take the key out again.
    if (!ListInWindowsOrder(parent)) {
        hivex_node_delete_child(h_, node);
        Invalidate();
        return ENOTSUP;
    }
    // Keep a cached list of the parent sorted instead of reading it again.
    auto it = children_.find(parent);
    if (it != children_.end()) {
        Child c{std::string(name), text::UpperAscii(name), node};
        auto pos = std::lower_bound(
            it->second.begin(), it->second.end(), c, [](const Child& a, const Child& b) {
                return a.upper != b.upper ? a.upper < b.upper : a.name < b.name;
            });
        it->second.insert(pos, std::move(c));
    }
    child = node;
    return 0;
}

namespace {

// hivex ends the whole process (an assertion) when a tree it deletes points at
// something that is not a cell, as in a damaged or crafted hive. The deletion is
// first tried in a child process, on the child's copy of the hive in memory;
// false when it could not be tried or the child did not survive it.
bool DeletionSurvives(hive_h* h, hive_node_h node) {
    constexpr int kDeleted = 71;  // the child's answers, unlike any exit code of a crash
    constexpr int kRefused = 72;
    const pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) {
        // The child's complaint is not the user's business: its end tells enough.
        // Handlers the process installed (a crash reporter) must not turn its
        // end into an ordinary exit.
        int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (null >= 0) ::dup2(null, 2);
        for (int sig : {SIGABRT, SIGSEGV, SIGBUS, SIGILL, SIGFPE}) ::signal(sig, SIG_DFL);
        ::_exit(hivex_node_delete_child(h, node) == 0 ? kDeleted : kRefused);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    // Only the child's own two answers count; anything else is its end.
    return WIFEXITED(status) &&
           (WEXITSTATUS(status) == kDeleted || WEXITSTATUS(status) == kRefused);
}

}  // namespace

int HiveFile::DeleteTree(hive_node_h node) {
    if (!DeletionSurvives(h_, node)) return EIO;  // a damaged tree stays as it is
    errno = 0;
    int r = hivex_node_delete_child(h_, node);
    int err = errno;
    // Deleting frees the cells of the whole tree; any cached handle may be stale.
    Invalidate();
    if (r != 0) return err != 0 ? err : EIO;
    dirty_ = true;
    return 0;
}

int HiveFile::WriteValues(hive_node_h node, const std::vector<RawValue>& values) {
    if (header_.minorVersion >= 4) {
        for (const RawValue& v : values) {
            if (v.bytes.size() > kLargestSingleCellValue) return EFBIG;
        }
    }
    std::vector<hive_set_value> set(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        set[i].key = const_cast<char*>(values[i].name.c_str());
        auto type = static_cast<std::underlying_type_t<hive_type>>(values[i].type);
        std::memcpy(&set[i].t, &type, sizeof type);
        set[i].len = values[i].bytes.size();
        set[i].value = const_cast<char*>(values[i].bytes.data());
    }
    errno = 0;
    int r = hivex_node_set_values(h_, node, set.size(), set.data(), 0);
    int err = errno;
    values_.erase(node);
    if (r != 0) {
        // A failure half way may have left the key with part of its values.
        dirty_ = true;
        return err != 0 ? err : EIO;
    }
    dirty_ = true;
    return 0;
}

bool HiveFile::Commit(bool backup, std::string& error) {
    const std::string temp = path_ + std::string(kNewFileSuffix);
    // A new file left by a commit that was cut short never replaced the hive
    // (the rename is the last step): it is only in the way.
    struct stat left {};
    if (::lstat(temp.c_str(), &left) == 0 && S_ISREG(left.st_mode)) ::unlink(temp.c_str());
    if (!dirty_) return true;
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0) {
        error = path_ + ": " + ErrnoText(errno);
        return false;
    }
    if (backup && backupPath_.empty()) {
        std::string candidate = path_ + std::string(kBackupSuffix);
        int err = 0;
        for (int n = 2; n < 1000; ++n) {
            if (CopyToNewFile(path_, candidate, st.st_mode & 07777, err)) break;
            if (err != EEXIST) {
                error = candidate + ": the backup cannot be written: " + ErrnoText(err);
                return false;
            }
            candidate = path_ + std::string(kBackupSuffix) + "-" + std::to_string(n);
            err = 0;
        }
        if (err != 0) {
            error = path_ + ": no free name for a backup";
            return false;
        }
        backupPath_ = candidate;
    }

    auto fail = [&](const std::string& what, int err) {
        ::unlink(temp.c_str());
        error = temp + ": " + what + ": " + ErrnoText(err);
        return false;
    };
    errno = 0;
    if (hivex_commit(h_, temp.c_str(), 0) != 0) return fail("cannot be written", errno);
    if (!host::SyncFile(temp)) return fail("cannot be flushed", errno);
    // Whatever the new file is, it must read back as a hive before it replaces
    // the old one.
    if (hive_h* check = hivex_open(temp.c_str(), 0)) {
        bool ok = hivex_root(check) != 0;
        hivex_close(check);
        if (!ok) return fail("the written hive does not read back", EIO);
    } else {
        return fail("the written hive does not read back", errno);
    }
    ::chmod(temp.c_str(), st.st_mode & 07777);
    if (::chown(temp.c_str(), st.st_uid, st.st_gid) != 0) {
        // Not the owner's to give: the file stays ours, which changes nothing
        // on the file systems that hold Windows partitions.
    }
    if (::rename(temp.c_str(), path_.c_str()) != 0) return fail("cannot replace the hive", errno);
    std::string folder = std::filesystem::path(path_).parent_path().string();
    host::SyncFolder(folder);
    dirty_ = false;
    return true;
}

}  // namespace veldan::machine::hive
