#include "quarantine/store.h"

#include <algorithm>
#include <ctime>

#include "quarantine/journal.h"

namespace veldan::quarantine {
using namespace machine;

namespace {

bool Exists(const FileSystem& fs, std::string_view path) {
    std::uint32_t a = 0;
    return fs.GetAttributes(path, a) == ERROR_SUCCESS;
}

// Deletes a folder with its whole tree; read-only entries lose the attribute first.
WinError RemoveTree(FileSystem& fs, const std::string& folder) {
    std::vector<FindData> entries;
    if (fs.FindFiles(folder + "\\*", entries) == ERROR_SUCCESS) {
        for (const FindData& e : entries) {
            if (e.name == "." || e.name == "..") continue;
            const std::string path = folder + "\\" + e.name;
            if ((e.attributes & FILE_ATTRIBUTE_READONLY) != 0)
                (void)fs.SetAttributes(path, FILE_ATTRIBUTE_NORMAL);
            if (WinError err = e.IsDirectory() ? RemoveTree(fs, path) : fs.DeleteFile(path))
                return err;
        }
    }
    return fs.RemoveDirectory(folder);
}

}  // namespace

std::string QuarantineFolder(Machine& m, std::string_view chosen) {
    if (!chosen.empty()) return std::string(chosen);
    std::string base;
    const int csidl = m.system().Family() == OsFamily::Win9x ? CSIDL_APPDATA : CSIDL_COMMON_APPDATA;
    if (m.system().GetSpecialFolderPath(csidl, false, base) != ERROR_SUCCESS || base.empty())
        base = m.system().WindowsDirectory();
    while (!base.empty() && base.back() == '\\') base.pop_back();
    return base + "\\Veldan\\Quarantine";
}

WinError CreateFolders(FileSystem& fs, std::string_view path) {
    for (std::size_t pos = 3; pos <= path.size(); ++pos) {
        if (pos < path.size() && path[pos] != '\\' && path[pos] != '/') continue;
        const std::string_view part = path.substr(0, pos);
        std::uint32_t a = 0;
        if (fs.GetAttributes(part, a) == ERROR_SUCCESS) {
            if ((a & FILE_ATTRIBUTE_DIRECTORY) == 0) return ERROR_PATH_NOT_FOUND;
            continue;
        }
        if (WinError e = fs.CreateDirectory(part)) return e;
    }
    return ERROR_SUCCESS;
}

std::string NewCureId(const FileSystem& fs, std::string_view root) {
    const std::string stamp = UtcNow("%Y%m%dT%H%M%SZ");
    for (int n = 1;; ++n) {
        char id[48];
        std::snprintf(id, sizeof id, "%s-%02d", stamp.c_str(), n);
        if (!Exists(fs, std::string(root) + "\\" + id)) return id;
    }
}

std::vector<CureInfo> ListCures(const FileSystem& fs, std::string_view root) {
    std::vector<CureInfo> cures;
    std::vector<FindData> entries;
    if (fs.FindFiles(std::string(root) + "\\*", entries) != ERROR_SUCCESS) return cures;
    for (const FindData& e : entries) {
        if (!e.IsDirectory() || e.name == "." || e.name == "..") continue;
        const std::string folder = std::string(root) + "\\" + e.name;
        CureInfo info;
        info.id = e.name;
        CureJournal journal;
        RestoreJournal restore;
        std::string problem;
        if (ReadCureJournal(fs, folder + "\\" + std::string(kCureJournalName), journal, problem) !=
                ERROR_SUCCESS ||
            ReadRestoreJournal(fs, folder + "\\" + std::string(kRestoreJournalName), restore,
                               problem) != ERROR_SUCCESS) {
            info.state = "damaged";
            info.problem = problem;
            cures.push_back(std::move(info));
            continue;
        }
        info.time = journal.header.value("time", std::string());
        info.entries = journal.header.contains("entries") && journal.header["entries"].is_array()
                           ? static_cast<int>(journal.header["entries"].size())
                           : 0;
        for (const Change& c : journal.changes) {
            if (c.finished && c.result == ERROR_SUCCESS && !MadeNoChange(c)) ++info.changes;
        }
        info.completed = journal.ended && journal.completed;
        if (!restore.exists) {
            info.state = "not restored";
        } else if (!restore.ended) {
            info.state = "restore interrupted";
        } else if (restore.conflicts + restore.failed > 0) {
            info.state = "restored with conflicts";
        } else {
            info.state = "restored";
        }
        cures.push_back(std::move(info));
    }
    std::sort(cures.begin(), cures.end(),
              [](const CureInfo& a, const CureInfo& b) { return a.id > b.id; });
    return cures;
}

WinError PurgeCure(FileSystem& fs, std::string_view root, std::string_view id) {
    return RemoveTree(fs, std::string(root) + "\\" + std::string(id));
}

}  // namespace veldan::quarantine
