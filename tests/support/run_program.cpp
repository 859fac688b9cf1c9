#include "support/run_program.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "host/file_read.h"
#include "text/codepage.h"

namespace veldan::test {

std::string ProgramFolder() {
    const char* p = std::getenv("VELDAN_PROGRAM_DIR");
    return p != nullptr ? p : VELDAN_PROGRAM_DIR_DEFAULT;
}

std::string SourceFolder() {
    const char* p = std::getenv("VELDAN_SOURCE_DIR");
    return p != nullptr ? p : VELDAN_SOURCE_DIR_DEFAULT;
}

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args) {
    std::string exe = ProgramFolder() + "/" + program;
    char outName[] = "/tmp/veldan-out-XXXXXX";
    char errName[] = "/tmp/veldan-err-XXXXXX";
    int outFd = mkstemp(outName);
    int errFd = mkstemp(errName);
    RunResult r;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(outFd, 1);
        dup2(errFd, 2);
        int devnull = open("/dev/null", O_RDONLY);
        dup2(devnull, 0);
        std::vector<char*> argv;
        argv.push_back(exe.data());
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    host::ReadWholeFile(outName, r.out);
    host::ReadWholeFile(errName, r.err);
    close(outFd);
    close(errFd);
    unlink(outName);
    unlink(errName);
    return r;
}

void CopyTree(const std::string& from, const std::string& to) {
    std::filesystem::copy(from, to, std::filesystem::copy_options::recursive);
}

}  // namespace veldan::test
