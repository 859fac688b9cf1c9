#include "ui/host_process.h"

#include <dirent.h>
#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <QProcess>
#include <QString>
#include <QStringList>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <thread>

namespace veldan::ui {

namespace {

namespace fs = std::filesystem;

constexpr auto kPollStep = std::chrono::milliseconds(50);
constexpr int kTermPolls = 40;  // two seconds to end after SIGTERM
constexpr int kKillPolls = 20;  // one more second after SIGKILL

// The program file of process `pid`, "" when it is gone, a zombie or not ours to see.
std::string ProgramOf(pid_t pid) {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", ec);
    return ec ? std::string() : exe.string();
}

// True when `program` (as /proc shows it) is `path` or `path` deleted.
bool Runs(const std::string& program, const std::string& path) {
    return program == path || program == path + " (deleted)";
}

// The processes other than this one that run `path`.
std::vector<pid_t> ProcessesRunning(const std::string& path) {
    std::vector<pid_t> found;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) return found;
    const pid_t self = ::getpid();
    while (dirent* d = ::readdir(proc)) {
        char* end = nullptr;
        long pid = std::strtol(d->d_name, &end, 10);
        if (end == d->d_name || *end != '\0' || pid <= 0 || pid == self) continue;
        if (Runs(ProgramOf(static_cast<pid_t>(pid)), path))
            found.push_back(static_cast<pid_t>(pid));
    }
    ::closedir(proc);
    return found;
}

// Waits up to `polls` steps for every process of `pids` to stop running
// `path`; returns those still running it.
std::vector<pid_t> WaitGone(std::vector<pid_t> pids, const std::string& path, int polls) {
    for (int i = 0; i < polls && !pids.empty(); ++i) {
        std::this_thread::sleep_for(kPollStep);
        std::erase_if(pids, [&](pid_t pid) { return !Runs(ProgramOf(pid), path); });
    }
    return pids;
}

}  // namespace

bool StartHostProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& workingFolder) {
    QStringList list;
    for (const std::string& a : args) list << QString::fromStdString(a);
    return QProcess::startDetached(QString::fromStdString(program), list,
                                   QString::fromStdString(workingFolder));
}

int EndHostProcessesRunning(const std::string& path) {
    // /proc names the program by its real path.
    std::error_code ec;
    fs::path real = fs::weakly_canonical(path, ec);
    const std::string target = ec ? path : real.string();
    std::vector<pid_t> pids = ProcessesRunning(target);
    const int count = static_cast<int>(pids.size());
    // Each signal goes only to a process that still runs the file, never to
    // one that took over the number of a process that ended meanwhile.
    auto signal = [&](int sig) {
        for (pid_t pid : pids) {
            if (Runs(ProgramOf(pid), target)) ::kill(pid, sig);
        }
    };
    signal(SIGTERM);
    pids = WaitGone(std::move(pids), target, kTermPolls);
    signal(SIGKILL);
    WaitGone(std::move(pids), target, kKillPolls);
    return count;
}

}  // namespace veldan::ui
