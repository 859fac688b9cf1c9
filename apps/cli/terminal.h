#pragma once
// What the command line shows on a terminal only: colour (never when NO_COLOR
// is set to anything) and progress lines that redraw in place.

#include <string>
#include <string_view>

namespace veldan::cli {

// True when `fd` is a terminal and NO_COLOR is unset or empty.
bool ColourOn(int fd);

// `text` wrapped in the SGR `code` ("1" bold, "31" red, "32" green) when `on`.
std::string Paint(std::string_view text, const char* code, bool on);

// One line of progress on standard error, drawn over itself; silent when
// standard error is not a terminal or `quiet` is set.
class ProgressLine {
  public:
    explicit ProgressLine(bool quiet);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    bool enabled() const { return enabled_; }
    void Show(const std::string& text);
    void Clear();

  private:
    bool enabled_;
    bool drawn_ = false;
};

}  // namespace veldan::cli
