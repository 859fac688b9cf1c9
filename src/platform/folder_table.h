#pragma once
// The well-known folders of the machine, computed once before any scan:
// 30 folder prefixes (no trailing backslash, except as the platform gives them)
// that commands append "\\name" to. An entry that cannot be determined is empty.

#include <string>

namespace veldan::platform {

struct FolderTable {
    std::string WINDIR;
    std::string SYSDIR;
    std::string FONTSDIR;
    std::string SENDTODIR;
    std::string MYDOCDIR;
    std::string FAVDIR;
    std::string CMNFAVDIR;
    std::string LINKSDIR;
    std::string CMNLINKSDIR;
    std::string DESKTOPDIR;
    std::string CMNDESKTOPDIR;
    std::string PFDIR;
    std::string CFDIR;
    std::string APPDATADIR;
    std::string CMNAPPDATADIR;
    std::string LOCALAPPDATADIR;
    std::string STARTMENUDIR;
    std::string CMNSTARTMENUDIR;
    std::string PROGRAMSDIR;
    std::string CMNPROGRAMSDIR;
    std::string TEMPLATEDIR;
    std::string QUICKLAUNCHDIR;
    std::string AXCACHEDIR;
    std::string TEMPDIR;
    std::string STARTUPDIR;
    std::string CMNSTARTUPDIR;
    std::string PROFILEDIR;
    std::string SYSTEMDIR;
    std::string SYSTEM32DIR;
    std::string WINTEMPDIR;
};

}  // namespace veldan::platform
