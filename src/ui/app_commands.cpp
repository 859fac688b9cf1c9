#include "ui/app_commands.h"

#include "text/strings.h"
#include "ui/layout.h"

namespace veldan::ui {

bool IsAppAddress(std::string_view address, std::string& command) {
    if (address.size() < 4 || !text::EqualsNoCase(address.substr(0, 4), "app:")) return false;
    command = std::string(address.substr(4));
    return true;
}

AppCommand ClassifyAppCommand(std::string_view command) {
    if (command.substr(0, 5) == "close") return {AppCommandKind::Close, 0};
    if (command.substr(0, 3) == "fit") return {AppCommandKind::Fit, LeadingInt(command.substr(3))};
    return {AppCommandKind::Page, 0};
}

PageVisibility PagesForCommand(std::string_view command, bool scanPageCurrent) {
    std::string lower = text::LowerAscii(command);
    PageVisibility v;
    if (lower == "snd") {
        v.scanResult = scanPageCurrent;
        v.start = !scanPageCurrent;
    } else if (lower == "imm") {
        v.immunization = true;
    } else if (lower == "kb") {
        v.killBit = true;
    }
    return v;
}

}  // namespace veldan::ui
