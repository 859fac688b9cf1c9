#pragma once
// Installs a release archive over a program folder: every entry is extracted
// with its stored path into a staging folder made inside the program folder,
// and only when all of them came out intact are the staged files moved over
// the program folder's files (a rename each, on the same file system). The
// staging folder is removed in every case.

#include <functional>
#include <string>

namespace veldan::updater {

// The result of InstallRelease when the stage check refused the release.
inline constexpr int kInstallRefused = 130;

// Looks at the unpacked release in the staging folder `stage` before anything
// is moved; returns true to install it.
using StageCheck = std::function<bool(const std::string& stage)>;

struct InstallFailure {
    int code = 0;       // a ZipResult code (kZipWriteFailed for a file that cannot be replaced)
    std::string entry;  // the entry or relative path concerned; "" for the archive itself
};

// Installs the archive at `archivePath` into `targetFolder` with extraction
// buffers of `bufferSize` bytes. Returns kZipOk, or the failure code (also in
// `failure` with the entry concerned). On a failure while extracting, the
// program folder is unchanged; a failure while moving (a file that cannot be
// replaced) stops there. When `check` is given and refuses the unpacked
// release, nothing is moved and the result is kInstallRefused.
int InstallRelease(const std::string& archivePath, const std::string& targetFolder, int bufferSize,
                   InstallFailure& failure, const StageCheck& check = nullptr);

}  // namespace veldan::updater
