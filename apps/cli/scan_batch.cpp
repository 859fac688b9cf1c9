#include "scan_batch.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <thread>

#include "host/unique_fd.h"
#include "json_out.h"
#include "terminal.h"
#include "text/strings.h"

extern char** environ;

namespace veldan::cli {
namespace {

// A file for a child's output, removed from the folder at once; the parent
// keeps it open and reads it after the child ends.
int AnonymousFile() {
    const char* tmp = std::getenv("TMPDIR");
    std::string path =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/veldan-scan-XXXXXX";
    int fd = ::mkstemp(path.data());
    if (fd >= 0) ::unlink(path.c_str());
    return fd;
}

std::string ReadAll(int fd) {
    std::string out;
    if (::lseek(fd, 0, SEEK_SET) != 0) return out;
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    return out;
}

std::string OwnProgram() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    buf[n] = '\0';
    return buf;
}

struct Child {
    std::size_t index = 0;  // into the machines
    host::UniqueFd out;     // the child's standard output and error, kept as files
    host::UniqueFd err;
};

// Starts "scan --machine M --json --quiet" for one machine. -1 when it cannot.
pid_t Start(const std::string& program, const Globals& g, const BatchOptions& o,
            const std::string& machine, Child& child) {
    std::vector<std::string> args = {program,     "scan",  "--program-folder", g.programFolder,
                                     "--machine", machine, "--json",           "--quiet"};
    if (!o.machine.user.empty()) args.insert(args.end(), {"--user", o.machine.user});
    if (o.machine.force) args.push_back("--force");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    child.out.Reset(AnonymousFile());
    child.err.Reset(AnonymousFile());
    if (!child.out || !child.err) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, child.out.get(), 1);
    posix_spawn_file_actions_adddup2(&actions, child.err.get(), 2);
    pid_t pid = -1;
    int r = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return r == 0 ? pid : -1;
}

// The first line a failed child wrote on standard error, without the program's name.
std::string ErrorText(const std::string& err, int code) {
    std::string line = err.substr(0, err.find('\n'));
    constexpr std::string_view kPrefix = "veldan-cli: ";
    if (line.rfind(kPrefix, 0) == 0) line.erase(0, kPrefix.size());
    if (line.empty()) line = "the scan ended with exit status " + std::to_string(code);
    return line;
}

// The line for one machine: its name, its exit status, and the scan document or the error.
Json MachineLine(const std::string& machine, int code, const std::string& out,
                 const std::string& err) {
    Json line;
    line["machine"] = Utf8(machine);
    Json document;
    if (code == kExitOk && ParseJson(out, document) && document.is_object()) {
        line["exit"] = kExitOk;
        for (auto& [key, value] : document.items()) line[key] = value;
        return line;
    }
    if (code == kExitOk) code = kExitFailure;  // output that is not a scan document
    line["exit"] = code;
    line["error"] = Utf8(ErrorText(err, code));
    return line;
}

}  // namespace

int RunScanBatch(const Globals& g, const BatchOptions& o) {
    const std::string program = OwnProgram();
    if (program.empty()) return Fail(kExitFailure, "cannot find the program's own file");
    std::size_t jobs = o.jobs > 0 ? static_cast<std::size_t>(o.jobs)
                                  : std::max(1u, std::thread::hardware_concurrency());

    ProgressLine progress(g.quiet);
    std::map<pid_t, Child> running;
    std::size_t next = 0, done = 0, scanned = 0, infected = 0;
    int rows = 0;
    auto report = [&](const Child& child, int code) {
        const std::string& machine = o.machines[child.index];
        Json line = MachineLine(machine, code, ReadAll(child.out.get()), ReadAll(child.err.get()));
        if (line["exit"] == kExitOk) {
            ++scanned;
            const std::size_t n = line["rows"].size();
            if (n > 0) ++infected;
            rows += static_cast<int>(n);
        }
        progress.Clear();
        PrintJson(line);
        std::fflush(stdout);
        ++done;
        progress.Show(text::Format("%zu/%zu machines", done, o.machines.size()));
    };

    while (done < o.machines.size()) {
        while (next < o.machines.size() && running.size() < jobs) {
            Child child;
            child.index = next++;
            pid_t pid = Start(program, g, o, o.machines[child.index], child);
            if (pid < 0) {
                child.out.Reset();
                child.err.Reset();
                progress.Clear();
                Json line;
                line["machine"] = Utf8(o.machines[child.index]);
                line["exit"] = kExitFailure;
                line["error"] = "cannot start a scan process";
                PrintJson(line);
                ++done;
                continue;
            }
            running[pid] = std::move(child);
        }
        if (running.empty()) continue;
        int status = 0;
        pid_t pid = ::waitpid(-1, &status, 0);
        if (pid < 0) {
            if (errno == EINTR) continue;
            break;
        }
        auto it = running.find(pid);
        if (it == running.end()) continue;
        int code = WIFEXITED(status) ? WEXITSTATUS(status) : kExitFailure;
        Child child = std::move(it->second);
        running.erase(it);
        report(child, code);
    }
    progress.Clear();

    Json summary;
    summary["summary"] = {{"machines", o.machines.size()},
                          {"scanned", scanned},
                          {"failed", o.machines.size() - scanned},
                          {"infected", infected},
                          {"rows", rows}};
    PrintJson(summary);
    return scanned == o.machines.size() ? kExitOk : kExitFailure;
}

}  // namespace veldan::cli
