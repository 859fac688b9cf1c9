#include "terminal.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace veldan::cli {

bool ColourOn(int fd) {
    const char* noColour = std::getenv("NO_COLOR");
    return ::isatty(fd) == 1 && (noColour == nullptr || *noColour == '\0');
}

std::string Paint(std::string_view text, const char* code, bool on) {
    if (!on || text.empty()) return std::string(text);
    return std::string("\033[") + code + "m" + std::string(text) + "\033[0m";
}

ProgressLine::ProgressLine(bool quiet) : enabled_(!quiet && ::isatty(2) == 1) {}

ProgressLine::~ProgressLine() {
    Clear();
}

void ProgressLine::Show(const std::string& text) {
    if (!enabled_) return;
    std::fprintf(stderr, "\r\033[K%s", text.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void ProgressLine::Clear() {
    if (enabled_ && drawn_) std::fputs("\r\033[K", stderr);
    drawn_ = false;
}

}  // namespace veldan::cli
