#include "ui/update_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QMetaObject>
#include <QString>
#include <QWidget>
#include <cerrno>

#include "host/unique_fd.h"
#include "net/address.h"
#include "net/internet.h"
#include "platform/app_settings.h"
#include "text/strings.h"
#include "ui/host_process.h"

namespace veldan::ui {

namespace {

// Writes all of `bytes` to `fd`; false on a failed write.
bool WriteAll(int fd, const char* bytes, ssize_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, bytes, static_cast<size_t>(size));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= n;
    }
    return true;
}

// Copies everything readable from `in` to `out`; false on a failed read or write.
bool CopyBytes(int in, int out) {
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (!WriteAll(out, buffer, n)) return false;
    }
}

}  // namespace

bool CopyUpdater(const std::string& from, const std::string& to) {
    host::UniqueFd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in) return false;
    // A new file only: whatever else sits at `to` (a file of another user in a
    // shared temporary folder, a link) is not written through or started.
    host::UniqueFd out(
        ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0700));
    if (!out) return false;
    bool ok = CopyBytes(in.get(), out.get());
    ok = out.Close() == 0 && ok;
    if (!ok) ::unlink(to.c_str());
    return ok;
}

CUpdateCheck::CUpdateCheck(text::DebugSink& debug)
    : startProgram([](const std::string& program, const std::vector<std::string>& args) {
          return StartHostProgram(program, args);
      }),
      endProcesses(EndHostProcessesRunning),
      tempFolder([] { return QDir::tempPath().toStdString(); }),
      debug_(debug) {}

CUpdateCheck::~CUpdateCheck() {
    Join();
}

void CUpdateCheck::Join() {
    if (worker_.joinable()) worker_.join();
}

std::string CUpdateCheck::UpdaterCopyPath(const std::string& tempFolder) {
    std::string folder = tempFolder;
    if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder + "/" + std::string(kUpdaterName);
}

bool CUpdateCheck::IsNewer(const std::string& latest, const std::string& current) {
    // std::string compares as unsigned bytes, as the code-page comparison does.
    return latest.compare(current) > 0;
}

void CUpdateCheck::Start(const std::string& programFolder) {
    Join();
    latest_.clear();
    const std::string address =
        net::ServerAddress(platform::UpdateHost(programFolder), "/veldan/newversion");
    worker_ = std::thread([this, address] {
        net::TInternet internet;
        std::string body;
        int code = 0;
        std::string codeText;
        if (internet.GetPage(address, body, code, codeText)) {
            latest_ = text::Trim(body);
        } else {
            debug_.Write(codeText + "\n");
        }
    });
}

bool CUpdateCheck::Settle(QWidget* owner, AppState& app) {
    Join();
    app.latestVersion = latest_;
    const std::string& current = app.ctx.db().DatabaseVersion;
    debug_.Write(current + " <----> " + app.latestVersion + "\n");

    // An updater copy left from an earlier update goes first.
    const std::string copy =
        UpdaterCopyPath(tempFolder ? tempFolder() : QDir::tempPath().toStdString());
    if (endProcesses) endProcesses(copy);
    ::unlink(copy.c_str());

    if (!IsNewer(app.latestVersion, current)) return true;
    MsgAnswer answer =
        app.prompter.Message(owner, QString::fromUtf8(kUpdatePrompt.data(), kUpdatePrompt.size()),
                             QString::fromUtf8(kUpdateCaption.data(), kUpdateCaption.size()),
                             MsgIcon::Question, MsgButtons::YesNo);
    if (answer != IDYES) return true;

    const std::string updater = app.programFolder + "/" + std::string(kUpdaterName);
    if (!CopyUpdater(updater, copy)) {
        debug_.Write("CopyFile... " + updater + "\n");
        return true;
    }
    if (!startProgram || !startProgram(copy, {app.programFolder})) {
        debug_.Write("ShellExecute... " + copy + "\n");
        ::unlink(copy.c_str());
        return true;
    }
    if (owner != nullptr) QMetaObject::invokeMethod(owner, &QWidget::close, Qt::QueuedConnection);
    return false;
}

}  // namespace veldan::ui
