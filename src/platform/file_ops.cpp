#include "platform/file_ops.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/muicache.h"
#include "platform/processes.h"
#include "platform/registry_ops.h"
#include "platform/reports.h"
#include "text/strings.h"

namespace veldan::platform {
namespace {

using machine::ERROR_FILE_NOT_FOUND;
using machine::ERROR_PATH_NOT_FOUND;
using machine::ERROR_SUCCESS;
using machine::FILE_ATTRIBUTE_DIRECTORY;
using machine::FILE_ATTRIBUTE_READONLY;
using machine::HKEY_LOCAL_MACHINE;

constexpr std::string_view kModuleUsageKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\ModuleUsage";
constexpr std::string_view kSharedDllsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// The program files a folder is emptied of first, in this order.
constexpr std::string_view kProgramMasks[] = {"*.exe", "*.dll", "*.ocx", "*.ax"};

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// A path with no text names no file. (An empty path would make the ModuleUsage
// key the whole ModuleUsage tree and the SharedDLLs value the key's default.)
bool IsBlank(std::string_view path) {
    return text::TrimView(path).empty();
}

// Deletion results that leave the file or folder gone.
bool IsGone(machine::WinError err) {
    return err == ERROR_SUCCESS || err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND;
}

// The long form of a path; "" when it does not exist.
std::string LongForm(Context& ctx, std::string_view path) {
    std::string out;
    ToLongPath(ctx, path, out);
    return out;
}

// The text that the image path of every process started from inside the folder
// contains: the folder and one backslash.
std::string FolderPattern(std::string_view folder) {
    while (!folder.empty() && IsSeparator(folder.back())) folder.remove_suffix(1);
    std::string out(folder);
    out += '\\';
    return out;
}

// The folder part of a search pattern: everything before its last separator.
std::string_view FolderOf(std::string_view pattern) {
    std::size_t i = pattern.size();
    while (i > 0 && !IsSeparator(pattern[i - 1])) --i;
    return i == 0 ? std::string_view() : pattern.substr(0, i - 1);
}

// The size text read as a decimal number: its leading digits, 0 when it has none.
std::uint64_t ReadSize(std::string_view sizeText) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t n = 0;
    for (char c : sizeText) {
        if (c < '0' || c > '9') break;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        n = n > (kMax - digit) / 10 ? kMax : n * 10 + digit;
    }
    return n;
}

void ModuleUsageKey(std::string_view path, std::string& key) {
    key.assign(kModuleUsageKey);
    key += '\\';
    const std::size_t from = key.size();
    key.append(path);
    std::replace(key.begin() + static_cast<std::ptrdiff_t>(from), key.end(), '\\', '/');
}

std::string ModuleUsageKey(std::string_view path) {
    std::string key;
    ModuleUsageKey(path, key);
    return key;
}

// The path and size text of a file parameter, as SplitFileParam gives them,
// without copying them.
struct FileParamView {
    std::string_view path;
    std::string_view sizeText;
};

FileParamView SplitFileParamView(std::string_view param) {
    FileParamView out;
    const std::size_t bar = param.find('|');
    if (bar == std::string_view::npos) {
        out.path = param;
        return out;
    }
    out.path = param.substr(0, bar);
    const std::string_view rest = text::TrimView(param.substr(bar + 1));
    out.sizeText = rest.substr(0, rest.find('|'));
    return out;
}

int MatchFileParam(Context& ctx, const FileParamView& p) {
    std::uint32_t attributes = 0;
    if (ctx.files().GetAttributes(p.path, attributes) != ERROR_SUCCESS) return 0;
    // With a backslash appended only a folder exists.
    std::string withSlash(p.path);
    withSlash += '\\';
    if (ctx.files().GetAttributes(withSlash, attributes) == ERROR_SUCCESS) return 0;
    if (!p.sizeText.empty()) {
        std::uint64_t size = 0;
        if (ctx.files().GetFileSize(p.path, size) != ERROR_SUCCESS) return 0;
        if (size != ReadSize(p.sizeText)) return 0;
    }
    return 1;
}

// The files (not folders) that the search of folder + "\\" + mask lists, with
// their full paths. The folder part of the pattern is taken from the pattern
// itself, so a mask that names a subfolder ("sub\\*.exe") yields the paths of
// the files in that subfolder.
std::vector<std::string> FilesByMask(Context& ctx, std::string_view mask, std::string_view folder) {
    std::string pattern(folder);
    pattern += '\\';
    pattern.append(mask);
    std::vector<machine::FindData> entries;
    std::vector<std::string> files;
    if (ctx.files().FindFiles(pattern, entries) != ERROR_SUCCESS) return files;
    const std::string_view dir = FolderOf(pattern);
    for (const machine::FindData& e : entries) {
        if (e.IsDirectory()) continue;
        files.push_back(CombinePath(dir, e.name));
    }
    return files;
}

}  // namespace

FileParam SplitFileParam(std::string_view param) {
    FileParam out;
    const std::size_t bar = param.find('|');
    if (bar == std::string_view::npos) {
        out.path.assign(param);
        return out;
    }
    out.path.assign(param.substr(0, bar));
    const std::string_view rest = text::TrimView(param.substr(bar + 1));
    const std::size_t bar2 = rest.find('|');
    if (bar2 == std::string_view::npos) {
        out.sizeText.assign(rest);
    } else {
        out.sizeText.assign(rest.substr(0, bar2));
        out.extra = text::Trim(rest.substr(bar2 + 1));
    }
    return out;
}

std::string CombinePath(std::string_view folder, std::string_view name) {
    if (folder.empty()) return std::string(name);
    while (!folder.empty() && IsSeparator(folder.back())) folder.remove_suffix(1);
    while (!name.empty() && IsSeparator(name.front())) name.remove_prefix(1);
    std::string out(folder);
    out += '\\';
    out.append(name);
    return out;
}

std::string_view PathExtension(std::string_view path) {
    std::size_t start = path.size();
    while (start > 0 && !IsSeparator(path[start - 1])) --start;
    const std::string_view last = path.substr(start);
    const std::size_t dot = last.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : last.substr(dot);
}

int MatchFile(Context& ctx, std::string_view param) {
    return MatchFileParam(ctx, SplitFileParamView(param));
}

int ScanFile(Context& ctx, std::string_view param) {
    const FileParamView p = SplitFileParamView(param);
    if (IsBlank(p.path)) return 0;
    int result = 0;
    if (MatchFileParam(ctx, p) && ReportFile(ctx, kFound, p.path)) result = 1;
    // The registry traces are looked for whether or not the file exists.
    if (ScanModuleUsage(ctx, p.path)) result = 1;
    if (ScanSharedDll(ctx, p.path)) result = 1;
    if (ScanMuiCache(ctx, p.path)) result = 1;
    return result;
}

int CureFile(Context& ctx, std::string_view param) {
    const FileParam p = SplitFileParam(param);
    const std::string& path = p.path;
    if (IsBlank(path)) return 1;  // nothing named, nothing to remove
    if (text::EqualsNoCase(PathExtension(path), ".exe")) KillProcessRetry(ctx, path);

    bool fileGone = true;
    std::uint32_t attributes = 0;
    const bool exists = ctx.files().GetAttributes(path, attributes) == ERROR_SUCCESS;
    // A folder of that name is not the file: it is neither deleted nor
    // scheduled, and nothing is reported for it.
    if (!exists || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        if (exists && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            (void)ctx.files().SetAttributes(path, attributes & ~FILE_ATTRIBUTE_READONLY);
        }
        // The long form is taken while the file is still there to give it.
        const std::string longPath = LongForm(ctx, path);
        if (IsGone(ctx.files().DeleteFile(path))) {
            ctx.report().RollBackFile(longPath);
        } else {
            fileGone = false;
            DeleteAtRestart(ctx, path);
            ReportFile(ctx, kFailed, path);
        }
    }
    // Each trace is removed whatever happened to the others.
    const int moduleUsage = CureModuleUsage(ctx, path);
    const int sharedDll = CureSharedDll(ctx, path);
    const int muiCache = CureMuiCache(ctx, path);
    return fileGone && moduleUsage && sharedDll && muiCache ? 1 : 0;
}

int ScanModuleUsage(Context& ctx, std::string_view path) {
    if (IsBlank(path)) return 0;
    // Most paths have no such key: their look-up reuses one buffer per thread.
    thread_local std::string key;
    ModuleUsageKey(path, key);
    if (!KeyExists(ctx, HKEY_LOCAL_MACHINE, key)) return 0;
    return ReportKey(ctx, kFound, HKEY_LOCAL_MACHINE, key);
}

int CureModuleUsage(Context& ctx, std::string_view path) {
    if (IsBlank(path)) return 1;
    // DeleteKeyTree reports a key it could not delete.
    return DeleteKeyTree(ctx, HKEY_LOCAL_MACHINE, ModuleUsageKey(path));
}

int ScanSharedDll(Context& ctx, std::string_view path) {
    if (IsBlank(path)) return 0;
    if (!ValueExists(ctx, HKEY_LOCAL_MACHINE, kSharedDllsKey, path)) return 0;
    return ReportValue(ctx, kFound, HKEY_LOCAL_MACHINE, kSharedDllsKey, path);
}

int CureSharedDll(Context& ctx, std::string_view path) {
    if (IsBlank(path)) return 1;
    return CureValue(ctx, HKEY_LOCAL_MACHINE, kSharedDllsKey, path);
}

int DeleteAtRestart(Context& ctx, std::string_view path) {
    const machine::WinError err = ctx.files().DeleteAtRestart(path);
    if (err == ERROR_SUCCESS) return 1;
    const bool nt = ctx.machine().system().Family() == machine::OsFamily::Nt;
    LogLastError(ctx, nt ? "MoveFileExA" : "WritePrivateProfileStringA", err);
    return 0;
}

int IsExistingFolder(Context& ctx, std::string_view path) {
    std::uint32_t attributes = 0;
    std::string withSlash(path);
    withSlash += '\\';
    return ctx.files().GetAttributes(withSlash, attributes) == ERROR_SUCCESS ? 1 : 0;
}

int ScanFolder(Context& ctx, std::string_view path) {
    if (!IsExistingFolder(ctx, path)) return 0;
    return ReportDir(ctx, kFound, path);
}

int CureFolder(Context& ctx, std::string_view path) {
    DeleteFolderContents(ctx, path);
    return RemoveFolderIfEmpty(ctx, path);
}

int DeleteFolderContents(Context& ctx, std::string_view folder) {
    // No folder, no contents; and no process can run from inside it.
    if (!IsExistingFolder(ctx, folder)) return 1;
    KillProcessRetry(ctx, FolderPattern(folder));
    int result = 1;
    for (std::string_view mask : kProgramMasks) {
        if (!CureFilesByMask(ctx, mask, folder)) result = 0;
    }
    // Whatever is left, programs that could not be deleted included.
    std::string pattern(folder);
    pattern += "\\*.*";
    std::vector<machine::FindData> entries;
    if (ctx.files().FindFiles(pattern, entries) != ERROR_SUCCESS) return result;
    for (const machine::FindData& e : entries) {
        if (e.name == "." || e.name == "..") continue;
        const std::string path = CombinePath(folder, e.name);
        if (e.IsDirectory()) {
            if (!DeleteFolderContents(ctx, path)) result = 0;
            if (!RemoveFolderIfEmpty(ctx, path)) result = 0;
        } else if (!CureFile(ctx, path)) {
            result = 0;
        }
    }
    return result;
}

int RemoveFolderIfEmpty(Context& ctx, std::string_view folder) {
    // A folder that is not there (or a file of that name) is nothing to remove.
    if (!IsExistingFolder(ctx, folder)) return 1;
    KillProcessRetry(ctx, FolderPattern(folder));
    std::uint32_t attributes = 0;
    if (ctx.files().GetAttributes(folder, attributes) == ERROR_SUCCESS &&
        (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        (void)ctx.files().SetAttributes(folder, attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    const std::string longPath = LongForm(ctx, folder);
    // Folders are never scheduled for deletion at restart.
    if (IsGone(ctx.files().RemoveDirectory(folder))) {
        ctx.report().RollBackDir(longPath);
        return 1;
    }
    ReportDir(ctx, kFailed, folder);
    return 0;
}

int ScanFilesByMask(Context& ctx, std::string_view mask, std::string_view folder) {
    int result = 0;
    for (const std::string& path : FilesByMask(ctx, mask, folder)) {
        if (ReportFile(ctx, kFound, path)) result = 1;
    }
    return result;
}

int CureFilesByMask(Context& ctx, std::string_view mask, std::string_view folder) {
    int result = 1;
    for (const std::string& path : FilesByMask(ctx, mask, folder)) {
        if (!CureFile(ctx, path)) result = 0;
    }
    return result;
}

}  // namespace veldan::platform
