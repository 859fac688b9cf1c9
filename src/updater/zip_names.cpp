#include "updater/zip_names.h"

#include <filesystem>
#include <system_error>

#include "host/folder_entries.h"
#include "text/strings.h"
#include "updater/update_files.h"
#include "updater/zip_result.h"

namespace veldan::updater {
namespace {

namespace fs = std::filesystem;

// The name of the entry of `dir` that `part` names: the exact name when it
// exists, else the first entry equal to it ignoring ASCII case, else `part`.
std::string MatchExisting(const fs::path& dir, const std::string& part) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(dir / HostPath(part), ec))) return part;
    std::string found = part;
    host::ForEachEntry(dir, [&](const fs::directory_entry& entry) {
        std::string name = Utf8Path(entry.path().filename());
        if (!text::EqualsNoCase(name, part)) return true;
        found = std::move(name);
        return false;
    });
    return found;
}

bool EnsureFolder(const fs::path& path) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) return true;
    if (fs::exists(fs::symlink_status(path, ec))) return false;  // a file is in the way
    fs::create_directory(path, ec);
    return fs::is_directory(path, ec);
}

}  // namespace

int SplitStoredName(const std::string& storedName, std::vector<std::string>& parts) {
    parts.clear();
    if (!storedName.empty() && (storedName[0] == '/' || storedName[0] == '\\')) {
        return kZipUnsafeName;
    }
    std::string part;
    auto flush = [&]() -> bool {
        if (part == "..") return false;
        if (!part.empty() && part != ".") parts.push_back(part);
        part.clear();
        return true;
    };
    for (char c : storedName) {
        if (c == ':' || c == '\0') return kZipUnsafeName;
        if (c == '/' || c == '\\') {
            if (!flush()) return kZipUnsafeName;
        } else {
            part += c;
        }
    }
    if (!flush()) return kZipUnsafeName;
    return kZipOk;
}

int ResolveHostPath(const std::string& folder, const std::vector<std::string>& parts,
                    bool lastIsFolder, bool createFolders, std::string& hostPath) {
    fs::path current = HostPath(folder);
    while (current.has_relative_path() && !current.has_filename()) current = current.parent_path();
    if (createFolders) {
        std::error_code ec;
        fs::create_directories(current, ec);
        if (!fs::is_directory(current, ec)) return kZipWriteFailed;
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
        current /= HostPath(MatchExisting(current, parts[i]));
        const bool isFolder = lastIsFolder || i + 1 < parts.size();
        if (createFolders && isFolder && !EnsureFolder(current)) return kZipWriteFailed;
    }
    hostPath = Utf8Path(current);
    return kZipOk;
}

}  // namespace veldan::updater
