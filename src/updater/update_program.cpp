#include "updater/update_program.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "net/internet.h"
#include "platform/app_settings.h"
#include "updater/release_install.h"
#include "updater/zip_result.h"

namespace veldan::updater {

namespace {

// `folder` without trailing slashes (the root stays "/").
std::string WithoutTrailingSlash(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Creates an empty, uniquely named file in `folder`; "" when none can be made.
std::string MakeTempFile(const std::string& folder) {
    std::string pattern = folder + "/" + std::string(kTempFilePrefix) + "XXXXXX";
    int fd = mkstemp(pattern.data());
    if (fd < 0) return {};
    ::close(fd);
    return pattern;
}

// The user's words for an installation failure.
std::string FailureReason(const InstallFailure& failure, const std::string& target) {
    if (failure.code == kZipWriteFailed) {
        return std::string(kCannotWriteText) + (failure.entry.empty() ? target : failure.entry);
    }
    return std::string(kArchiveDamagedText);
}

// Hooks may be left empty; these call them when set.
void ShowStatus(const UpdateHooks& hooks, std::string_view text) {
    if (hooks.showStatus) hooks.showStatus(std::string(text));
}
void Message(const UpdateHooks& hooks, const std::string& text) {
    if (hooks.message) hooks.message(text);
}

}  // namespace

std::string HostTempFolder() {
    const char* env = std::getenv("TMPDIR");
    std::string folder = env != nullptr && *env != '\0' ? env : "/tmp";
    return WithoutTrailingSlash(folder);
}

std::string ArchiveAddress(std::string_view host) {
    return "http://" + std::string(host) + "/veldan/bin.zip";
}

int RunUpdate(const std::vector<std::string>& args, const UpdateHooks& hooks,
              text::DebugSink& debug, const UpdateOptions& options) {
    // Exactly the program folder, and a folder that exists: anything else
    // would unpack the release wherever the updater happens to run.
    if (args.size() != 2 || !IsFolder(args[1])) {
        Message(hooks, std::string(kWrongStartText));
        return kUpdateWrongStart;
    }
    const std::string target = WithoutTrailingSlash(args[1]);
    const std::string tempFolder =
        options.tempFolder.empty() ? HostTempFolder() : WithoutTrailingSlash(options.tempFolder);
    const std::string host = options.host.empty() ? platform::UpdateHost(target) : options.host;

    int result = kUpdateDone;
    std::string failureText;
    const std::string archive = MakeTempFile(tempFolder);
    ShowStatus(hooks, kDownloadingText);
    if (archive.empty()) {
        debug.Write("mkstemp... " + tempFolder + "\n");
        result = kUpdateNoTempFile;
    } else {
        net::TInternet internet;
        int code = 0;
        std::string codeText;
        if (!internet.GetFile(ArchiveAddress(host), archive, code, codeText)) {
            debug.Write("GetFile... " + codeText + "\n");
            result = kUpdateDownloadFailed;
        } else {
            ShowStatus(hooks, kInstallingText);
            InstallFailure failure;
            if (InstallRelease(archive, target, kExtractBufferSize, failure) != kZipOk) {
                debug.Write("ExtractFile... " + std::string(ZipResultText(failure.code)) + " " +
                            failure.entry + "\n");
                failureText =
                    std::string(kInstallFailedText) + "\n" + FailureReason(failure, target);
                ShowStatus(hooks, kInstallFailedText);
                result = kUpdateInstallFailed;
            }
        }
        ::unlink(archive.c_str());
    }
    if (!failureText.empty()) Message(hooks, failureText);
    if (hooks.closeStatus) hooks.closeStatus();
    if (hooks.start) hooks.start(target + "/" + std::string(kMainProgramName), target);
    return result;
}

}  // namespace veldan::updater
