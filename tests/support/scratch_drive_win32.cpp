#include "machine/win32/win32_api.h"
// (the Windows headers first; see win32_api.h)

#include "support/scratch_drive_win32.h"

#include <gtest/gtest.h>

#include "host/wide_path_win32.h"
#include "machine/win32/pending_deletes.h"
#include "machine/win32/win32_registry.h"
#include "text/strings.h"

namespace veldan::test {
namespace {

using machine::ERROR_ACCESS_DENIED;
using machine::ERROR_FILE_NOT_FOUND;
using machine::ERROR_SUCCESS;
using machine::OsFamily;

// A path through one of the (buffer, size) path calls; "" when it fails.
template <typename Call>
std::string PathOf(const std::string& path, Call call) {
    wchar_t buffer[MAX_PATH * 2];
    const DWORD n = call(host::WidePath(path).c_str(), buffer, MAX_PATH * 2);
    return n == 0 || n >= MAX_PATH * 2 ? std::string() : host::Narrow(std::wstring_view(buffer, n));
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// "C:\x\y" as its drive "C:" and the rest "\x\y"; false for a path without a drive.
bool SplitDrive(std::string_view path, std::string_view& drive, std::string_view& rest) {
    if (path.size() < 2 || path[1] != ':' || (path.size() > 2 && !IsSeparator(path[2]))) {
        return false;
    }
    drive = path.substr(0, 2);
    rest = path.substr(2);
    return true;
}

// True when `rest` names the drive's root folder ("", "\").
bool IsRoot(std::string_view rest) {
    return rest.empty() || (rest.size() == 1 && IsSeparator(rest[0]));
}

machine::win32::Win32Registry LiveRegistry() {
    return machine::win32::Win32Registry(machine::win32::Win32Registry::LiveRoots(), OsFamily::Nt);
}

}  // namespace

ScratchDrive::ScratchDrive()
    : root_(PathOf(dir_.str(), GetLongPathNameW)),
      shortRoot_(PathOf(dir_.str(), GetShortPathNameW)),
      files_(OsFamily::Nt, profiles_) {
    if (root_.empty()) root_ = dir_.str();
    if (shortRoot_.empty()) shortRoot_ = root_;
}

ScratchDrive::~ScratchDrive() {
    for (void* handle : held_) CloseHandle(handle);
    auto registry = LiveRegistry();
    (void)machine::win32::ForgetPendingDeletes(registry, root_);
}

std::string ScratchDrive::Map(std::string_view path) const {
    std::string_view drive, rest;
    if (!SplitDrive(path, drive, rest)) return std::string(path);
    return root_ + (rest.empty() ? "\\" : std::string(rest));
}

std::string ScratchDrive::Back(std::string_view path, std::string_view drive) const {
    for (const std::string* base : {&root_, &shortRoot_}) {
        if (text::StartsWithNoCase(path, *base)) {
            std::string rest(path.substr(base->size()));
            if (rest.empty()) rest = "\\";
            return std::string(drive) + rest;
        }
    }
    return std::string(path);
}

void ScratchDrive::Hold(std::string_view path) {
    HANDLE file = CreateFileW(host::WidePath(Map(path)).c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    held_.push_back(file);
}

std::vector<std::string> ScratchDrive::Scheduled() const {
    std::vector<std::string> ours;
    for (const std::string& path : machine::win32::PendingFileDeletes(LiveRegistry())) {
        if (text::StartsWithNoCase(path, root_ + "\\")) ours.push_back(Back(path, "C:"));
    }
    return ours;
}

WinError ScratchDrive::GetAttributes(std::string_view path, std::uint32_t& attributes) const {
    return files_.GetAttributes(Map(path), attributes);
}
WinError ScratchDrive::SetAttributes(std::string_view path, std::uint32_t attributes) {
    return files_.SetAttributes(Map(path), attributes);
}
WinError ScratchDrive::GetFileSize(std::string_view path, std::uint64_t& size) const {
    return files_.GetFileSize(Map(path), size);
}

WinError ScratchDrive::FindFiles(std::string_view pattern,
                                 std::vector<machine::FindData>& entries) const {
    std::vector<machine::FindData> found;
    if (const WinError err = files_.FindFiles(Map(pattern), found); err != ERROR_SUCCESS) {
        return err;
    }
    // A drive root has no dot entries; the scratch folder that stands for it has.
    std::string_view drive, rest;
    if (SplitDrive(pattern, drive, rest) && rest.find_first_of("\\/", 1) == std::string::npos) {
        std::erase_if(found,
                      [](const machine::FindData& e) { return e.name == "." || e.name == ".."; });
        if (found.empty()) return ERROR_FILE_NOT_FOUND;
    }
    entries = std::move(found);
    return ERROR_SUCCESS;
}

WinError ScratchDrive::GetLongPathName(std::string_view path, std::string& longPath) const {
    std::string got;
    if (const WinError err = files_.GetLongPathName(Map(path), got); err != ERROR_SUCCESS) {
        return err;
    }
    longPath = Back(got, path.substr(0, 2));
    return ERROR_SUCCESS;
}

WinError ScratchDrive::GetShortPathName(std::string_view path, std::string& shortPath) const {
    std::string got;
    if (const WinError err = files_.GetShortPathName(Map(path), got); err != ERROR_SUCCESS) {
        return err;
    }
    shortPath = Back(got, path.substr(0, 2));
    return ERROR_SUCCESS;
}

WinError ScratchDrive::DeleteFile(std::string_view path) {
    return files_.DeleteFile(Map(path));
}

WinError ScratchDrive::RemoveDirectory(std::string_view path) {
    // A drive root cannot be removed; the scratch folder standing for it could.
    std::string_view drive, rest;
    if (SplitDrive(path, drive, rest) && IsRoot(rest)) return ERROR_ACCESS_DENIED;
    return files_.RemoveDirectory(Map(path));
}

WinError ScratchDrive::CreateDirectory(std::string_view path) {
    return files_.CreateDirectory(Map(path));
}
WinError ScratchDrive::OpenRead(std::string_view path,
                                std::unique_ptr<machine::FileReader>& reader) const {
    return files_.OpenRead(Map(path), reader);
}
WinError ScratchDrive::ReadFile(std::string_view path, std::string& bytes) const {
    return files_.ReadFile(Map(path), bytes);
}
WinError ScratchDrive::WriteFile(std::string_view path, std::string_view bytes) {
    return files_.WriteFile(Map(path), bytes);
}
WinError ScratchDrive::DeleteAtRestart(std::string_view path) {
    return files_.DeleteAtRestart(Map(path));
}
WinError ScratchDrive::OpenWrite(std::string_view path, machine::WriteMode mode,
                                 std::unique_ptr<machine::FileWriter>& writer) {
    return files_.OpenWrite(Map(path), mode, writer);
}
WinError ScratchDrive::MoveFile(std::string_view from, std::string_view to, bool replace) {
    return files_.MoveFile(Map(from), Map(to), replace);
}
WinError ScratchDrive::GetDiskFreeSpaceEx(std::string_view path, std::uint64_t& bytes) const {
    return files_.GetDiskFreeSpaceEx(Map(path), bytes);
}
WinError ScratchDrive::GetFileTime(std::string_view path, machine::FileTimes& times) const {
    return files_.GetFileTime(Map(path), times);
}
WinError ScratchDrive::SetFileTime(std::string_view path, const machine::FileTimes& times) {
    return files_.SetFileTime(Map(path), times);
}

}  // namespace veldan::test
