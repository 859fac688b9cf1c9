#include "machine/win32/win32_api.h"
// (the Windows headers first; see win32_api.h)

#include "support/shell_link_backends.h"

namespace veldan::test {

std::string ShellLinksBackend::Put(std::string_view relative, std::string_view bytes) {
    const std::string path = DrivePath(relative);
    for (std::size_t at = path.find('\\', 3); at != std::string::npos;
         at = path.find('\\', at + 1)) {
        (void)drive_.CreateDirectory(path.substr(0, at));
    }
    EXPECT_EQ(drive_.WriteFile(path, bytes), machine::ERROR_SUCCESS) << path;
    return path;
}

std::string ShellLinksBackend::Differs(ShellLinksQuirk quirk) {
    const bool wine = RunningUnderWine();
    switch (quirk) {
        case ShellLinksQuirk::AnsiCodePage:
            return GetACP() == 949 ? ""
                                   : "the ANSI code page is " + std::to_string(GetACP()) +
                                         ", not 949: the shell reads a link's ANSI strings and "
                                         "the profile calls a .url file in it (run with "
                                         "LC_ALL=ko_KR.UTF-8 under Wine)";
        case ShellLinksQuirk::ShowCommand:
            return wine ? "Wine's shell link loader never reads the header's show command: "
                          "GetShowCmd gives SW_SHOWNORMAL for every link"
                        : "";
        case ShellLinksQuirk::UnicodeLocalPath:
            return wine ? "Wine reads only the ANSI local base path of a LinkInfo, not its "
                          "UTF-16 copy: characters CP949 lacks come back as '?'"
                        : "";
        case ShellLinksQuirk::EnvironmentTarget:
            return wine ? "Wine's shell link loader skips the environment-variable target "
                          "block: GetPath gives no target for such a link"
                        : "";
    }
    return {};
}

}  // namespace veldan::test
