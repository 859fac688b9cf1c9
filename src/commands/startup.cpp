#include "commands/startup.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "commands/registry_keys.h"
#include "commands/shortcut_ops.h"
#include "platform/file_ops.h"
#include "platform/processes.h"
#include "platform/registry_ops.h"
#include "platform/reports.h"
#include "platform/shortcuts.h"
#include "text/codepage.h"
#include "text/cp949_fit.h"
#include "text/strings.h"

namespace veldan::commands {
namespace {

using platform::kMaxPath;

constexpr std::string_view kStandardExeOpenCommand = "\"%1\" %*";

constexpr std::array kRunKeys = {
    RegistryPlace{HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
    RegistryPlace{HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"},
    RegistryPlace{HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx"},
    RegistryPlace{HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices"},
    RegistryPlace{HKEY_LOCAL_MACHINE,
                  "Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce"},
    RegistryPlace{HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
    RegistryPlace{HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"},
    RegistryPlace{HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices"},
    RegistryPlace{HKEY_CURRENT_USER,
                  "Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce"},
};

constexpr std::array kIniRunEntries = {
    IniRunEntry{"windows", "run"}, IniRunEntry{"windows", "load"}, IniRunEntry{"windows", "open"},
    IniRunEntry{"winnt", "load"},  IniRunEntry{"winnt", "open"},
};

constexpr std::string_view kWinIni = "Win.ini";
constexpr std::string_view kSystemIni = "System.ini";
constexpr std::string_view kStandardShell = "Explorer.exe";

// Win.ini entries of known harmless programs (lower case).
constexpr std::string_view kKnownWinIniPrograms[] = {
    "c:\\progra~1\\v3\\sysmon32.exe",
    "c:\\progra~1\\v3\\v3sd32.exe",
    "hpfsched",
    "lxdboxcp.exe",
};

constexpr std::array kSharedTaskScheduler = {
    RegistryPlace{HKEY_LOCAL_MACHINE,
                  "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler"},
};

// The "Run" and "Load" values of the Windows NT "Windows" key, HKLM first.
constexpr std::array kNtRunLoadValues = {
    std::pair{HKEY_LOCAL_MACHINE, std::string_view("Run")},
    std::pair{HKEY_LOCAL_MACHINE, std::string_view("Load")},
    std::pair{HKEY_CURRENT_USER, std::string_view("Run")},
    std::pair{HKEY_CURRENT_USER, std::string_view("Load")},
};

// A value name that is empty or only blanks and backslashes names nothing, as
// for the other commands that take a value name.
bool NamesSomething(std::string_view name) {
    return name.find_first_not_of(" \\") != std::string_view::npos;
}

// The longest start of the text that fits a 260-byte buffer with its NUL, cut
// at a character boundary, as the profile-string reader truncates.
std::string FitBuffer(std::string_view s) {
    return std::string(text::FitCp949(s, kMaxPath));
}

// System.ini [boot] "Shell", trimmed ("Explorer.exe" when it is missing).
std::string ReadSystemIniShell(Context& ctx) {
    return text::Trim(
        FitBuffer(ctx.machine().profiles().GetString("boot", "Shell", kStandardShell, kSystemIni)));
}

std::string StandardUserinit(const Context& ctx) {
    return ctx.folders().SYSDIR + "\\userinit.exe,";
}

// The folder, a backslash and the name.
std::string InFolder(std::string_view folder, std::string_view name) {
    std::string path(folder);
    path += '\\';
    path.append(name);
    return path;
}

// ---- RunValueByData and the exact-name search, scan and cure

// The Run values and Win.ini start-up entries whose data contains the text
// (`exact`: is the text, case ignored). Scan: records them. Cure: deletes the
// values, and all five Win.ini entries when any of them matches. 1 when any
// record or deletion returned nonzero.
int RunKeysAndIniEntries(Context& ctx, std::string_view text, bool exact, Mode mode) {
    const bool scan = mode == Mode::Scan;
    using DataOp = int (*)(Context&, HKEY, std::string_view, std::string_view);
    const DataOp op =
        exact ? (scan ? DataOp(platform::ScanValueByExactData)
                      : DataOp(platform::CureValueByExactData))
              : (scan ? DataOp(platform::ScanValueByData) : DataOp(platform::CureValueByData));
    int any = 0;
    for (const RegistryPlace& p : kRunKeys) {
        if (op(ctx, p.hive, p.base, text) > 0) any = 1;
    }
    bool iniMatch = false;
    for (const IniRunEntry& e : kIniRunEntries) {
        const std::string value = ReadIniRunEntry(ctx, e);
        if (exact ? !text::EqualsNoCase(value, text) : !text::ContainsNoCase(value, text)) continue;
        iniMatch = true;
        if (scan &&
            platform::ReportProfileString(ctx, platform::kFound, e.section, e.key, value, kWinIni))
            any = 1;
    }
    if (!scan && iniMatch && DeleteIniRunEntries(ctx)) any = 1;
    return any;
}

int ScanByData(Context& ctx, std::string_view text) {
    int any = RunKeysAndIniEntries(ctx, text, false, Mode::Scan);
    const std::string shell = ReadSystemIniShell(ctx);
    if (text::ContainsNoCase(shell, text) &&
        platform::ReportProfileString(ctx, platform::kFound, "boot", "Shell", shell, kSystemIni)) {
        any = 1;
    }
    if (platform::ScanValueIfDataContains(ctx, HKEY_LOCAL_MACHINE, kWinlogonKey, "Userinit", text))
        any = 1;
    if (platform::ScanValueIfDataContains(ctx, HKEY_LOCAL_MACHINE, kNtWindowsKey, "AppInit_DLLs",
                                          text))
        any = 1;
    for (const auto& [hive, value] : kNtRunLoadValues) {
        if (platform::ScanValueIfDataContains(ctx, hive, kNtWindowsKey, value, text)) any = 1;
    }
    if (platform::ScanValueIfDataContains(ctx, HKEY_CLASSES_ROOT, kExeOpenCommandKey, "", text))
        any = 1;
    for (const std::string* folder : {&ctx.folders().STARTUPDIR, &ctx.folders().CMNSTARTUPDIR}) {
        if (folder->empty()) continue;
        if (platform::ScanLinksInFolder(ctx, *folder, text, platform::kFieldTarget)) any = 1;
    }
    return any;
}

int CureByData(Context& ctx, std::string_view text) {
    int any = RunKeysAndIniEntries(ctx, text, false, Mode::Cure);
    if (text::ContainsNoCase(ReadSystemIniShell(ctx), text)) {
        if (ctx.machine().profiles().WriteString("boot", "Shell", kStandardShell, kSystemIni) ==
            machine::ERROR_SUCCESS) {
            any = 1;
        } else {
            platform::ReportProfileString(ctx, platform::kFailed, "boot", "Shell", kStandardShell,
                                          kSystemIni);
        }
    }
    if (platform::ValueDataContains(ctx, HKEY_LOCAL_MACHINE, kWinlogonKey, "Userinit", text) &&
        platform::CureStringValue(ctx, HKEY_LOCAL_MACHINE, kWinlogonKey, "Userinit",
                                  StandardUserinit(ctx))) {
        any = 1;
    }
    if (platform::ValueDataContains(ctx, HKEY_LOCAL_MACHINE, kNtWindowsKey, "AppInit_DLLs", text) &&
        platform::CureStringValue(ctx, HKEY_LOCAL_MACHINE, kNtWindowsKey, "AppInit_DLLs", "")) {
        any = 1;
    }
    bool runLoadMatch = false;
    for (const auto& [hive, value] : kNtRunLoadValues) {
        if (platform::ValueDataContains(ctx, hive, kNtWindowsKey, value, text)) runLoadMatch = true;
    }
    if (runLoadMatch) {
        for (const auto& [hive, value] : kNtRunLoadValues) {
            if (platform::CureValue(ctx, hive, kNtWindowsKey, value)) any = 1;
        }
    }
    if (platform::ValueDataContains(ctx, HKEY_CLASSES_ROOT, kExeOpenCommandKey, "", text) &&
        platform::CureStringValue(ctx, HKEY_CLASSES_ROOT, kExeOpenCommandKey, "",
                                  kStandardExeOpenCommand)) {
        any = 1;
    }
    for (const std::string* folder : {&ctx.folders().STARTUPDIR, &ctx.folders().CMNSTARTUPDIR}) {
        if (folder->empty()) continue;
        if (platform::CureLinksInFolder(ctx, *folder, text, platform::kFieldTarget)) any = 1;
    }
    return any;
}

// ---- the FileFrom..._ variants

using FolderEntry = std::string FolderTable::*;

// The name's path part ("name|size" gives "name"); "" when it names nothing.
std::string BareName(std::string_view name) {
    std::string path = platform::SplitFileParam(name).path;
    return text::TrimView(path).empty() ? std::string() : path;
}

// The folders of the entries that the table knows, in order.
template <std::size_t N>
std::vector<std::string> Folders(const Context& ctx, const FolderEntry (&entries)[N]) {
    std::vector<std::string> out;
    for (FolderEntry e : entries) {
        if (!(ctx.folders().*e).empty()) out.push_back(ctx.folders().*e);
    }
    return out;
}

constexpr FolderEntry kWinFolders[] = {&FolderTable::WINDIR};
constexpr FolderEntry kAppDataFolders[] = {&FolderTable::APPDATADIR, &FolderTable::CMNAPPDATADIR,
                                           &FolderTable::LOCALAPPDATADIR};
constexpr FolderEntry kSysFolders[] = {&FolderTable::SYSDIR, &FolderTable::SYSTEMDIR,
                                       &FolderTable::SYSTEM32DIR};

// ScanFile / CureFile on the file in each folder, then RunValueByData with each
// folder's full path of its bare name.
int FileAndStartup(Context& ctx, const std::vector<std::string>& folders, std::string_view name,
                   Mode mode) {
    const std::string bare = BareName(name);
    if (bare.empty()) return 0;
    int any = 0;
    for (const std::string& folder : folders) {
        const std::string file = InFolder(folder, name);
        if (mode == Mode::Scan ? platform::ScanFile(ctx, file) : platform::CureFile(ctx, file))
            any = 1;
    }
    for (const std::string& folder : folders) {
        if (RunValueByData(ctx, InFolder(folder, bare), mode)) any = 1;
    }
    return any;
}

}  // namespace

std::span<const RegistryPlace> RunKeyPlaces() {
    return kRunKeys;
}

std::span<const IniRunEntry> IniRunEntries() {
    return kIniRunEntries;
}

std::string ReadIniRunEntry(Context& ctx, const IniRunEntry& entry) {
    return text::Trim(
        FitBuffer(ctx.machine().profiles().GetString(entry.section, entry.key, "", kWinIni)));
}

int DeleteIniRunEntries(Context& ctx) {
    int all = 1;
    for (const IniRunEntry& e : kIniRunEntries) {
        if (ctx.machine().profiles().WriteString(e.section, e.key, std::nullopt, kWinIni) !=
            machine::ERROR_SUCCESS) {
            platform::ReportProfileString(ctx, platform::kFailed, e.section, e.key, "", kWinIni);
            all = 0;
        }
    }
    return all;
}

std::string RunValuePath(Context& ctx, HKEY hive, std::string_view key, std::string_view name) {
    std::string data;
    if (!platform::ReadStringValue(ctx, hive, key, name, data)) return {};
    std::string trimmed = text::Trim(data);
    if (trimmed.empty() || trimmed.find(' ') != std::string::npos) return {};
    // One quoted path is the same program as the bare path.
    if (trimmed.size() >= 2 && trimmed.front() == '"' && trimmed.back() == '"') {
        trimmed = trimmed.substr(1, trimmed.size() - 2);
    }
    std::string expanded = ctx.machine().system().ExpandEnvironment(trimmed);
    if (text::Cp949Length(expanded) + 1 > kMaxPath) return {};
    if (expanded.find(":\\") == std::string::npos) return {};
    return expanded;
}

bool IsOrphanRunData(Context& ctx, std::string_view data) {
    std::string_view path = text::TrimView(data);
    if (path.find(' ') != std::string_view::npos) return false;
    if (path.find(":\\") == std::string_view::npos) return false;
    while (!path.empty() && path.front() == '"') path.remove_prefix(1);
    while (!path.empty() && path.back() == '"') path.remove_suffix(1);
    return platform::MatchFile(ctx, path) == 0;
}

int RunValue(Context& ctx, std::string_view name, Mode mode) {
    const int values = ValuePlaces(ctx, kRunKeys, name, mode);
    const int links = NamedShortcuts(ctx, ShortcutFolderList::StartupFolders, name, mode);
    return values || links ? 1 : 0;
}

int ScanRunValueB(Context& ctx, std::string_view name) {
    int any = 0;
    if (NamesSomething(name)) {
        for (const RegistryPlace& p : kRunKeys) {
            if (!platform::ScanValue(ctx, p.hive, p.base, name)) continue;
            any = 1;
            const std::string path = RunValuePath(ctx, p.hive, p.base, name);
            if (!path.empty() && platform::ScanFile(ctx, path)) any = 1;
        }
    }
    if (NamedShortcuts(ctx, ShortcutFolderList::StartupFolders, name, Mode::Scan)) any = 1;
    return any;
}

int CureRunValueB(Context& ctx, std::string_view name) {
    int any = 0;
    if (NamesSomething(name)) {
        for (const RegistryPlace& p : kRunKeys) {
            const std::string path = RunValuePath(ctx, p.hive, p.base, name);
            if (!path.empty()) {
                platform::KillProcessRetry(ctx, path);
                if (platform::CureFile(ctx, path)) any = 1;
            }
            if (platform::CureValue(ctx, p.hive, p.base, name)) any = 1;
        }
    }
    if (NamedShortcuts(ctx, ShortcutFolderList::StartupFolders, name, Mode::Cure)) any = 1;
    return any;
}

int RunValueByData(Context& ctx, std::string_view text, Mode mode) {
    if (text.empty()) return 0;
    return mode == Mode::Scan ? ScanByData(ctx, text) : CureByData(ctx, text);
}

int RunValueByExactName(Context& ctx, std::string_view name, Mode mode) {
    return name.empty() ? 0 : RunKeysAndIniEntries(ctx, name, true, mode);
}

int ShellServiceObjectDelayLoad(Context& ctx, std::string_view text, Mode mode) {
    if (text.empty()) return 0;
    const HKEY lm = HKEY_LOCAL_MACHINE;
    const std::string_view key = kShellServiceObjectDelayLoadKey;
    const int n = mode == Mode::Scan ? platform::ScanValueByData(ctx, lm, key, text)
                                     : platform::CureValueByData(ctx, lm, key, text);
    return n > 0 ? 1 : 0;
}

int SharedTaskScheduler(Context& ctx, std::string_view name, Mode mode) {
    return ValuePlaces(ctx, kSharedTaskScheduler, name, mode);
}

int FileFromWin_(Context& ctx, std::string_view name, Mode mode) {
    return FileAndStartup(ctx, Folders(ctx, kWinFolders), name, mode);
}

int FileFromAppData_(Context& ctx, std::string_view name, Mode mode) {
    return FileAndStartup(ctx, Folders(ctx, kAppDataFolders), name, mode);
}

int ScanFileFromSys_(Context& ctx, std::string_view name) {
    const std::string bare = BareName(name);
    if (bare.empty()) return 0;
    int any = 0;
    for (const std::string& folder : Folders(ctx, kSysFolders)) {
        if (platform::ScanFile(ctx, InFolder(folder, name))) any = 1;
    }
    // The start-up places by full path in the system folder only.
    if (!ctx.folders().SYSDIR.empty() &&
        RunValueByData(ctx, InFolder(ctx.folders().SYSDIR, bare), Mode::Scan)) {
        any = 1;
    }
    if (RunValueByExactName(ctx, bare, Mode::Scan)) any = 1;
    return any;
}

int CureFileFromSys_(Context& ctx, std::string_view name) {
    const std::string bare = BareName(name);
    if (bare.empty()) return 0;
    int any = 0;
    const std::vector<std::string> folders = Folders(ctx, kSysFolders);
    for (const std::string& folder : folders) {
        if (platform::CureFile(ctx, InFolder(folder, name))) any = 1;
    }
    if (RunValueByExactName(ctx, bare, Mode::Cure)) any = 1;
    for (const std::string& folder : folders) {
        if (RunValueByData(ctx, InFolder(folder, bare), Mode::Cure)) any = 1;
    }
    return any;
}

int CheckRunValue(Context& ctx, Mode mode) {
    int any = 0;
    for (const RegistryPlace& p : kRunKeys) {
        const int n = platform::CountValues(ctx, p.hive, p.base);
        std::vector<std::string> orphans;
        int count = 0;
        for (int i = 0; i < n; ++i) {
            std::string name;
            if (ctx.registry().EnumValue(p.hive, p.base, static_cast<std::uint32_t>(i), name,
                                         nullptr) != machine::ERROR_SUCCESS) {
                continue;
            }
            std::string data;
            if (!platform::ReadStringValue(ctx, p.hive, p.base, name, data) || data.empty()) {
                continue;
            }
            if (!IsOrphanRunData(ctx, data)) continue;
            if (mode == Mode::Cure) {
                orphans.push_back(std::move(name));
            } else if (platform::ReportValue(ctx, platform::kFound, p.hive, p.base, name)) {
                ++count;
            }
        }
        // Deleting only after the listing keeps its indexes steady.
        for (const std::string& name : orphans) platform::CureValue(ctx, p.hive, p.base, name);
        count += static_cast<int>(orphans.size());
        if (count > 0) any = 1;
    }
    return any;
}

int CheckWinIniRun(Context& ctx, Mode mode) {
    bool suspicious = false;
    int recorded = 0;
    for (const IniRunEntry& e : kIniRunEntries) {
        const std::string value = ReadIniRunEntry(ctx, e);
        std::string rest = text::LowerAscii(value);
        for (std::string_view known : kKnownWinIniPrograms) {
            for (std::size_t at = rest.find(known); at != std::string::npos;
                 at = rest.find(known, at)) {
                rest.erase(at, known.size());
            }
        }
        if (text::TrimView(rest).empty()) continue;
        suspicious = true;
        if (mode == Mode::Scan && platform::ReportProfileString(ctx, platform::kFound, e.section,
                                                                e.key, value, kWinIni)) {
            recorded = 1;
        }
    }
    if (mode == Mode::Scan) return recorded;
    if (!suspicious) return 0;
    DeleteIniRunEntries(ctx);
    return 1;
}

int CheckSysIniShell(Context& ctx, Mode mode) {
    const std::string shell = ReadSystemIniShell(ctx);
    const std::string lower = text::LowerAscii(shell);
    if (lower.empty() || lower == "explorer.exe" ||
        lower == text::LowerAscii(ctx.folders().WINDIR + "\\explorer.exe")) {
        return 0;
    }
    if (mode == Mode::Scan)
        return platform::ReportProfileString(ctx, platform::kFound, "boot", "Shell", shell,
                                             kSystemIni);
    if (ctx.machine().profiles().WriteString("boot", "Shell", kStandardShell, kSystemIni) ==
        machine::ERROR_SUCCESS) {
        return 1;
    }
    platform::ReportProfileString(ctx, platform::kFailed, "boot", "Shell", kStandardShell,
                                  kSystemIni);
    return 0;
}

int CheckUserinitData(Context& ctx, Mode mode) {
    if (!platform::ValueExists(ctx, HKEY_LOCAL_MACHINE, kWinlogonKey, "Userinit")) return 0;
    const std::string standard = StandardUserinit(ctx);
    if (mode == Mode::Scan) {
        return platform::ScanValueIfDataLacks(ctx, HKEY_LOCAL_MACHINE, kWinlogonKey, "Userinit",
                                              standard);
    }
    return platform::CureStringValue(ctx, HKEY_LOCAL_MACHINE, kWinlogonKey, "Userinit", standard);
}

int CheckAppInit_DLLs(Context& ctx, Mode mode) {
    if (mode == Mode::Cure) {
        platform::CureStringValue(ctx, HKEY_LOCAL_MACHINE, kNtWindowsKey, "AppInit_DLLs", "");
        return 1;
    }
    std::string value;
    platform::ReadStringValue(ctx, HKEY_LOCAL_MACHINE, kNtWindowsKey, "AppInit_DLLs", value);
    value = text::Trim(value);
    ctx.Debug("AppInit_DLLs : " + value + "\n");
    if (value.empty()) return 0;
    return platform::ReportData(ctx, platform::kFound, HKEY_LOCAL_MACHINE, kNtWindowsKey,
                                "AppInit_DLLs", value);
}

}  // namespace veldan::commands
