#pragma once
// The update check of the main window. Start() asks the update server for the
// newest version text on a worker thread at once; Settle(), on the
// user-interface thread once the database is loaded, waits for that answer,
// compares it with the database's version and, when the server's text is
// greater and the user agrees, starts a copy of VeldanUpdate from the host's
// temporary folder and closes the main window.
//
// The process start, the ending of an old updater and the temporary folder
// are members with real defaults, so tests can watch them.

#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "text/debug.h"
#include "ui/app_state.h"

class QWidget;

namespace veldan::ui {

inline constexpr std::string_view kUpdaterName = "VeldanUpdate";
inline constexpr std::string_view kUpdateCaption = "VELDAN Update";
inline constexpr std::string_view kUpdatePrompt = "최신 업데이트가 있습니다. 다운로드하시겠습니까?";

class CUpdateCheck {
  public:
    // Starts `program` with `args`, detached; returns true when it started.
    using ProgramStarter =
        std::function<bool(const std::string& program, const std::vector<std::string>& args)>;
    // Ends the processes running the program file `path`; returns how many there were.
    using ProcessEnder = std::function<int(const std::string& path)>;

    // Diagnostics go to `debug` (from the worker thread too).
    explicit CUpdateCheck(text::DebugSink& debug);
    // Waits for the worker.
    ~CUpdateCheck();
    CUpdateCheck(const CUpdateCheck&) = delete;
    CUpdateCheck& operator=(const CUpdateCheck&) = delete;

    ProgramStarter startProgram;
    ProcessEnder endProcesses;
    // The host's temporary folder, without a trailing slash.
    std::function<std::string()> tempFolder;

    // Starts the worker that fetches "/veldan/newversion" from
    // UpdateHost(programFolder) (net::ServerAddress: http, or the scheme the
    // host names) (a worker still running is waited for first).
    void Start(const std::string& programFolder);

    // Waits for the worker, stores the answer in app.latestVersion, removes an
    // old updater copy (ending what runs from it) and asks the user when the
    // answer is greater than the database's version. On Yes it copies the
    // updater, starts the copy with the program folder as its argument and
    // closes `owner` (queued). Returns false when the program is closing for
    // the update, true otherwise (also when the updater could not be copied
    // or started; then nothing is closed).
    bool Settle(QWidget* owner, AppState& app);

    // The server's trimmed answer; "" until the worker finished, or when it failed.
    const std::string& latestVersion() const { return latest_; }

    // The updater copy's path in `tempFolder`.
    static std::string UpdaterCopyPath(const std::string& tempFolder);
    // True when `latest` is greater than `current`, comparing byte by byte.
    static bool IsNewer(const std::string& latest, const std::string& current);

  private:
    void Join();

    text::DebugSink& debug_;
    std::thread worker_;
    std::string latest_;  // written by the worker only, read after Join()
};

// Copies the updater program `from` to `to` as a new file (refusing to write
// through an existing file or link), executable by its owner. Returns true
// when the whole file was copied; a partial copy is removed.
bool CopyUpdater(const std::string& from, const std::string& to);

}  // namespace veldan::ui
