#pragma once
// Installs a release archive over a program folder: every entry is extracted
// with its stored path into a staging folder made inside the program folder,
// and only when all of them came out intact are the staged files moved over
// the program folder's files (a rename each, on the same file system). The
// staging folder is removed in every case.

#include <string>

namespace veldan::updater {

struct InstallFailure {
    int code = 0;       // a ZipResult code (kZipWriteFailed for a file that cannot be replaced)
    std::string entry;  // the entry or relative path concerned; "" for the archive itself
};

// Installs the archive at `archivePath` into `targetFolder` with extraction
// buffers of `bufferSize` bytes. Returns kZipOk, or the failure code (also in
// `failure` with the entry concerned). On a failure while extracting, the
// program folder is unchanged; a failure while moving (a file that cannot be
// replaced) stops there.
int InstallRelease(const std::string& archivePath, const std::string& targetFolder, int bufferSize,
                   InstallFailure& failure);

}  // namespace veldan::updater
