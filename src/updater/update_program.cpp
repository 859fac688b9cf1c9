#include "updater/update_program.h"

#include <filesystem>

#include "net/address.h"
#include "net/internet.h"
#include "platform/app_settings.h"
#include "updater/release_install.h"
#include "updater/release_signature.h"
#include "updater/release_version.h"
#include "updater/update_files.h"
#include "updater/zip_result.h"

namespace veldan::updater {

namespace {

// `folder` without trailing slashes (the root stays "/").
std::string WithoutTrailingSlash(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

// The user's words for an installation failure.
std::string FailureReason(const InstallFailure& failure, const std::string& target) {
    if (failure.code == kZipWriteFailed) {
        return std::string(kCannotWriteText) + (failure.entry.empty() ? target : failure.entry);
    }
    return std::string(kArchiveDamagedText);
}

// The number of files below `folder`.
std::size_t CountFiles(const std::string& folder) {
    std::size_t files = 0;
    std::error_code ec;
    for (std::filesystem::recursive_directory_iterator it(HostPath(folder), ec), end;
         !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec)) ++files;
    }
    return files;
}

// The final message when nothing is started: the failure already reported,
// or what was installed, or that nothing was downloaded.
std::string NothingStartedText(int result, const std::string& failureText,
                               const std::string& installed) {
    std::string text = failureText;
    if (result == kUpdateDone) text = installed;
    if (text.empty()) text = std::string(kNotDownloadedText);
    return text + "\n" + std::string(kNothingStartedText);
}

// Hooks may be left empty; these call them when set.
void ShowStatus(const UpdateHooks& hooks, std::string_view text) {
    if (hooks.showStatus) hooks.showStatus(std::string(text));
}
void Message(const UpdateHooks& hooks, const std::string& text) {
    if (hooks.message) hooks.message(text);
}

// Refuses the release: the status and the message name `reason`.
int Refuse(int result, const std::string& reason, const UpdateHooks& hooks,
           std::string& failureText) {
    failureText = std::string(kInstallFailedText) + "\n" + reason;
    ShowStatus(hooks, kInstallFailedText);
    return result;
}

// Checks the downloaded archive against its signature (the file `signature`,
// which holds the downloaded bytes when `downloaded`) and the trusted key of
// `target`. Returns kUpdateDone, or kUpdateNotVerified with `failureText` set.
int VerifyDownload(const std::string& target, const std::string& archive,
                   const std::string& signature, bool downloaded, const UpdateHooks& hooks,
                   text::DebugSink& debug, std::string& failureText) {
    std::string signatureBytes;
    if (!downloaded || !ReadWholeFile(signature, signatureBytes)) {
        return Refuse(kUpdateNotVerified, std::string(kNoSignatureText), hooks, failureText);
    }
    const std::string key = target + "/" + std::string(kReleaseKeyPath);
    const int rc = VerifyReleaseFile(key, archive, signatureBytes);
    if (rc == kSignatureOk) return kUpdateDone;
    debug.Write("VerifySignature... " + std::string(SignatureResultText(rc)) + "\n");
    if (rc == kSignatureNoKey) {
        return Refuse(kUpdateNotVerified, std::string(kNoReleaseKeyText) + key, hooks, failureText);
    }
    return Refuse(kUpdateNotVerified, std::string(kBadSignatureText), hooks, failureText);
}

// Downloads the archive and its signature, verifies and installs the archive.
// Returns an UpdateResult; `failureText` is set for what the user is told.
int DownloadAndInstall(const std::string& target, const std::string& host,
                       const std::string& archive, const std::string& signature,
                       const UpdateHooks& hooks, text::DebugSink& debug, std::string& failureText,
                       std::string& installedText) {
    net::TInternet internet;
    int code = 0;
    std::string codeText;
    if (!internet.GetFile(ArchiveAddress(host), archive, code, codeText)) {
        debug.Write("GetFile... " + codeText + "\n");
        return kUpdateDownloadFailed;
    }
    const bool signed_ = internet.GetFile(SignatureAddress(host), signature, code, codeText) != 0;
    if (!signed_) debug.Write("GetFile... " + codeText + " " + SignatureAddress(host) + "\n");
    int result = VerifyDownload(target, archive, signature, signed_, hooks, debug, failureText);
    if (result != kUpdateDone) return result;

    ShowStatus(hooks, kInstallingText);
    // The release may not lower the database version: a signed but old
    // archive replayed by someone on the way would undo later fixes.
    const std::string installed = FolderDatabaseVersion(target);
    std::string offered;
    std::size_t files = 0;
    auto notOlder = [&installed, &offered, &files](const std::string& stage) {
        offered = FolderDatabaseVersion(stage);
        files = CountFiles(stage);
        return !IsOlderRelease(offered, installed);
    };
    InstallFailure failure;
    const int rc = InstallRelease(archive, target, kExtractBufferSize, failure, notOlder);
    if (rc == kInstallRefused) {
        debug.Write("CheckVersion... " + offered + " < " + installed + "\n");
        return Refuse(
            kUpdateOlderRelease,
            std::string(kOlderReleaseText) + (offered.empty() ? "-" : offered) + " < " + installed,
            hooks, failureText);
    }
    if (rc != kZipOk) {
        debug.Write("ExtractFile... " + std::string(ZipResultText(failure.code)) + " " +
                    failure.entry + "\n");
        return Refuse(kUpdateInstallFailed, FailureReason(failure, target), hooks, failureText);
    }
    installedText = std::string(kUpdatedText) + "\n" + std::string(kUpdatedVersionText) +
                    (offered.empty() ? "-" : offered) + "\n" + std::string(kUpdatedFilesText) +
                    std::to_string(files);
    return kUpdateDone;
}

}  // namespace

std::string ArchiveAddress(std::string_view host) {
    return net::ServerAddress(host, "/veldan/bin.zip");
}

std::string SignatureAddress(std::string_view host) {
    return ArchiveAddress(host) + std::string(kSignatureSuffix);
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

    const std::string archive = MakeTempFile(tempFolder, kTempFilePrefix);
    const std::string signature =
        archive.empty() ? std::string() : MakeTempFile(tempFolder, kTempFilePrefix);
    ShowStatus(hooks, kDownloadingText);
    std::string failureText;
    std::string installedText;
    int result = kUpdateNoTempFile;
    if (archive.empty() || signature.empty()) {
        debug.Write("mkstemp... " + tempFolder + "\n");
    } else {
        result = DownloadAndInstall(target, host, archive, signature, hooks, debug, failureText,
                                    installedText);
    }
    if (!archive.empty()) RemoveFile(archive);
    if (!signature.empty()) RemoveFile(signature);
    const std::string program = target + "/" + std::string(kMainProgramName);
    const bool startable = !hooks.canStart || hooks.canStart(program);
    if (!startable) {
        Message(hooks, NothingStartedText(result, failureText, installedText));
    } else if (!failureText.empty()) {
        Message(hooks, failureText);
    }
    if (hooks.closeStatus) hooks.closeStatus();
    if (hooks.start && startable) hooks.start(program, target);
    return result;
}

}  // namespace veldan::updater
