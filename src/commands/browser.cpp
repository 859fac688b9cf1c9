#include "commands/browser.h"

#include <initializer_list>
#include <vector>

#include "commands/activex.h"
#include "commands/registry_keys.h"
#include "commands/registry_place.h"
#include "platform/file_ops.h"
#include "platform/registry_ops.h"
#include "platform/reports.h"
#include "text/codepage.h"
#include "text/strings.h"

namespace veldan::commands {
namespace {

constexpr std::string_view kUseMyStylesheet = "Use My Stylesheet";
constexpr std::string_view kUserStylesheet = "User Stylesheet";

// The names of a key's values, in enumeration order. A name that does not fit
// the 260-byte buffer is skipped with "SHEnumValue... " + key text.
std::vector<std::string> ValueNames(Context& ctx, HKEY hive, std::string_view key) {
    std::vector<std::string> names;
    const int count = platform::CountValues(ctx, hive, key);
    for (int i = 0; i < count; ++i) {
        std::string name;
        const machine::WinError err =
            ctx.registry().EnumValue(hive, key, static_cast<std::uint32_t>(i), name, nullptr);
        if (err == machine::ERROR_SUCCESS && text::Cp949Length(name) + 1 <= platform::kMaxPath) {
            names.push_back(std::move(name));
            continue;
        }
        std::string keyText;
        platform::MakeKeyText(ctx, hive, key, keyText);
        ctx.Debug("SHEnumValue... " + keyText + "\n");
    }
    return names;
}

// Records the value unless its text contains one of the patterns (a value that
// is not a readable string contains nothing); 1 when newly recorded.
int RecordUnlessContains(Context& ctx, HKEY hive, std::string_view key, std::string_view value,
                         std::initializer_list<std::string_view> patterns) {
    for (std::string_view pattern : patterns) {
        if (platform::ValueDataContains(ctx, hive, key, value, pattern)) return 0;
    }
    return platform::ReportValue(ctx, platform::kFound, hive, key, value);
}

// Records the value unless it is absent or an empty string; 1 when newly recorded.
int RecordUnlessEmpty(Context& ctx, HKEY hive, std::string_view key, std::string_view value) {
    if (!platform::ValueExists(ctx, hive, key, value)) return 0;
    std::string data;
    if (platform::ReadStringValue(ctx, hive, key, value, data) && data.empty()) return 0;
    return platform::ReportValue(ctx, platform::kFound, hive, key, value);
}

// The folder an environment variable of a server path stands for; "" for a
// variable we do not know (it is then left as written, as Windows leaves it).
std::string VariableFolder(const platform::FolderTable& f, std::string_view name) {
    if (text::EqualsNoCase(name, "SystemRoot") || text::EqualsNoCase(name, "windir")) {
        return f.WINDIR;
    }
    if (text::EqualsNoCase(name, "SystemDrive")) {
        return f.WINDIR.size() >= 2 && f.WINDIR[1] == ':' ? f.WINDIR.substr(0, 2) : "";
    }
    if (text::EqualsNoCase(name, "ProgramFiles")) return f.PFDIR;
    if (text::EqualsNoCase(name, "CommonProgramFiles")) return f.CFDIR;
    if (text::EqualsNoCase(name, "USERPROFILE")) return f.PROFILEDIR;
    if (text::EqualsNoCase(name, "APPDATA")) return f.APPDATADIR;
    if (text::EqualsNoCase(name, "TEMP") || text::EqualsNoCase(name, "TMP")) return f.TEMPDIR;
    return "";
}

// Expands the %NAME% references of an expandable registry string.
std::string ExpandVariables(const platform::FolderTable& folders, std::string_view text) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t open = text.find('%', i);
        const std::size_t close = open == std::string_view::npos ? open : text.find('%', open + 1);
        if (close == std::string_view::npos) break;
        out.append(text.substr(i, open - i));
        const std::string folder = VariableFolder(folders, text.substr(open + 1, close - open - 1));
        if (folder.empty()) {
            // Unknown: keep the first '%' and look for a reference from the second.
            out.append(text.substr(open, close - open));
            i = close;
            continue;
        }
        out.append(folder);
        i = close + 1;
    }
    out.append(text.substr(i));
    return out;
}

// True when the text names a file without any folder or drive.
bool IsBareFileName(std::string_view path) {
    return path.find_first_of("\\/:") == std::string_view::npos;
}

// The in-process server of a well-formed class names an existing file, looked
// up as the loader looks it up.
bool ServerFileExists(Context& ctx, std::string_view clsid, std::string server) {
    const std::string key = "CLSID\\" + std::string(clsid) + "\\InprocServer32";
    machine::RegValue raw;
    if (ctx.registry().QueryValue(HKEY_CLASSES_ROOT, key, "", raw) == machine::ERROR_SUCCESS &&
        raw.type == machine::REG_EXPAND_SZ) {
        server = ExpandVariables(ctx.folders(), server);
    }
    if (!IsBareFileName(server)) return platform::MatchFile(ctx, server) != 0;
    for (const std::string* folder : {&ctx.folders().SYSDIR, &ctx.folders().WINDIR}) {
        if (folder->empty()) continue;
        if (platform::MatchFile(ctx, platform::CombinePath(*folder, server))) return true;
    }
    return false;
}

const UrlPrefixPlace kPrefixPlaces[] = {
    {kDefaultPrefixKey, "", "http://"}, {kPrefixesKey, "www", "http://"},
    {kPrefixesKey, "home", "http://"},  {kPrefixesKey, "mosaic", "http://"},
    {kPrefixesKey, "ftp", "ftp://"},    {kPrefixesKey, "gopher", "gopher://"},
};

struct StyleValue {
    HKEY hive;
    std::string_view value;
};

// The four style-sheet values, in the order they are looked at and removed.
constexpr StyleValue kStyleValues[] = {
    {HKEY_LOCAL_MACHINE, kUseMyStylesheet},
    {HKEY_CURRENT_USER, kUseMyStylesheet},
    {HKEY_LOCAL_MACHINE, kUserStylesheet},
    {HKEY_CURRENT_USER, kUserStylesheet},
};

int ScanStartSearchPages(Context& ctx) {
    const HKEY lm = HKEY_LOCAL_MACHINE;
    const HKEY cu = HKEY_CURRENT_USER;
    const std::string blank = BlankLocalPage(ctx.folders());
    const std::string blankEnv = BlankLocalPageEnv(ctx.folders());
    int result = 0;
    result |= RecordUnlessContains(
        ctx, lm, kIEMainKey, "Default_Page_URL",
        {kStockHomePage6, kStockHomePage55, kKoreanPortalHome, kSoftAdminPage});
    result |= RecordUnlessContains(ctx, lm, kIEMainKey, "Default_Search_URL", {kStockSearchPage});
    result |= RecordUnlessContains(ctx, lm, kIEMainKey, "Local Page", {blankEnv, blank});
    result |= RecordUnlessContains(ctx, lm, kIEMainKey, "Search Page", {kStockSearchPage});
    result |= RecordUnlessContains(ctx, lm, kIEMainKey, "Start Page", {kStockStartPage});
    result |= RecordUnlessEmpty(ctx, lm, kIESearchKey, "");
    result |=
        RecordUnlessContains(ctx, lm, kIESearchKey, "CustomizeSearch", {kStockSearchCustomizePage});
    result |=
        RecordUnlessContains(ctx, lm, kIESearchKey, "SearchAssistant", {kStockSearchAssistantPage});
    result |= RecordUnlessEmpty(ctx, lm, kIESearchUrlKey, "");
    result |= platform::ScanValue(ctx, cu, kIEMainKey, "Default_Page_URL");
    result |= platform::ScanValue(ctx, cu, kIEMainKey, "Default_Search_URL");
    result |= RecordUnlessContains(ctx, cu, kIEMainKey, "Local Page", {blank});
    result |= RecordUnlessContains(ctx, cu, kIEMainKey, "Search Page", {kStockSearchPage});
    result |= platform::ScanKey(ctx, cu, kIESearchKey);
    result |= RecordUnlessEmpty(ctx, cu, kIESearchUrlKey, "");
    return result ? 1 : 0;
}

void RepairStartSearchPages(Context& ctx) {
    const HKEY lm = HKEY_LOCAL_MACHINE;
    const HKEY cu = HKEY_CURRENT_USER;
    const std::string blank = BlankLocalPage(ctx.folders());
    const std::string blankEnv = BlankLocalPageEnv(ctx.folders());
    platform::CureStringValue(ctx, lm, kIEMainKey, "Default_Page_URL", kStockHomePage6);
    platform::CureStringValue(ctx, lm, kIEMainKey, "Default_Search_URL", kStockSearchPage);
    platform::CureStringValue(ctx, lm, kIEMainKey, "Local Page", blankEnv);
    platform::CureStringValue(ctx, lm, kIEMainKey, "Search Page", kStockSearchPage);
    platform::CureStringValue(ctx, lm, kIEMainKey, "Start Page", kStockStartPage);
    platform::CureStringValue(ctx, lm, kIESearchKey, "", "");
    platform::CureStringValue(ctx, lm, kIESearchKey, "CustomizeSearch", kStockSearchCustomizePage);
    platform::CureStringValue(ctx, lm, kIESearchKey, "SearchAssistant", kStockSearchAssistantPage);
    platform::CureStringValue(ctx, lm, kIESearchUrlKey, "", "");
    platform::CureValue(ctx, cu, kIEMainKey, "Default_Page_URL");
    platform::CureValue(ctx, cu, kIEMainKey, "Default_Search_URL");
    platform::CureStringValue(ctx, cu, kIEMainKey, "Local Page", blank);
    platform::CureStringValue(ctx, cu, kIEMainKey, "Search Page", kStockSearchPage);
    platform::CureKey(ctx, cu, kIESearchKey);
    platform::CureStringValue(ctx, cu, kIESearchUrlKey, "", "");
}

}  // namespace

std::string BlankLocalPage(const platform::FolderTable& folders) {
    return folders.SYSDIR + "\\blank.htm";
}

std::string BlankLocalPageEnv(const platform::FolderTable& folders) {
    std::string page = text::LowerAscii(BlankLocalPage(folders));
    const std::string windir = text::LowerAscii(folders.WINDIR);
    if (windir.empty()) return page;
    const std::size_t at = page.find(windir);
    if (at != std::string::npos) page.replace(at, windir.size(), "%SystemRoot%");
    return page;
}

const UrlPrefixPlace& PrefixPlace(UrlPrefix prefix) {
    return kPrefixPlaces[static_cast<int>(prefix)];
}

bool IsHealthyClsid(Context& ctx, std::string_view name) {
    if (!CheckClsid(ctx, name)) return false;
    std::string server;
    platform::ReadStringValue(ctx, HKEY_CLASSES_ROOT,
                              "CLSID\\" + std::string(name) + "\\InprocServer32", "", server);
    server = text::Trim(server);
    if (server.empty()) return true;
    return ServerFileExists(ctx, name, std::move(server));
}

int CheckStartSearchPages(Context& ctx, Mode mode) {
    if (mode == Mode::Scan) return ScanStartSearchPages(ctx);
    RepairStartSearchPages(ctx);
    return 1;
}

int CheckPrefix(Context& ctx, Mode mode) {
    int result = 0;
    for (const UrlPrefixPlace& place : kPrefixPlaces) {
        if (mode == Mode::Cure) {
            platform::CureStringValue(ctx, HKEY_LOCAL_MACHINE, place.key, place.value,
                                      place.standard);
            continue;
        }
        std::string data;
        if (platform::ReadStringValue(ctx, HKEY_LOCAL_MACHINE, place.key, place.value, data) &&
            data == place.standard) {
            continue;
        }
        result |= platform::ReportValue(ctx, platform::kFound, HKEY_LOCAL_MACHINE, place.key,
                                        place.value);
    }
    return mode == Mode::Cure ? 1 : (result ? 1 : 0);
}

int ScanUrlPrefix(Context& ctx, UrlPrefix prefix, std::string_view text) {
    const UrlPrefixPlace& place = PrefixPlace(prefix);
    return platform::ScanValueIfDataContains(ctx, HKEY_LOCAL_MACHINE, place.key, place.value, text);
}

int CureUrlPrefix(Context& ctx, UrlPrefix prefix) {
    const UrlPrefixPlace& place = PrefixPlace(prefix);
    return platform::CureStringValue(ctx, HKEY_LOCAL_MACHINE, place.key, place.value,
                                     place.standard);
}

int CheckToolbar(Context& ctx, Mode mode) {
    int count = 0;
    for (const std::string& stored : ValueNames(ctx, HKEY_LOCAL_MACHINE, kIEToolBarKey)) {
        const std::string name = text::UpperAscii(text::Trim(stored));
        if (name.empty() || name == kStockToolbarBand) continue;
        if (IsHealthyClsid(ctx, name)) continue;
        // The value is recorded and removed under the name it is stored with:
        // the trimmed name may name no value at all.
        if (mode == Mode::Cure) {
            ValuePlaces(ctx, kToolbarValuePlaces, stored, Mode::Cure);
            ++count;
        } else if (platform::ReportValue(ctx, platform::kFound, HKEY_LOCAL_MACHINE, kIEToolBarKey,
                                         stored)) {
            ++count;
        }
    }
    return count;
}

int CheckBHO(Context& ctx, Mode mode) {
    std::vector<std::string> names;
    platform::EnumSubKeyNames(ctx, HKEY_LOCAL_MACHINE, kBrowserHelperObjectsKey, names);
    int count = 0;
    for (const std::string& name : names) {
        if (IsHealthyClsid(ctx, name)) continue;
        const std::string key = std::string(kBrowserHelperObjectsKey) + "\\" + name;
        if (mode == Mode::Cure) {
            platform::CureKey(ctx, HKEY_LOCAL_MACHINE, key);
            ++count;
        } else if (platform::ReportKey(ctx, platform::kFound, HKEY_LOCAL_MACHINE, key)) {
            ++count;
        }
    }
    return count;
}

int CheckURLSearchHooks(Context& ctx, Mode mode) {
    int result = 0;
    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        for (const std::string& name : ValueNames(ctx, hive, kURLSearchHooksKey)) {
            if (IsHealthyClsid(ctx, name)) continue;
            result |= mode == Mode::Cure ? platform::CureValue(ctx, hive, kURLSearchHooksKey, name)
                                         : platform::ReportValue(ctx, platform::kFound, hive,
                                                                 kURLSearchHooksKey, name);
        }
    }
    return result ? 1 : 0;
}

int CheckUserStyleSheet(Context& ctx, Mode mode) {
    int result = 0;
    for (const StyleValue& v : kStyleValues) {
        result |= mode == Mode::Cure ? platform::CureValue(ctx, v.hive, kIEStylesKey, v.value)
                                     : platform::ScanValue(ctx, v.hive, kIEStylesKey, v.value);
    }
    return result ? 1 : 0;
}

int ScanUserStylesheet(Context& ctx, std::string_view text) {
    int result = 0;
    for (HKEY hive : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        result |= platform::ScanValueIfDataContains(ctx, hive, kIEStylesKey, kUserStylesheet, text);
    }
    return result ? 1 : 0;
}

int CureUserStylesheet(Context& ctx, std::string_view text) {
    if (!platform::ValueDataContains(ctx, HKEY_LOCAL_MACHINE, kIEStylesKey, kUserStylesheet,
                                     text) &&
        !platform::ValueDataContains(ctx, HKEY_CURRENT_USER, kIEStylesKey, kUserStylesheet, text)) {
        return 0;
    }
    return CheckUserStyleSheet(ctx, Mode::Cure);
}

int CheckProtocolAbout(Context& ctx, Mode mode) {
    std::string clsid;
    platform::ReadStringValue(ctx, HKEY_CLASSES_ROOT, kAboutHandlerKey, "CLSID", clsid);
    const int changed = text::UpperAscii(clsid) != kStockAboutHandler ? 1 : 0;
    if (mode == Mode::Cure) {
        platform::CureStringValue(ctx, HKEY_CLASSES_ROOT, kAboutHandlerKey, "CLSID",
                                  kStockAboutHandler);
    }
    return changed;
}

int CheckMimeFilter(Context& ctx, std::string_view filterKey, Mode mode) {
    std::string clsid;
    if (mode == Mode::Scan) {
        if (!platform::ScanKey(ctx, HKEY_CLASSES_ROOT, filterKey)) return 0;
        const int result = platform::ScanValue(ctx, HKEY_CLASSES_ROOT, filterKey, "CLSID");
        if (result &&
            platform::ReadStringValue(ctx, HKEY_CLASSES_ROOT, filterKey, "CLSID", clsid) &&
            IsWellFormedClsid(clsid)) {
            ScanComObject(ctx, clsid);
        }
        return result;
    }
    if (!platform::KeyExists(ctx, HKEY_CLASSES_ROOT, filterKey)) return 0;
    if (platform::ReadStringValue(ctx, HKEY_CLASSES_ROOT, filterKey, "CLSID", clsid) &&
        IsWellFormedClsid(clsid)) {
        CureComObject(ctx, clsid);
    }
    return platform::CureKey(ctx, HKEY_CLASSES_ROOT, filterKey);
}

}  // namespace veldan::commands
