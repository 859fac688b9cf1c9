#include "quarantine/room.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "text/strings.h"

namespace veldan::quarantine {
using namespace machine;

namespace {

// Room for the journal: its header and end, and the lines of each change (a
// registry tree or an INI file before the change can take a few kilobytes).
constexpr std::uint64_t kJournalBase = std::uint64_t{1} << 20;
constexpr std::uint64_t kJournalPerChange = std::uint64_t{16} << 10;

std::uint64_t TreeBytes(const FileSystem& fs, const std::string& folder) {
    std::vector<FindData> entries;
    if (fs.FindFiles(folder + "\\*", entries) != ERROR_SUCCESS) return 0;
    std::uint64_t total = 0;
    for (const FindData& e : entries) {
        if (e.name == "." || e.name == "..") continue;
        total += e.IsDirectory() ? TreeBytes(fs, folder + "\\" + e.name) : e.size;
    }
    return total;
}

std::string Trimmed(std::string path) {
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
    return path;
}

}  // namespace

std::uint64_t RoomToKeep(const FileSystem& fs, const std::vector<std::string>& paths,
                         std::uint64_t changes) {
    // Each path once, by its long upper-cased form; a path inside another one
    // that is listed is counted with it.
    std::map<std::string, std::string> found;  // key -> long path
    for (const std::string& path : paths) {
        std::string longPath;
        if (fs.GetLongPathName(Trimmed(path), longPath) != ERROR_SUCCESS) continue;
        longPath = Trimmed(longPath);
        found.emplace(text::UpperAscii(longPath), longPath);
    }
    auto inside = [&](const std::string& key) {
        for (std::size_t cut = key.rfind('\\'); cut != std::string::npos && cut > 2;
             cut = key.rfind('\\', cut - 1)) {
            if (found.count(key.substr(0, cut)) != 0) return true;
        }
        return false;
    };
    std::uint64_t raw = 0;
    for (const auto& [key, longPath] : found) {
        if (inside(key)) continue;
        std::uint32_t attributes = 0;
        if (fs.GetAttributes(longPath, attributes) != ERROR_SUCCESS) continue;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            raw += TreeBytes(fs, longPath);
        } else if (std::uint64_t size = 0; fs.GetFileSize(longPath, size) == ERROR_SUCCESS) {
            raw += size;
        }
    }
    // Data that does not compress grows a little in a gzip stream.
    return raw + raw / 512 + kJournalBase + changes * kJournalPerChange;
}

WinError CheckRoom(const FileSystem& fs, std::string_view quarantine, std::uint64_t needed,
                   std::string& problem) {
    std::string folder = Trimmed(std::string(quarantine));
    std::uint64_t free = 0;
    for (;;) {
        const WinError e = fs.GetDiskFreeSpaceEx(folder, free);
        if (e == ERROR_SUCCESS) break;
        const std::size_t slash = folder.find_last_of("\\/");
        if (e != ERROR_PATH_NOT_FOUND || slash == std::string::npos || folder.size() <= 3) {
            problem = "cannot tell the free space of the disk of " + std::string(quarantine);
            return e;
        }
        folder = folder.substr(0, std::max<std::size_t>(slash, 2));
        if (folder.size() == 2) folder += "\\";
    }
    if (free >= needed) return ERROR_SUCCESS;
    problem = "the disk of the quarantine folder " + std::string(quarantine) + " has " +
              ByteText(free) + " free; the cure needs " + ByteText(needed) +
              " to keep what it removes";
    return ERROR_DISK_FULL;
}

std::string ByteText(std::uint64_t bytes) {
    if (bytes < 1024) return std::to_string(bytes) + " bytes";
    static constexpr const char* kUnits[] = {"KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes) / 1024;
    int unit = 0;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    char out[32];
    std::snprintf(out, sizeof out, "%.1f %s", value, kUnits[unit]);
    return out;
}

}  // namespace veldan::quarantine
