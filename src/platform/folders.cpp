#include "platform/folders.h"

#include "platform/registry_ops.h"
#include "text/codepage.h"

namespace veldan::platform {
namespace {

using machine::HKEY_CURRENT_USER;
using machine::HKEY_LOCAL_MACHINE;

constexpr std::string_view kShellFoldersKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Folders";
constexpr std::string_view kCurrentVersionKey = "Software\\Microsoft\\Windows\\CurrentVersion";
constexpr std::string_view kToolBarKey = "Software\\Microsoft\\Internet Explorer\\ToolBar";
constexpr std::string_view kInternetSettingsKey =
    "Software\\Microsoft\\CurrentVersion\\Internet Settings";

// A path the platform hands back in a buffer of kMaxPath characters; one that
// does not fit is not returned at all.
std::string Fitted(std::string path) {
    if (text::Cp949Length(path) + 1 > kMaxPath) return std::string();
    return path;
}

class FolderFinder {
  public:
    explicit FolderFinder(Context& ctx) : ctx_(ctx) {}

    // A shell special folder, whether it exists or not (looking must not change
    // the machine); "" when unknown.
    std::string Shell(int csidl) {
        std::string path;
        if (ctx_.machine().system().GetSpecialFolderPath(csidl, false, path) !=
            machine::ERROR_SUCCESS) {
            return std::string();
        }
        return Fitted(std::move(path));
    }

    // A string value; "" when it is absent or no string.
    std::string Value(machine::HKEY hive, std::string_view key, std::string_view name) {
        std::string out;
        ReadStringValue(ctx_, hive, key, name, out);
        return out;
    }

    std::string ShellFolderValue(std::string_view name) {
        return Value(HKEY_LOCAL_MACHINE, kShellFoldersKey, name);
    }

    std::string Windows() { return Fitted(ctx_.machine().system().WindowsDirectory()); }

    // The user's own folder, then the common one, then the user's again.
    std::string Common(int commonCsidl, std::string_view shellFoldersName, int userCsidl) {
        std::string path = Shell(commonCsidl);
        if (path.empty() && !shellFoldersName.empty()) path = ShellFolderValue(shellFoldersName);
        if (path.empty()) path = Shell(userCsidl);
        return path;
    }

    std::string Favorites() { return Shell(machine::CSIDL_FAVORITES); }
    std::string CommonFavorites() {
        return Common(machine::CSIDL_COMMON_FAVORITES, "", machine::CSIDL_FAVORITES);
    }
    std::string AppData() { return Shell(machine::CSIDL_APPDATA); }
    std::string CommonAppData() {
        return Common(machine::CSIDL_COMMON_APPDATA, "Common AppData", machine::CSIDL_APPDATA);
    }

    // The name of the browser's links folder, "Links" unless the user renamed it.
    std::string LinksFolderName() {
        std::string name = Value(HKEY_CURRENT_USER, kToolBarKey, "LinksFolderName");
        return name.empty() ? std::string("Links") : name;
    }

    // The ActiveX download folder the browser's settings name, whatever the
    // value's type; the Windows folder's "Downloaded Program Files" otherwise.
    std::string ActiveXCache() {
        machine::RegValue v;
        std::string path;
        if (ctx_.registry().OpenKey(HKEY_LOCAL_MACHINE, kInternetSettingsKey) ==
                machine::ERROR_SUCCESS &&
            ctx_.registry().QueryValue(HKEY_LOCAL_MACHINE, kInternetSettingsKey, "ActiveXCache",
                                       v) == machine::ERROR_SUCCESS) {
            std::size_t size = v.type == machine::REG_SZ || v.type == machine::REG_EXPAND_SZ ||
                                       v.type == machine::REG_MULTI_SZ
                                   ? text::Cp949Length(v.data)
                                   : v.data.size();
            if (size <= kMaxPath) path = Fitted(v.AsString());
        }
        if (path.empty()) path = Windows() + "\\Downloaded Program Files";
        return path;
    }

    // The temporary folder without one trailing backslash.
    std::string Temp() {
        std::string path = Fitted(ctx_.machine().system().TempPath());
        if (!path.empty() && path.back() == '\\') path.pop_back();
        return path;
    }

  private:
    Context& ctx_;
};

}  // namespace

void InitFolderTable(Context& ctx) {
    using namespace machine;
    FolderFinder find(ctx);
    FolderTable& t = ctx.folders();

    t.WINDIR = find.Windows();
    t.SYSDIR = Fitted(ctx.machine().system().SystemDirectory());
    t.FONTSDIR = find.Shell(CSIDL_FONTS);
    t.SENDTODIR = find.Shell(CSIDL_SENDTO);
    t.MYDOCDIR = find.Shell(CSIDL_PERSONAL);
    t.FAVDIR = find.Favorites();
    t.CMNFAVDIR = find.CommonFavorites();
    t.LINKSDIR = find.Favorites() + "\\" + find.LinksFolderName();
    t.CMNLINKSDIR = find.CommonFavorites() + "\\" + find.LinksFolderName();
    t.DESKTOPDIR = find.Shell(CSIDL_DESKTOPDIRECTORY);
    t.CMNDESKTOPDIR =
        find.Common(CSIDL_COMMON_DESKTOPDIRECTORY, "Common Desktop", CSIDL_DESKTOPDIRECTORY);

    t.PFDIR = find.Shell(CSIDL_PROGRAM_FILES);
    if (t.PFDIR.empty()) {
        t.PFDIR = find.Value(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProgramFilesDir");
    }
    t.CFDIR = find.Shell(CSIDL_PROGRAM_FILES_COMMON);
    if (t.CFDIR.empty()) {
        t.CFDIR = find.Value(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "CommonFilesDir");
    }

    t.APPDATADIR = find.AppData();
    t.CMNAPPDATADIR = find.CommonAppData();
    t.LOCALAPPDATADIR = find.Shell(CSIDL_LOCAL_APPDATA);
    if (t.LOCALAPPDATADIR.empty()) t.LOCALAPPDATADIR = find.ShellFolderValue("Local AppData");
    if (t.LOCALAPPDATADIR.empty()) t.LOCALAPPDATADIR = find.CommonAppData();

    t.STARTMENUDIR = find.Shell(CSIDL_STARTMENU);
    t.CMNSTARTMENUDIR = find.Common(CSIDL_COMMON_STARTMENU, "", CSIDL_STARTMENU);
    t.PROGRAMSDIR = find.Shell(CSIDL_PROGRAMS);
    t.CMNPROGRAMSDIR = find.Common(CSIDL_COMMON_PROGRAMS, "", CSIDL_PROGRAMS);
    t.TEMPLATEDIR = find.Shell(CSIDL_TEMPLATES);
    t.QUICKLAUNCHDIR = find.AppData() + "\\Microsoft\\Internet Explorer\\Quick Launch";
    t.AXCACHEDIR = find.ActiveXCache();
    t.TEMPDIR = find.Temp();
    t.STARTUPDIR = find.Shell(CSIDL_STARTUP);
    t.CMNSTARTUPDIR = find.Common(CSIDL_COMMON_STARTUP, "Common Startup", CSIDL_STARTUP);
    t.PROFILEDIR = find.Shell(CSIDL_PROFILE);
    if (t.PROFILEDIR.empty()) t.PROFILEDIR = find.Windows();

    t.SYSTEMDIR = t.WINDIR + "\\system";
    t.SYSTEM32DIR = t.WINDIR + "\\system32";
    t.WINTEMPDIR = t.WINDIR + "\\temp";
}

}  // namespace veldan::platform
