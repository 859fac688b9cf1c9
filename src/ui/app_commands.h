#pragma once
// The "app:" links of the HTML page: which addresses are commands, what a
// command does, and which pages a page command shows. Plain logic; the HTML
// control and the main window act on the answers.

#include <string>
#include <string_view>

namespace veldan::ui {

// True when the first four characters of `address` are "app:" in any letter
// case; `command` then receives the text after them.
bool IsAppAddress(std::string_view address, std::string& command);

enum class AppCommandKind {
    Close,  // starts with "close" (case-sensitive): close the main window
    Fit,    // starts with "fit" (case-sensitive): WM_HTML_FIT with the number after it
    Page,   // anything else: WM_PAGE_COMMAND with the text
};

struct AppCommand {
    AppCommandKind kind = AppCommandKind::Page;
    int fit = 0;  // Fit: the leading decimal number after "fit", 0 if none
};

// What the HTML control does with a command text.
AppCommand ClassifyAppCommand(std::string_view command);

// Which of the four pages are visible after a page command.
struct PageVisibility {
    bool start = false;
    bool scanResult = false;
    bool immunization = false;
    bool killBit = false;
    bool operator==(const PageVisibility&) const = default;
};

// The pages a page command shows, its text compared whole after lower-casing:
// "snd" the scan result page when it is the current scan page (else the start
// page), "imm" the immunization page, "kb" the KillBit page; any other text
// hides all four.
PageVisibility PagesForCommand(std::string_view command, bool scanPageCurrent);

}  // namespace veldan::ui
