#include "platform/registry_ops.h"

#include <cstdint>

#include "platform/reports.h"
#include "text/codepage.h"
#include "text/strings.h"

namespace veldan::platform {
namespace {

using machine::ERROR_NO_MORE_ITEMS;
using machine::ERROR_SUCCESS;
using machine::RegKeyInfo;
using machine::RegValue;

bool IsStringType(std::uint32_t type) {
    return type == machine::REG_SZ || type == machine::REG_EXPAND_SZ;
}

// The size Windows reports for the value's data: CP949 bytes for the string
// types (the machine keeps them as UTF-8), the raw bytes for the others.
std::size_t DataSize(const RegValue& v) {
    if (IsStringType(v.type) || v.type == machine::REG_MULTI_SZ) return text::Cp949Length(v.data);
    return v.data.size();
}

// True when a name (plus its terminating NUL) fits a buffer of kMaxPath characters.
bool NameFits(std::string_view name) {
    return text::Cp949Length(name) + 1 <= kMaxPath;
}

// True when a string value, read whole into kMaxPath bytes, ends up a complete
// NUL-terminated text: the stored data fits and so do its text and the NUL.
bool StringFits(const RegValue& v) {
    return DataSize(v) <= kMaxPath && NameFits(v.AsString());
}

// The sub-key path names the root itself.
bool IsRootPath(std::string_view subKey) {
    return subKey.find_first_not_of('\\') == std::string_view::npos;
}

std::string ChildPath(std::string_view parent, std::string_view name) {
    std::string path(parent);
    if (!path.empty() && path.back() != '\\') path += '\\';
    path.append(name);
    return path;
}

// English system messages for the codes the machine reports, as FormatMessage
// gives them (with their "\r\n").
std::string_view SystemMessage(machine::WinError error) {
    switch (error) {
        case 0:
            return "The operation completed successfully.\r\n";
        case 1:
            return "Incorrect function.\r\n";
        case 2:
            return "The system cannot find the file specified.\r\n";
        case 3:
            return "The system cannot find the path specified.\r\n";
        case 4:
            return "The system cannot open the file.\r\n";
        case 5:
            return "Access is denied.\r\n";
        case 6:
            return "The handle is invalid.\r\n";
        case 8:
            return "Not enough storage is available to process this command.\r\n";
        case 13:
            return "The data is invalid.\r\n";
        case 17:
            return "The system cannot move the file to a different disk drive.\r\n";
        case 29:
            return "The system cannot write to the specified device.\r\n";
        case 30:
            return "The system cannot read from the specified device.\r\n";
        case 31:
            return "A device attached to the system is not functioning.\r\n";
        case 32:
            return "The process cannot access the file because it is being used by another "
                   "process.\r\n";
        case 50:
            return "The request is not supported.\r\n";
        case 80:
            return "The file exists.\r\n";
        case 87:
            return "The parameter is incorrect.\r\n";
        case 112:
            return "There is not enough space on the disk.\r\n";
        case 120:
            return "This function is not supported on this system.\r\n";
        case 122:
            return "The data area passed to a system call is too small.\r\n";
        case 123:
            return "The filename, directory name, or volume label syntax is incorrect.\r\n";
        case 145:
            return "The directory is not empty.\r\n";
        case 161:
            return "The specified path is invalid.\r\n";
        case 183:
            return "Cannot create a file when that file already exists.\r\n";
        case 206:
            return "The filename or extension is too long.\r\n";
        case 234:
            return "More data is available.\r\n";
        case 259:
            return "No more data is available.\r\n";
        case 267:
            return "The directory name is invalid.\r\n";
        case 1011:
            return "The configuration registry key could not be opened.\r\n";
        case 1012:
            return "The configuration registry key could not be read.\r\n";
        case 1013:
            return "The configuration registry key could not be written.\r\n";
        case 1018:
            return "Illegal operation attempted on a registry key that has been marked for "
                   "deletion.\r\n";
        case 1300:
            return "Not all privileges referenced are assigned to the caller.\r\n";
        case 1313:
            return "A specified privilege does not exist.\r\n";
        default:
            return "";
    }
}

struct HiveName {
    HKEY hive;
    std::string_view text;
};

// In the order STR2HKEY tries them.
constexpr HiveName kHives[] = {
    {machine::HKEY_LOCAL_MACHINE, "HKLM"},
    {machine::HKEY_CURRENT_USER, "HKCU"},
    {machine::HKEY_CLASSES_ROOT, "HKCR"},
    {machine::HKEY_USERS, "HKU"},
};

}  // namespace

// ---- hive names and trace texts

int HKEY2STR(Context& ctx, HKEY hive, std::string& out) {
    for (const HiveName& h : kHives) {
        if (h.hive == hive) {
            out.assign(h.text);
            return 1;
        }
    }
    out.clear();
    ctx.Debug(text::Format("HKEY2STR... %d\n", static_cast<int>(static_cast<std::int32_t>(hive))));
    return 0;
}

int STR2HKEY(Context& ctx, std::string_view text, HKEY& out) {
    for (const HiveName& h : kHives) {
        if (text::EqualsNoCase(text, h.text)) {
            out = h.hive;
            return 1;
        }
    }
    std::string line = "STR2HKEY... ";
    line.append(text).append("\n");
    ctx.Debug(line);
    return 0;
}

int MakeKeyText(Context& ctx, HKEY hive, std::string_view subKey, std::string& out) {
    std::string hiveText;
    if (!HKEY2STR(ctx, hive, hiveText)) return 0;
    out = hiveText;
    out += '\\';
    out.append(subKey);
    return 1;
}

int MakeValueText(Context& ctx, HKEY hive, std::string_view subKey, std::string_view valueName,
                  std::string& out) {
    std::string key;
    if (!MakeKeyText(ctx, hive, subKey, key)) return 0;
    out = std::move(key);
    out.append(" \"").append(valueName).append("\"");
    return 1;
}

int MakeDataText(Context& ctx, HKEY hive, std::string_view subKey, std::string_view valueName,
                 std::string_view data, std::string& out) {
    std::string key;
    if (!MakeKeyText(ctx, hive, subKey, key)) return 0;
    out = std::move(key);
    out.append(" \"").append(valueName).append("\"=\"").append(data).append("\"");
    return 1;
}

// ---- single-key operations

int KeyExists(Context& ctx, HKEY hive, std::string_view subKey) {
    return ctx.registry().OpenKey(hive, subKey) == ERROR_SUCCESS ? 1 : 0;
}

int ValueExists(Context& ctx, HKEY hive, std::string_view subKey, std::string_view valueName) {
    RegValue v;
    return ctx.registry().QueryValue(hive, subKey, valueName, v) == ERROR_SUCCESS ? 1 : 0;
}

int CountSubKeys(Context& ctx, HKEY hive, std::string_view subKey) {
    RegKeyInfo info;
    if (ctx.registry().QueryInfoKey(hive, subKey, info) != ERROR_SUCCESS) return -1;
    return static_cast<int>(info.subKeys);
}

int CountValues(Context& ctx, HKEY hive, std::string_view subKey) {
    RegKeyInfo info;
    if (ctx.registry().QueryInfoKey(hive, subKey, info) != ERROR_SUCCESS) return -1;
    return static_cast<int>(info.values);
}

int ReadStringValue(Context& ctx, HKEY hive, std::string_view subKey, std::string_view valueName,
                    std::string& out) {
    out.clear();
    RegValue v;
    if (ctx.registry().QueryValue(hive, subKey, valueName, v) != ERROR_SUCCESS) return 0;
    if (!IsStringType(v.type) || !StringFits(v)) return 0;
    out = v.AsString();
    return 1;
}

int ReadDwordValue(Context& ctx, HKEY hive, std::string_view subKey, std::string_view valueName,
                   std::uint32_t& out) {
    RegValue v;
    if (ctx.registry().QueryValue(hive, subKey, valueName, v) != ERROR_SUCCESS) return 0;
    if (v.type != machine::REG_DWORD || v.data.size() > 4) return 0;
    std::uint32_t n = 0;
    for (std::size_t i = v.data.size(); i-- > 0;) {
        n = (n << 8) | static_cast<unsigned char>(v.data[i]);
    }
    out = n;
    return 1;
}

int WriteStringValue(Context& ctx, HKEY hive, std::string_view subKey, std::string_view valueName,
                     std::string_view text) {
    if (ctx.registry().CreateKey(hive, subKey) != ERROR_SUCCESS) return 0;
    RegValue v;
    v.type = machine::REG_SZ;
    v.data.assign(text);  // the text's bytes, without a terminating NUL
    return ctx.registry().SetValue(hive, subKey, valueName, v) == ERROR_SUCCESS ? 1 : 0;
}

int DeleteValueIfPresent(Context& ctx, HKEY hive, std::string_view subKey,
                         std::string_view valueName) {
    if (!ValueExists(ctx, hive, subKey, valueName)) return 1;
    return ctx.registry().DeleteValue(hive, subKey, valueName) == ERROR_SUCCESS ? 1 : 0;
}

int DeleteEmptyKey(Context& ctx, HKEY hive, std::string_view subKey) {
    return ctx.registry().DeleteKey(hive, subKey) == ERROR_SUCCESS ? 1 : 0;
}

// ---- diagnostics and paths

void LogLastError(Context& ctx, std::string_view operation, machine::WinError error) {
    std::string line(operation);
    line += "() error... ";
    std::string_view message = SystemMessage(error);
    if (!message.empty()) {
        line.append(message);
        line += '\n';
    }
    ctx.Debug(line);
}

namespace {

// The long or the short form of a path (`form` names the file-system call).
int ToPathForm(Context& ctx, std::string_view path, std::string& out,
               machine::WinError (machine::FileSystem::*form)(std::string_view, std::string&)
                   const) {
    out.clear();
    std::string result;
    if ((ctx.files().*form)(path, result) != ERROR_SUCCESS) return 0;
    // A path that does not fit the buffer is not copied at all.
    if (!NameFits(result)) return 0;
    out = std::move(result);
    return out.empty() ? 0 : 1;
}

}  // namespace

int ToLongPath(Context& ctx, std::string_view path, std::string& out) {
    return ToPathForm(ctx, path, out, &machine::FileSystem::GetLongPathName);
}

int ToShortPath(Context& ctx, std::string_view path, std::string& out) {
    return ToPathForm(ctx, path, out, &machine::FileSystem::GetShortPathName);
}

// ---- enumeration and tree deletion

int EnumSubKeyNames(Context& ctx, HKEY hive, std::string_view subKey,
                    std::vector<std::string>& out) {
    out.clear();
    int n = CountSubKeys(ctx, hive, subKey);
    if (n <= 0) return 0;
    if (!KeyExists(ctx, hive, subKey)) return 0;
    for (int i = 0; i < n; ++i) {
        std::string name;
        machine::WinError e =
            ctx.registry().EnumKey(hive, subKey, static_cast<std::uint32_t>(i), name);
        if (e == ERROR_SUCCESS && NameFits(name)) {
            out.push_back(std::move(name));
            continue;
        }
        std::string line = "RegEnumKey... ";
        std::string keyText;
        MakeKeyText(ctx, hive, subKey, keyText);
        line.append(keyText).append("\n");
        ctx.Debug(line);
    }
    return static_cast<int>(out.size());
}

int FindValuesByData(Context& ctx, HKEY hive, std::string_view subKey, std::string_view data,
                     bool exact, bool cure) {
    int n = CountValues(ctx, hive, subKey);
    if (n <= 0 || !KeyExists(ctx, hive, subKey)) return 0;
    std::vector<std::string> names;
    for (int i = 0; i < n; ++i) {
        std::string name;
        RegValue v;
        machine::WinError e =
            ctx.registry().EnumValue(hive, subKey, static_cast<std::uint32_t>(i), name, &v);
        if (e != ERROR_SUCCESS || !NameFits(name) || DataSize(v) > kMaxPath ||
            (IsStringType(v.type) && !StringFits(v))) {
            std::string line = "SHEnumValue... ";
            std::string keyText;
            MakeKeyText(ctx, hive, subKey, keyText);
            line.append(keyText).append("\n");
            ctx.Debug(line);
            continue;
        }
        if (!IsStringType(v.type)) continue;
        std::string stored = v.AsString();
        bool match = exact ? text::EqualsNoCase(stored, data) : text::ContainsNoCase(stored, data);
        if (!match) continue;
        if (cure) {
            names.push_back(std::move(name));
        } else if (ReportData(ctx, kFound, hive, subKey, name, stored)) {
            names.push_back(std::move(name));
        }
    }
    if (cure) {
        // Deleting only now keeps the enumeration's indexes steady.
        for (const std::string& name : names) CureValue(ctx, hive, subKey, name);
    }
    return static_cast<int>(names.size());
}

int ValueDataContains(Context& ctx, HKEY hive, std::string_view subKey, std::string_view valueName,
                      std::string_view pattern) {
    std::string stored;
    if (!ReadStringValue(ctx, hive, subKey, valueName, stored)) return 0;
    return text::ContainsNoCase(stored, pattern) ? 1 : 0;
}

int SaveKeySecurity(Context& ctx, HKEY hive, std::string_view subKey, machine::KeySecurity& out) {
    machine::KeySecurity saved;
    if (ctx.registry().GetKeySecurity(hive, subKey, saved) != ERROR_SUCCESS) return 0;
    out = saved;
    return 1;
}

int ApplyKeySecurity(Context& ctx, HKEY hive, std::string_view subKey,
                     const machine::KeySecurity& security, bool recursive) {
    // The root itself is never changed: a whole hive's rights are not ours to take.
    if (IsRootPath(subKey)) return 0;
    machine::Registry& reg = ctx.registry();
    if (reg.OpenKey(hive, subKey) != ERROR_SUCCESS) return 0;
    if (reg.SetKeySecurity(hive, subKey, security) != ERROR_SUCCESS) return 0;
    if (recursive) {
        RegKeyInfo info;
        if (reg.QueryInfoKey(hive, subKey, info) == ERROR_SUCCESS) {
            for (std::uint32_t i = 0; i < info.subKeys; ++i) {
                std::string name;
                machine::WinError e = reg.EnumKey(hive, subKey, i, name);
                if (e == ERROR_NO_MORE_ITEMS) break;
                if (e != ERROR_SUCCESS) continue;
                ApplyKeySecurity(ctx, hive, ChildPath(subKey, name), security, true);
            }
        }
    }
    return 1;
}

int DeleteKeyTree(Context& ctx, HKEY hive, std::string_view subKey) {
    if (!KeyExists(ctx, hive, subKey)) return 1;
    int result = 0;
    if (IsRootPath(subKey)) {
        // A root cannot be deleted; its tree and its rights are left alone.
        result = 0;
    } else if (ctx.machine().system().Family() == machine::OsFamily::Win9x) {
        result = ctx.registry().DeleteTree(hive, subKey) == ERROR_SUCCESS ? 1 : 0;
    } else {
        machine::KeySecurity saved;
        bool haveSaved = SaveKeySecurity(ctx, hive, subKey, saved) != 0;
        ApplyKeySecurity(ctx, hive, subKey, machine::KeySecurity::FullControl(), true);
        result = ctx.registry().DeleteTree(hive, subKey) == ERROR_SUCCESS ? 1 : 0;
        // When the key is still there, it gets its own rights back; its
        // sub-keys keep full control.
        if (haveSaved && KeyExists(ctx, hive, subKey)) {
            ApplyKeySecurity(ctx, hive, subKey, saved, false);
        }
    }
    if (!result) ReportKey(ctx, kFailed, hive, subKey);
    return result;
}

// ---- scan and cure operations

int ScanKey(Context& ctx, HKEY hive, std::string_view subKey) {
    if (!KeyExists(ctx, hive, subKey)) return 0;
    return ReportKey(ctx, kFound, hive, subKey);
}

int CureKey(Context& ctx, HKEY hive, std::string_view subKey) {
    // DeleteKeyTree records the failure itself.
    return DeleteKeyTree(ctx, hive, subKey);
}

int ScanValue(Context& ctx, HKEY hive, std::string_view subKey, std::string_view valueName) {
    if (!ValueExists(ctx, hive, subKey, valueName)) return 0;
    return ReportValue(ctx, kFound, hive, subKey, valueName);
}

int CureValue(Context& ctx, HKEY hive, std::string_view subKey, std::string_view valueName) {
    if (DeleteValueIfPresent(ctx, hive, subKey, valueName)) return 1;
    ReportValue(ctx, kFailed, hive, subKey, valueName);
    return 0;
}

int ScanValueByData(Context& ctx, HKEY hive, std::string_view subKey, std::string_view data) {
    return FindValuesByData(ctx, hive, subKey, data, false, false);
}

int CureValueByData(Context& ctx, HKEY hive, std::string_view subKey, std::string_view data) {
    return FindValuesByData(ctx, hive, subKey, data, false, true);
}

int ScanKeyByData(Context& ctx, HKEY hive, std::string_view subKey, std::string_view data) {
    return ScanValueByData(ctx, hive, subKey, data);
}

int CureKeyByData(Context& ctx, HKEY hive, std::string_view subKey, std::string_view data) {
    if (FindValuesByData(ctx, hive, subKey, data, false, true) <= 0) return 0;
    return CureKey(ctx, hive, subKey);
}

int CureEmptyKey(Context& ctx, HKEY hive, std::string_view subKey) {
    // A key that is not there is nothing to do, as for the other cures.
    if (!KeyExists(ctx, hive, subKey)) return 1;
    if (DeleteEmptyKey(ctx, hive, subKey)) return 1;
    ReportKey(ctx, kFailed, hive, subKey);
    return 0;
}

int ScanValueByExactData(Context& ctx, HKEY hive, std::string_view subKey, std::string_view data) {
    return FindValuesByData(ctx, hive, subKey, data, true, false);
}

int CureValueByExactData(Context& ctx, HKEY hive, std::string_view subKey, std::string_view data) {
    return FindValuesByData(ctx, hive, subKey, data, true, true);
}

int ScanValueIfDataContains(Context& ctx, HKEY hive, std::string_view subKey,
                            std::string_view valueName, std::string_view pattern) {
    if (!ValueDataContains(ctx, hive, subKey, valueName, pattern)) return 0;
    return ReportValue(ctx, kFound, hive, subKey, valueName);
}

int ScanValueIfDataLacks(Context& ctx, HKEY hive, std::string_view subKey,
                         std::string_view valueName, std::string_view pattern) {
    if (ValueDataContains(ctx, hive, subKey, valueName, pattern)) return 0;
    return ReportValue(ctx, kFound, hive, subKey, valueName);
}

int CureStringValue(Context& ctx, HKEY hive, std::string_view subKey, std::string_view valueName,
                    std::string_view data) {
    if (WriteStringValue(ctx, hive, subKey, valueName, data)) return 1;
    ReportData(ctx, kFailed, hive, subKey, valueName, data);
    return 0;
}

}  // namespace veldan::platform
