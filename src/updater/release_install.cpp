#include "updater/release_install.h"

#include <filesystem>
#include <functional>
#include <system_error>
#include <vector>

#include "host/folder_entries.h"
#include "updater/update_files.h"
#include "updater/zip_archive.h"
#include "updater/zip_result.h"

namespace veldan::updater {

namespace {

namespace fs = std::filesystem;

int Fail(InstallFailure& failure, int code, std::string entry) {
    failure.code = code;
    failure.entry = std::move(entry);
    return code;
}

// Makes a fresh staging folder inside `target`; "" when none can be made.
std::string MakeStage(const std::string& target) {
    return MakeTempFolder(target, ".VLU");
}

// Calls `visit` for every entry below `folder`, each folder before what it
// holds; links to folders are not followed. Returns the error that cut the walk
// short, else an empty one.
std::error_code WalkFolder(const fs::path& folder,
                           const std::function<void(const fs::directory_entry&)>& visit) {
    std::error_code inner;
    const std::error_code outer = host::ForEachEntry(folder, [&](const fs::directory_entry& entry) {
        visit(entry);
        std::error_code ec;
        if (fs::is_directory(entry.symlink_status(ec))) inner = WalkFolder(entry.path(), visit);
        return !inner;
    });
    return outer ? outer : inner;
}

// Removes the staging folder, read-only entries included (a read-only file
// cannot be removed on Windows, a file in a read-only folder not on Linux).
void RemoveStage(const std::string& stage) {
    WalkFolder(HostPath(stage), [](const fs::directory_entry& entry) {
        std::error_code ec;
        if (entry.is_directory(ec)) {
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        } else if (entry.is_regular_file(ec) && !entry.is_symlink(ec)) {
            fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ec);
        }
    });
    std::error_code ec;
    fs::remove_all(HostPath(stage), ec);
}

// Extracts every entry of the archive into `stage`. Returns kZipOk or the code
// of the first failure.
int ExtractAll(const std::string& archivePath, const std::string& stage, int bufferSize,
               InstallFailure& failure) {
    ZipArchive zip;
    int rc = zip.Open(archivePath);
    if (rc != kZipOk) return Fail(failure, rc, {});
    for (int i = 0; i < zip.Count(); ++i) {
        rc = zip.ExtractFile(i, stage, true, bufferSize);
        // A file whose time or attributes could not be set is still complete.
        if (rc != kZipOk && rc != kZipAttributesFailed) {
            std::string name = zip.Entry(i).name;
            zip.Close();
            return Fail(failure, rc, std::move(name));
        }
    }
    zip.Close();
    return kZipOk;
}

// Moves everything staged into `target`, folders first. Returns kZipOk or
// kZipWriteFailed for the first file or folder that cannot be put in place.
int MoveStaged(const std::string& stage, const std::string& target, InstallFailure& failure) {
    // Listed before anything moves, so the walk never sees its own renames.
    std::vector<fs::path> staged;
    const fs::path stageRoot = HostPath(stage);
    std::error_code ec = WalkFolder(stageRoot, [&](const fs::directory_entry& entry) {
        staged.push_back(entry.path().lexically_relative(stageRoot));
    });
    if (ec) return Fail(failure, kZipWriteFailed, {});
    for (const fs::path& relative : staged) {
        fs::path from = stageRoot / relative;
        fs::path to = HostPath(target) / relative;
        if (fs::is_directory(fs::symlink_status(from, ec))) {
            if (fs::is_directory(fs::symlink_status(to, ec))) continue;
            if (!fs::create_directory(to, ec) || ec) {
                return Fail(failure, kZipWriteFailed, Utf8Path(relative.generic_u8string()));
            }
            fs::permissions(to, fs::status(from, ec).permissions(), ec);
            continue;
        }
        AllowReplacing(to);
        fs::rename(from, to, ec);
        if (ec) return Fail(failure, kZipWriteFailed, Utf8Path(relative.generic_u8string()));
    }
    return kZipOk;
}

}  // namespace

int InstallRelease(const std::string& archivePath, const std::string& targetFolder, int bufferSize,
                   InstallFailure& failure, const StageCheck& check) {
    failure = {};
    std::string stage = MakeStage(targetFolder);
    if (stage.empty()) return Fail(failure, kZipWriteFailed, {});
    int rc = ExtractAll(archivePath, stage, bufferSize, failure);
    if (rc == kZipOk && check && !check(stage)) rc = Fail(failure, kInstallRefused, {});
    if (rc == kZipOk) rc = MoveStaged(stage, targetFolder, failure);
    RemoveStage(stage);
    return rc;
}

}  // namespace veldan::updater
