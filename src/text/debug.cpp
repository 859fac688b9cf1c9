#include "text/debug.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "text/lines.h"

namespace veldan::text {

void StderrDebugSink::Write(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void CaptureDebugSink::Write(std::string_view text) {
    std::lock_guard lock(mutex_);
    text_.append(text);
}

std::string CaptureDebugSink::Text() const {
    std::lock_guard lock(mutex_);
    return text_;
}

std::vector<std::string> CaptureDebugSink::Lines() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> lines;
    for (std::string_view line : SplitLines(text_)) lines.emplace_back(line);
    return lines;
}

bool CaptureDebugSink::Contains(std::string_view fragment) const {
    std::lock_guard lock(mutex_);
    return text_.find(fragment) != std::string::npos;
}

void CaptureDebugSink::Clear() {
    std::lock_guard lock(mutex_);
    text_.clear();
}

std::unique_ptr<DebugSink> MakeDefaultDebugSink() {
    const char* v = std::getenv("VELDAN_DEBUG");
    if (v != nullptr && std::strcmp(v, "1") == 0) return std::make_unique<StderrDebugSink>();
    return std::make_unique<NullDebugSink>();
}

}  // namespace veldan::text
