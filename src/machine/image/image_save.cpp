#include "machine/image/image_save.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "host/file_write.h"
#include "host/folder_sync.h"

namespace veldan::machine::image {
namespace fs = std::filesystem;

namespace {

constexpr const char* kRegistry = "registry";
constexpr const char* kStaging = "registry.saving";
constexpr const char* kCommitted = "registry.commit";
constexpr const char* kOldRegistry = "registry.old";
constexpr const char* kRegFile = "machine.reg";
constexpr const char* kIni = "machine.ini";
constexpr const char* kPendingIni = "machine.ini.pending";

std::string ErrnoText(int err) { return std::strerror(err); }

bool Exists(const fs::path& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0;
}

bool IsFolder(const fs::path& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool SyncFolder(const fs::path& p) { return host::SyncFolder(p.string()); }

// A new file holding `bytes`, flushed to the disk.
bool WriteNewFile(const fs::path& p, std::string_view bytes, SaveFailure& failure) {
    host::WriteStep failed = host::WriteStep::Create;
    const int err = host::WriteNewFile(p.string(), bytes, host::NewFile{}, failed);
    if (err == 0) return true;
    const char* what = failed == host::WriteStep::Create  ? "cannot be created: "
                       : failed == host::WriteStep::Flush ? "cannot be flushed: "
                                                          : "cannot be written: ";
    failure = {p.string(), what + ErrnoText(err)};
    return false;
}

bool RemoveTree(const fs::path& p, SaveFailure& failure) {
    std::error_code ec;
    fs::remove_all(p, ec);
    if (ec) {
        failure = {p.string(), "cannot be removed: " + ec.message()};
        return false;
    }
    return true;
}

bool Rename(const fs::path& from, const fs::path& to, SaveFailure& failure) {
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    failure = {to.string(), "cannot be replaced: " + ErrnoText(errno)};
    return false;
}

// Steps after the commit point: the committed folder takes the place of
// registry/, its pending machine.ini that of machine.ini, and what they replaced
// goes. Each step can be repeated after a cut.
bool CarryForward(const fs::path& root, SaveFailure& failure, const SaveCut& cut, int step) {
    const fs::path registry = root / kRegistry;
    const fs::path committed = root / kCommitted;
    const fs::path old = root / kOldRegistry;
    auto stop = [&]() { return cut && cut(step++); };

    if (Exists(committed / kPendingIni)) {
        if (IsFolder(registry)) {
            // One atomic exchange where the file system has it; else the old
            // folder moves aside first (a cut between the two renames leaves
            // the committed folder, which the next load carries forward).
            if (::renameat2(AT_FDCWD, committed.c_str(), AT_FDCWD, registry.c_str(),
                            RENAME_EXCHANGE) != 0) {
                if (!RemoveTree(old, failure) || !Rename(registry, old, failure)) return false;
                if (stop()) return false;
                if (!Rename(committed, registry, failure)) return false;
            }
        } else if (!Rename(committed, registry, failure)) {
            return false;
        }
        SyncFolder(root);
        if (stop()) return false;
    }
    if (Exists(registry / kPendingIni)) {
        if (!Rename(registry / kPendingIni, root / kIni, failure)) return false;
        SyncFolder(registry);
        SyncFolder(root);
        if (stop()) return false;
    }
    if (!RemoveTree(committed, failure) || !RemoveTree(old, failure)) return false;
    return true;
}

// What the owner may write decides, also for root, as on a non-root host; a
// read-only mount decides for everyone.
bool OwnerMayWrite(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) != 0 &&
           ::access(p.c_str(), W_OK) == 0;
}

}  // namespace

bool CheckImageWritable(const std::string& folder, SaveFailure& failure) {
    const fs::path root(folder);
    if (!OwnerMayWrite(root)) {
        failure = {root.string(), "the image folder is read-only", true};
        return false;
    }
    for (const fs::path& p : {root / kRegistry, root / kIni}) {
        if (Exists(p) && !OwnerMayWrite(p)) {
            failure = {p.string(), "read-only", true};
            return false;
        }
    }
    if (Exists(root / kIni) && IsFolder(root / kIni)) {
        failure = {(root / kIni).string(), "is a folder"};
        return false;
    }
    return true;
}

bool FinishImageSave(const std::string& folder, SaveFailure& failure) {
    const fs::path root(folder);
    const bool staged = Exists(root / kStaging);
    const bool committed = Exists(root / kCommitted);
    const bool pending = Exists(root / kRegistry / kPendingIni);
    const bool old = Exists(root / kOldRegistry);
    if (!staged && !committed && !pending && !old) return true;
    // A staged save never reached its commit point: the image is as before it.
    if (staged && !RemoveTree(root / kStaging, failure)) return false;
    return CarryForward(root, failure, nullptr, 0);
}

bool SaveImageFiles(const std::string& folder, std::string_view regText,
                    std::string_view iniText, SaveFailure& failure, const SaveCut& cut) {
    const fs::path root(folder);
    if (!CheckImageWritable(folder, failure)) return false;
    if (!FinishImageSave(folder, failure)) return false;

    int step = 0;
    auto stop = [&]() { return cut && cut(step++); };
    const fs::path staging = root / kStaging;
    if (::mkdir(staging.c_str(), 0777) != 0) {
        failure = {staging.string(), "cannot be created: " + ErrnoText(errno)};
        return false;
    }
    auto discard = [&]() {
        std::error_code ec;
        fs::remove_all(staging, ec);
        return false;
    };
    if (!WriteNewFile(staging / kRegFile, regText, failure)) return discard();
    if (stop()) return false;
    if (!WriteNewFile(staging / kPendingIni, iniText, failure)) return discard();
    if (!SyncFolder(staging)) {
        failure = {staging.string(), "cannot be flushed: " + ErrnoText(errno)};
        return discard();
    }
    if (stop()) return false;
    // The commit point.
    if (!Rename(staging, root / kCommitted, failure)) return discard();
    SyncFolder(root);
    if (stop()) return false;
    if (!CarryForward(root, failure, cut, step)) {
        if (failure.message.empty()) failure = {folder, "the save was cut short"};
        return false;
    }
    return true;
}

}  // namespace veldan::machine::image
