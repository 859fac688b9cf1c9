// The parts of the image builder both builds share.

#include "machine/machine.h"
#include "machine/win32.h"
#include "support/image_builder.h"

namespace veldan::test {

std::string WithRegHeader(std::string_view regText) {
    std::string body(regText);
    if (body.rfind("REGEDIT4", 0) != 0 && body.rfind("Windows Registry Editor", 0) != 0 &&
        body.rfind("\xEF\xBB\xBF", 0) != 0 && body.rfind("\xFF\xFE", 0) != 0) {
        body = "Windows Registry Editor Version 5.00\r\n\r\n" + body;
    }
    return body;
}

void CreateShellFolders(machine::Machine& m) {
    using namespace machine;
    for (int csidl : {CSIDL_APPDATA, CSIDL_COMMON_APPDATA, CSIDL_COMMON_DESKTOPDIRECTORY,
                      CSIDL_COMMON_FAVORITES, CSIDL_COMMON_PROGRAMS, CSIDL_COMMON_STARTMENU,
                      CSIDL_COMMON_STARTUP, CSIDL_DESKTOPDIRECTORY, CSIDL_FAVORITES, CSIDL_FONTS,
                      CSIDL_LOCAL_APPDATA, CSIDL_PERSONAL, CSIDL_PROFILE, CSIDL_PROGRAMS,
                      CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILES_COMMON, CSIDL_SENDTO,
                      CSIDL_STARTMENU, CSIDL_STARTUP, CSIDL_TEMPLATES}) {
        std::string path;
        (void)m.system().GetSpecialFolderPath(csidl, true, path);
    }
}

}  // namespace veldan::test
