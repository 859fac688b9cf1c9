#pragma once
// The debug channel: where the system's diagnostic lines go. Nothing by default,
// standard error with VELDAN_DEBUG=1, a capturing sink in tests. Lines keep their
// exact texts (including the trailing line feed, or its absence).

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace veldan::text {

class DebugSink {
  public:
    virtual ~DebugSink() = default;
    // Writes `text` as given; no line feed is added.
    virtual void Write(std::string_view text) = 0;
};

// Discards everything.
class NullDebugSink final : public DebugSink {
  public:
    void Write(std::string_view) override {}
};

// Writes to standard error.
class StderrDebugSink final : public DebugSink {
  public:
    void Write(std::string_view text) override;
};

// Keeps everything written, for tests. Safe to write from several threads.
class CaptureDebugSink final : public DebugSink {
  public:
    void Write(std::string_view text) override;
    // Everything written so far, concatenated.
    std::string Text() const;
    // The text split into lines at line feeds (a final unterminated piece included).
    std::vector<std::string> Lines() const;
    // True when some write contained `fragment`.
    bool Contains(std::string_view fragment) const;
    void Clear();

  private:
    mutable std::mutex mutex_;
    std::string text_;
};

// The sink programs use: standard error when the environment variable
// VELDAN_DEBUG is "1", otherwise nothing.
std::unique_ptr<DebugSink> MakeDefaultDebugSink();

}  // namespace veldan::text
