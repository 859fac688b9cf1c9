// ActiveX controls and COM classes: the twelve trace places of a class
// identifier, controls with their download-cache record, the registration
// tool, kill bits and cookie blocks.

#include "commands/activex.h"

#include <array>

#include "commands/registry_keys.h"
#include "commands/registry_place.h"
#include "commands/shortcut_ops.h"
#include "platform/file_ops.h"
#include "platform/muicache.h"
#include "platform/registry_ops.h"
#include "text/strings.h"

namespace veldan::commands {
namespace {

using machine::ERROR_SUCCESS;
using platform::Mode;

// Keys of HKEY_CLASSES_ROOT that hold the class machinery and the shell's own
// types; a registration that names one of them as its ProgID names no key of its own.
constexpr std::array<std::string_view, 12> kStructuralClassKeys = {
    "CLSID",     "AppID",  "Interface", "TypeLib", "Component Categories", "PROTOCOLS", "MIME",
    "Installer", "Folder", "Directory", "Drive",   "AllFilesystemObjects"};

std::string Join(std::string_view base, std::string_view name) {
    std::string out(base);
    out += '\\';
    out += name;
    return out;
}

// The places a class registration names (place 1), read before anything is removed.
struct Registration {
    std::string appId;
    std::string server;
    std::string progId;
    std::string typeLib;
    std::string viProgId;
};

std::string ReadDefault(Context& ctx, std::string_view clsid, std::string_view sub) {
    std::string out;
    platform::ReadStringValue(ctx, HKEY_CLASSES_ROOT,
                              text::Format("CLSID\\%.*s\\%.*s", static_cast<int>(clsid.size()),
                                           clsid.data(), static_cast<int>(sub.size()), sub.data()),
                              "", out);
    return out;
}

// A GUID-named key (AppID, type library) named by the registration: only a
// well-formed identifier names one; anything else could climb to a shared key.
bool UsableGuidKey(Context& ctx, const std::string& text) {
    if (text.empty()) return false;
    if (IsWellFormedClsid(text)) return true;
    ctx.Debug("ComObject... not a class key... " + text + "\n");
    return false;
}

// The AppID key named by the registration: "AppID\\{GUID}" as registrations
// write it, or a bare well-formed identifier. Anything else could name a shared key.
bool UsableAppIdKey(Context& ctx, const std::string& text) {
    constexpr std::string_view kPrefix = "AppID\\";
    if (text.size() > kPrefix.size() && text::StartsWithNoCase(text, kPrefix) &&
        IsWellFormedClsid(std::string_view(text).substr(kPrefix.size()))) {
        return true;
    }
    return UsableGuidKey(ctx, text);
}

// A ProgID key named by the registration belongs to the class when it is one
// key name, not a file type or a key the class machinery relies on, and does not
// point at another class.
bool UsableProgIdKey(Context& ctx, const std::string& text, std::string_view clsid) {
    if (text.empty()) return false;
    bool usable = text.find('\\') == std::string::npos && text.front() != '.' && text != "*";
    for (std::string_view name : kStructuralClassKeys) {
        if (text::EqualsNoCase(text, name)) usable = false;
    }
    if (usable) {
        std::string named;
        if (platform::ReadStringValue(ctx, HKEY_CLASSES_ROOT, text + "\\CLSID", "", named)) {
            std::string_view t = text::TrimView(named);
            if (!t.empty() && !text::EqualsNoCase(t, clsid)) usable = false;
        }
    }
    if (!usable) ctx.Debug("ComObject... not a class key... " + text + "\n");
    return usable;
}

Registration ReadRegistration(Context& ctx, std::string_view clsid) {
    Registration r;
    r.appId = ReadDefault(ctx, clsid, "AppID");
    r.server = ReadDefault(ctx, clsid, "InprocServer32");
    r.progId = ReadDefault(ctx, clsid, "ProgID");
    r.typeLib = ReadDefault(ctx, clsid, "TypeLib");
    r.viProgId = ReadDefault(ctx, clsid, "VersionIndependentProgID");
    // What cannot be one of this class's own keys is dropped here, so that
    // scanning lists only what the cure would remove.
    if (!r.appId.empty() && !UsableAppIdKey(ctx, r.appId)) r.appId.clear();
    if (!r.progId.empty() && !UsableProgIdKey(ctx, r.progId, clsid)) r.progId.clear();
    if (!r.typeLib.empty() && !UsableGuidKey(ctx, r.typeLib)) r.typeLib.clear();
    if (!r.viProgId.empty() && !UsableProgIdKey(ctx, r.viProgId, clsid)) r.viProgId.clear();
    return r;
}

// A filter key of places 10 and 11 goes once nothing is left in it.
void DeleteFilterKeyIfEmpty(Context& ctx, std::string_view key) {
    if (platform::CountSubKeys(ctx, HKEY_CLASSES_ROOT, key) != 0) return;
    if (platform::CountValues(ctx, HKEY_CLASSES_ROOT, key) != 0) return;
    platform::DeleteEmptyKey(ctx, HKEY_CLASSES_ROOT, key);
}

// True when the text names a key below the base it is joined to: a text of
// nothing but backslashes would name the base itself.
bool NamesSubKey(std::string_view name) {
    return name.find_first_not_of('\\') != std::string_view::npos;
}

// Runs `op` with the name joined to the folder of each entry, skipping entries
// the table could not determine; 1 when any run returned nonzero.
template <typename Op>
int ForFolders(Context& ctx, std::initializer_list<std::string FolderTable::*> entries,
               std::string_view name, Op op) {
    int result = 0;
    for (auto entry : entries) {
        const std::string& folder = ctx.folders().*entry;
        if (folder.empty()) continue;
        if (op(platform::CombinePath(folder, name))) result = 1;
    }
    return result;
}

// The folders of AllAx, in search order; the root "C:\\" comes last.
template <typename Op>
int ForAllAxFolders(Context& ctx, std::string_view name, Op op) {
    int result = ForFolders(ctx,
                            {&FolderTable::AXCACHEDIR, &FolderTable::WINDIR, &FolderTable::SYSDIR,
                             &FolderTable::SYSTEMDIR, &FolderTable::SYSTEM32DIR,
                             &FolderTable::TEMPDIR, &FolderTable::WINTEMPDIR},
                            name, op);
    if (op(platform::CombinePath("C:\\", name))) result = 1;
    return result;
}

// ScanFile or CureFile, as the mode asks.
int FileOp(Context& ctx, std::string_view file, Mode mode) {
    return mode == Mode::Scan ? platform::ScanFile(ctx, file) : platform::CureFile(ctx, file);
}

// ScanControl or CureControl, as the mode asks.
int ControlOp(Context& ctx, std::string_view file, std::string_view clsid, Mode mode) {
    return mode == Mode::Scan ? ScanControl(ctx, file, clsid) : CureControl(ctx, file, clsid);
}

// The companion ".inf" in the download cache.
int Companion(Context& ctx, std::string_view controlName, Mode mode) {
    std::string inf = CompanionInfName(controlName);
    if (inf.empty()) return 0;
    return ForFolders(ctx, {&FolderTable::AXCACHEDIR}, inf,
                      [&](const std::string& p) { return FileOp(ctx, p, mode); });
}

// The control of that name in each folder AllAx looks in.
int AllAxFolders(Context& ctx, std::string_view name, std::string_view clsid, Mode mode) {
    return ForAllAxFolders(ctx, name,
                           [&](const std::string& p) { return ControlOp(ctx, p, clsid, mode); });
}

// The control of that name in the download cache.
int CachedControl(Context& ctx, std::string_view name, std::string_view clsid, Mode mode) {
    return ForFolders(ctx, {&FolderTable::AXCACHEDIR}, name,
                      [&](const std::string& f) { return ControlOp(ctx, f, clsid, mode); });
}

// Internet shortcuts whose address contains the text; 1 when any was found / removed.
int AddressShortcuts(Context& ctx, std::string_view address, Mode mode) {
    return SearchShortcuts(ctx, ShortcutSearch::InternetByAddress, address, mode) ? 1 : 0;
}

// Runs the registration tool of the system folder on a file that matches.
int RunRegistrationTool(Context& ctx, std::string_view param, const char* options) {
    if (!platform::MatchFile(ctx, param)) return 0;
    platform::FileParam fp = platform::SplitFileParam(param);
    return RunAndWait(ctx, text::Format("%s\\regsvr32.exe %s \"%s\"", ctx.folders().SYSDIR.c_str(),
                                        options, fp.path.c_str()));
}

// Where a class leaves traces besides its registration, in the order they
// are looked at: a key named by the identifier below `key`, the value named
// by it, a value whose data holds it, or the value named by it at each of the
// toolbar places.
enum class ComTrace { Key, Value, ValueByData, ToolbarValues };
struct ComPlace {
    ComTrace trace;
    machine::HKEY hive;
    std::string_view key;
};
constexpr ComPlace kComPlaces[] = {
    {ComTrace::Key, HKEY_LOCAL_MACHINE, kDistributionUnitsKey},
    {ComTrace::Key, HKEY_LOCAL_MACHINE, kBrowserHelperObjectsKey},
    {ComTrace::ToolbarValues, HKEY_LOCAL_MACHINE, {}},
    {ComTrace::Key, HKEY_LOCAL_MACHINE, kExplorerBarsKey},
    {ComTrace::Value, HKEY_LOCAL_MACHINE, kURLSearchHooksKey},
    {ComTrace::Value, HKEY_CURRENT_USER, kURLSearchHooksKey},
    {ComTrace::Value, HKEY_LOCAL_MACHINE, kApprovedKey},
    {ComTrace::Value, HKEY_LOCAL_MACHINE, kShellExecuteHooksKey},
    {ComTrace::Key, HKEY_LOCAL_MACHINE, kArpCacheKey},
    {ComTrace::ValueByData, HKEY_CLASSES_ROOT, kTextHtmlFilterKey},
    {ComTrace::ValueByData, HKEY_CLASSES_ROOT, kTextPlainFilterKey},
    {ComTrace::Key, HKEY_LOCAL_MACHINE, kInstalledComponentsKey},
    {ComTrace::Value, HKEY_LOCAL_MACHINE, kClsIdFeatureKey},
};

// The scan's or the cure's operation for each kind of trace.
struct ComOps {
    int (*key)(Context&, machine::HKEY, std::string_view subKey);
    int (*value)(Context&, machine::HKEY, std::string_view subKey, std::string_view name);
    int (*valueByData)(Context&, machine::HKEY, std::string_view subKey, std::string_view data);
    Mode mode;              // for the registration and the toolbar value places
    bool dropEmptyFilters;  // a MIME filter key left without values goes too
};

// The registration, then every place of kComPlaces; 1 when any returned nonzero.
int AtComPlaces(Context& ctx, std::string_view clsid, const ComOps& ops);

}  // namespace

// ---- class traces

int ComRegistration(Context& ctx, std::string_view clsid, Mode mode) {
    // Read first: the cure removes the CLSID key the places are read from.
    const Registration r = ReadRegistration(ctx, clsid);
    auto key = [&](std::string_view subKey) {
        return mode == Mode::Scan ? platform::ScanKey(ctx, HKEY_CLASSES_ROOT, subKey)
                                  : platform::CureKey(ctx, HKEY_CLASSES_ROOT, subKey);
    };
    const int result = key(Join("CLSID", clsid));
    if (!r.appId.empty()) key(r.appId);
    if (!r.server.empty()) FileOp(ctx, r.server, mode);
    if (!r.progId.empty()) key(r.progId);
    if (!r.typeLib.empty()) key(Join("TypeLib", r.typeLib));
    if (!r.viProgId.empty()) key(r.viProgId);
    return result ? 1 : 0;
}

namespace {

int AtComPlaces(Context& ctx, std::string_view clsid, const ComOps& ops) {
    // Every place is built by appending the identifier to a fixed key; only a
    // well-formed identifier keeps them below those keys.
    if (!CheckClsid(ctx, clsid)) return 0;
    int any = ComRegistration(ctx, clsid, ops.mode) != 0 ? 1 : 0;
    for (const ComPlace& p : kComPlaces) {
        int r = 0;
        switch (p.trace) {
            case ComTrace::Key:
                r = ops.key(ctx, p.hive, Join(p.key, clsid));
                break;
            case ComTrace::Value:
                r = ops.value(ctx, p.hive, p.key, clsid);
                break;
            case ComTrace::ValueByData:
                r = ops.valueByData(ctx, p.hive, p.key, clsid);
                if (ops.dropEmptyFilters) DeleteFilterKeyIfEmpty(ctx, p.key);
                break;
            case ComTrace::ToolbarValues:
                r = ValuePlaces(ctx, kToolbarValuePlaces, clsid, ops.mode);
                break;
        }
        if (r != 0) any = 1;
    }
    return any;
}

}  // namespace

int ScanComObject(Context& ctx, std::string_view clsid) {
    static constexpr ComOps kScan = {platform::ScanKey, platform::ScanValue,
                                     platform::ScanValueByData, Mode::Scan, false};
    return AtComPlaces(ctx, clsid, kScan);
}

int CureComObject(Context& ctx, std::string_view clsid) {
    static constexpr ComOps kCure = {platform::CureKey, platform::CureValue,
                                     platform::CureValueByData, Mode::Cure, true};
    return AtComPlaces(ctx, clsid, kCure);
}

// ---- controls

int ScanControl(Context& ctx, std::string_view fileParam, std::string_view clsid) {
    const int file = platform::ScanFile(ctx, fileParam);
    const int com = ScanComObject(ctx, clsid);
    return file || com ? 1 : 0;
}

std::vector<std::string> ReadDownloadCacheFiles(Context& ctx, std::string_view clsid) {
    std::vector<std::string> files;
    if (!IsWellFormedClsid(clsid)) return files;
    const std::string unit = Join(kDistributionUnitsKey, clsid);
    const std::string contains = unit + "\\Contains\\Files";
    machine::Registry& reg = ctx.registry();
    for (std::uint32_t i = 0;; ++i) {
        std::string name;
        machine::WinError e = reg.EnumValue(HKEY_LOCAL_MACHINE, contains, i, name, nullptr);
        if (e != ERROR_SUCCESS) break;
        files.push_back(std::move(name));
    }
    std::string inf;
    if (platform::ReadStringValue(ctx, HKEY_LOCAL_MACHINE, unit + "\\DownloadInformation", "INF",
                                  inf) &&
        !inf.empty()) {
        files.push_back(std::move(inf));
    }
    return files;
}

int CureControl(Context& ctx, std::string_view file, std::string_view clsid) {
    // The download-cache record, read while the Distribution Units key is there.
    const std::vector<std::string> record = ReadDownloadCacheFiles(ctx, clsid);
    // The machine layer offers no control-cache removal facility; that removal
    // is passed over as on a system without it.
    // The class traces, the control, and the record's setup information files.
    CureComObject(ctx, clsid);
    platform::CureFile(ctx, file);
    for (const std::string& path : record) {
        if (path.size() >= 4 &&
            text::EqualsNoCase(std::string_view(path).substr(path.size() - 4), ".inf")) {
            platform::CureFile(ctx, path);
        }
    }
    return 1;
}

std::string CompanionInfName(std::string_view controlName) {
    const std::string path = platform::SplitFileParam(controlName).path;
    // Three characters back from the end; a UTF-8 continuation byte is part of
    // the character before it.
    std::size_t cut = path.size();
    for (int n = 0; n < 3; ++n) {
        if (cut == 0) return {};
        --cut;
        while (cut > 0 && (static_cast<unsigned char>(path[cut]) & 0xC0) == 0x80) --cut;
    }
    return path.substr(0, cut) + "inf";
}

int RunAndWait(Context& ctx, std::string_view commandLine) {
    std::uint32_t exitCode = 0;
    const machine::WinError e = ctx.machine().launcher().RunAndWait(commandLine, exitCode);
    if (e == ERROR_SUCCESS) return 1;
    platform::LogLastError(ctx, "CreateProcess", e);
    return 0;
}

// ---- kill bits and cookie blocks

int QueryKillBit(Context& ctx, std::string_view clsid) {
    if (!CheckClsid(ctx, clsid)) return 0;
    machine::RegValue v;
    if (ctx.registry().QueryValue(HKEY_LOCAL_MACHINE, Join(kActiveXCompatibilityKey, clsid),
                                  kCompatibilityFlagsValue, v) != ERROR_SUCCESS) {
        return 0;
    }
    // Read into a four-byte buffer, whatever the value's type.
    if (v.data.size() > 4) return 0;
    std::uint32_t flags = 0;
    for (std::size_t i = v.data.size(); i-- > 0;) {
        flags = (flags << 8) | static_cast<unsigned char>(v.data[i]);
    }
    return flags == kKillBitFlag ? 1 : 0;
}

int SetKillBit(Context& ctx, std::string_view clsid, bool on) {
    if (!CheckClsid(ctx, clsid)) return 0;
    machine::Registry& reg = ctx.registry();
    if (reg.OpenKey(HKEY_LOCAL_MACHINE, kActiveXCompatibilityKey) != ERROR_SUCCESS) return 0;
    const std::string key = Join(kActiveXCompatibilityKey, clsid);
    if (reg.CreateKey(HKEY_LOCAL_MACHINE, key) != ERROR_SUCCESS) return 0;
    return reg.SetValue(HKEY_LOCAL_MACHINE, key, kCompatibilityFlagsValue,
                        machine::RegValue::Dword(on ? kKillBitFlag : 0)) == ERROR_SUCCESS
               ? 1
               : 0;
}

int DeleteKillBit(Context& ctx, std::string_view clsid) {
    if (!CheckClsid(ctx, clsid)) return 0;
    return ctx.registry().DeleteTree(HKEY_LOCAL_MACHINE, Join(kActiveXCompatibilityKey, clsid)) ==
                   ERROR_SUCCESS
               ? 1
               : 0;
}

int QueryCookieBlock(Context& ctx, std::string_view domain) {
    if (!NamesSubKey(domain)) return 0;
    std::uint32_t v = 0;
    if (!platform::ReadDwordValue(ctx, HKEY_CURRENT_USER, Join(kP3PHistoryKey, domain), "", v)) {
        return 0;
    }
    return v == kCookieBlockValue ? 1 : 0;
}

int SetCookieBlock(Context& ctx, std::string_view domain, bool on) {
    // A domain that names no key of its own would make the whole history the target.
    if (!NamesSubKey(domain)) return 0;
    machine::Registry& reg = ctx.registry();
    const std::string key = Join(kP3PHistoryKey, domain);
    if (!on) return reg.DeleteTree(HKEY_CURRENT_USER, key) == ERROR_SUCCESS ? 1 : 0;
    if (reg.CreateKey(HKEY_CURRENT_USER, key) != ERROR_SUCCESS) return 0;
    return reg.SetValue(HKEY_CURRENT_USER, key, "", machine::RegValue::Dword(kCookieBlockValue)) ==
                   ERROR_SUCCESS
               ? 1
               : 0;
}

// ---- command handlers

int ClsidOnly(Context& ctx, const std::vector<std::string>& p, Mode mode) {
    // Without a name of its own the key would be CLSID itself.
    if (!NamesSubKey(p[0])) return 0;
    const std::string key = Join("CLSID", p[0]);
    return mode == Mode::Scan ? platform::ScanKey(ctx, HKEY_CLASSES_ROOT, key)
                              : platform::CureKey(ctx, HKEY_CLASSES_ROOT, key);
}

int Clsid(Context& ctx, const std::vector<std::string>& p, Mode mode) {
    return mode == Mode::Scan ? ScanComObject(ctx, p[0]) : CureComObject(ctx, p[0]);
}

int Ax(Context& ctx, const std::vector<std::string>& p, Mode mode) {
    return ControlOp(ctx, p[0], p[1], mode);
}

int AllAx(Context& ctx, const std::vector<std::string>& p, Mode mode) {
    return AllAxFolders(ctx, p[0], p[1], mode);
}

int CureRegAx(Context& ctx, const std::vector<std::string>& p) {
    return RunRegistrationTool(ctx, p[0], "/s");
}

int ScanUnregFromAppData(Context& ctx, const std::vector<std::string>& p) {
    return ForFolders(
        ctx, {&FolderTable::APPDATADIR, &FolderTable::CMNAPPDATADIR, &FolderTable::LOCALAPPDATADIR},
        p[0], [&](const std::string& param) { return platform::ScanFile(ctx, param); });
}

int CureUnregFromAppData(Context& ctx, const std::vector<std::string>& p) {
    return ForFolders(
        ctx, {&FolderTable::APPDATADIR, &FolderTable::CMNAPPDATADIR, &FolderTable::LOCALAPPDATADIR},
        p[0], [&](const std::string& param) {
            int r = RunRegistrationTool(ctx, param, "/u /s");
            const std::string path = platform::SplitFileParam(param).path;
            r |= platform::CureModuleUsage(ctx, path);
            r |= platform::CureSharedDll(ctx, path);
            r |= platform::CureMuiCache(ctx, path);
            return r;
        });
}

int DType(Context& ctx, const std::vector<std::string>& p, Mode mode) {
    int r = CachedControl(ctx, p[0], p[1], mode);
    r |= AddressShortcuts(ctx, p[2], mode);
    r |= Companion(ctx, p[0], mode);
    return r;
}

int MType(Context& ctx, const std::vector<std::string>& p, Mode mode) {
    int r = CachedControl(ctx, p[0], p[1], mode);
    r |= AddressShortcuts(ctx, p[2], mode);
    r |= ForFolders(ctx, {&FolderTable::MYDOCDIR}, p[3],
                    [&](const std::string& f) { return FileOp(ctx, f, mode); });
    return r;
}

int WType(Context& ctx, const std::vector<std::string>& p, Mode mode) {
    int r = AllAxFolders(ctx, p[0], p[1], mode);
    r |= AddressShortcuts(ctx, p[2], mode);
    r |= ForFolders(ctx, {&FolderTable::WINDIR}, p[3], [&](const std::string& f) {
        return mode == Mode::Scan ? platform::ScanFolder(ctx, f) : platform::CureFolder(ctx, f);
    });
    r |= Companion(ctx, p[0], mode);
    return r;
}

int SType(Context& ctx, const std::vector<std::string>& p, Mode mode) {
    int r = AllAxFolders(ctx, p[0], p[1], mode);
    // Without a name of its own the Uninstall keys themselves would go.
    if (NamesSubKey(p[1])) r |= KeyPlaces(ctx, kUninstallKeyPlaces, p[1], mode) ? 1 : 0;
    r |= Companion(ctx, p[0], mode);
    return r;
}

}  // namespace veldan::commands
