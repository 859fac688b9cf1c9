#pragma once
// The steps of VeldanUpdate, free of any window: check the command line,
// download the release archive into a temporary file, install it over the
// program folder and start Veldan again. The program supplies the status
// window, the message box and the process start as hooks; tests supply their
// own.
//
// Nothing is opened that is not signed: the archive's detached signature
// (bin.zip.sig) is downloaded beside it and checked with the trusted key
// data/release.pub of the program folder before the archive is read. An
// archive without a good signature, or one older than the installed database,
// is refused and reported; the program folder stays as it was.
//
// Installation is all or nothing as far as the archive goes: every entry is
// first extracted into a staging folder inside the program folder, and only
// when the whole archive came out intact are the files moved over the old
// ones. A damaged archive therefore leaves the program folder as it was.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "text/debug.h"

namespace veldan::updater {

inline constexpr std::string_view kUpdateTitle = "VELDAN Update";
inline constexpr std::string_view kWrongStartText =
    "최신 업데이트를 다운로드하려면, VELDAN를 실행해야 합니다.";
inline constexpr std::string_view kDownloadingText = "최신 업데이트를 다운로드합니다...";
inline constexpr std::string_view kInstallingText = "업데이트를 설치합니다...";
inline constexpr std::string_view kInstallFailedText = "업데이트를 설치하지 못했습니다.";
inline constexpr std::string_view kArchiveDamagedText = "받은 업데이트 파일이 손상되었습니다.";
inline constexpr std::string_view kCannotWriteText = "프로그램 폴더에 파일을 쓸 수 없습니다: ";
inline constexpr std::string_view kNoSignatureText = "받은 업데이트 파일에 서명이 없습니다.";
inline constexpr std::string_view kBadSignatureText =
    "받은 업데이트 파일의 서명이 올바르지 않습니다.";
inline constexpr std::string_view kNoReleaseKeyText = "업데이트를 확인할 공개 키가 없습니다: ";
inline constexpr std::string_view kOlderReleaseText =
    "받은 업데이트가 설치된 버전보다 오래되었습니다: ";

// The final message when the program folder holds no main program to start
// (the Windows package has no window program yet): what was updated, or that
// nothing was, and that nothing was started.
inline constexpr std::string_view kUpdatedText = "업데이트를 설치했습니다.";
inline constexpr std::string_view kUpdatedVersionText = "데이터베이스 버전: ";
inline constexpr std::string_view kUpdatedFilesText = "설치한 파일 수: ";
inline constexpr std::string_view kNotDownloadedText = "업데이트를 다운로드하지 못했습니다.";
inline constexpr std::string_view kNothingStartedText =
    "프로그램 폴더에 Veldan 프로그램이 없어 아무것도 실행하지 않았습니다.";

// The name of the main program in the program folder.
inline constexpr std::string_view kMainProgramName = "Veldan";
// The prefix of the temporary archive file.
inline constexpr std::string_view kTempFilePrefix = "VLU";
// The size of the extraction buffer.
inline constexpr int kExtractBufferSize = 65536;

enum UpdateResult : int {
    kUpdateDone = 0,            // downloaded and installed
    kUpdateWrongStart = 1,      // not started with one program folder; nothing else happened
    kUpdateNoTempFile = 2,      // no temporary file could be made; nothing was downloaded
    kUpdateDownloadFailed = 3,  // the download failed; nothing was installed
    kUpdateInstallFailed = 4,   // the archive could not be installed; reported to the user
    kUpdateNotVerified =
        5,  // no signature, a bad one, or no trusted key; reported, nothing installed
    kUpdateOlderRelease = 6,  // older than the installed database; reported, nothing installed
};

struct UpdateHooks {
    // Shows the status window (on the first call) with `text`.
    std::function<void(const std::string& text)> showStatus;
    // Destroys the status window.
    std::function<void()> closeStatus;
    // A message box with an OK button and the caption kUpdateTitle.
    std::function<void(const std::string& text)> message;
    // Starts `program` with `workingFolder` as its working folder, detached.
    std::function<void(const std::string& program, const std::string& workingFolder)> start;
    // True when `start` has a program file to run for `program`; unset: it
    // always has.
    std::function<bool(const std::string& program)> canStart;
};

struct UpdateOptions {
    // Where the temporary archive file is made; "" takes HostTempFolder().
    std::string tempFolder;
    // The host (with an optional :port) of the update server; "" takes
    // platform::UpdateHost(target folder).
    std::string host;
};

// The host's temporary folder: TMPDIR when set and not empty, else "/tmp"
// (on Windows: GetTempPath); without a trailing slash.
std::string HostTempFolder();

// The address of the release archive on `host` (net::ServerAddress):
// "http://" + host + "/veldan/bin.zip" for a bare host.
std::string ArchiveAddress(std::string_view host);

// The address of the archive's signature: the archive's address + ".sig".
std::string SignatureAddress(std::string_view host);

// Runs the updater on the command line `args` (the program name first). With
// anything but exactly one argument naming an existing folder it shows
// kWrongStartText and returns kUpdateWrongStart. Otherwise it downloads the
// archive and its signature, checks the signature with <folder>/data/release.pub,
// unpacks the archive, checks that its database version is not older than
// the installed one and only then installs it; it deletes the temporary
// files, reports a refusal or an installation failure (status text and
// message box kInstallFailedText with the reason), closes the status window
// and starts <folder>/Veldan in the folder, whatever happened before. A
// failed download of the archive itself stays silent. When hooks.canStart
// finds no program to start, nothing is started and the final message says
// so after what was updated (kUpdatedText with the database version and the
// number of files), why nothing was (the refusal, or kNotDownloadedText).
// Diagnostics go to `debug`. Returns an UpdateResult.
int RunUpdate(const std::vector<std::string>& args, const UpdateHooks& hooks,
              text::DebugSink& debug, const UpdateOptions& options = {});

}  // namespace veldan::updater
