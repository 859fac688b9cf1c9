#include "platform/hosts.h"

#include <vector>

#include "platform/file_ops.h"
#include "platform/registry_ops.h"
#include "platform/reports.h"
#include "platform/shortcuts.h"
#include "text/codepage.h"
#include "text/strings.h"

namespace veldan::platform {
namespace {

using machine::ERROR_SUCCESS;

constexpr std::string_view kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr std::string_view kProgramExtension = ".exe";
constexpr std::string_view kRunTail = ".exe /dk";
// Name and extension of a program of the family: eight characters and ".exe".
constexpr std::size_t kProgramNameLength = 12;
// The program name followed by " /dk".
constexpr std::size_t kRunCommandLength = 16;

bool IsStringType(std::uint32_t type) {
    return type == machine::REG_SZ || type == machine::REG_EXPAND_SZ;
}

// The Windows folder followed by a backslash, lower-cased; "" when the machine's
// Windows folder is unknown (nothing can then lie in it).
std::string WindowsPrefix(Context& ctx) {
    if (ctx.folders().WINDIR.empty()) return {};
    return text::LowerAscii(ctx.folders().WINDIR + "\\");
}

bool HasFamilySize(std::uint64_t size) {
    return size == kRandomNameSizeA || size == kRandomNameSizeB;
}

// A program name of the family: eight letters or digits and ".exe", 12 in all.
bool IsFamilyName(std::string_view lowered) {
    return lowered.size() == kProgramNameLength && lowered.ends_with(kProgramExtension) &&
           IsRandomName(lowered);
}

// Blanks collapsed to one, trimmed at both ends, lower-cased.
std::string NormaliseCommand(std::string_view data) {
    std::string s(data);
    for (std::size_t at; (at = s.find("  ")) != std::string::npos;) s.erase(at, 1);
    const std::size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    s = s.substr(first, s.find_last_not_of(' ') - first + 1);
    return text::LowerAscii(s);
}

// WINDIR + "\\" + a random name + ".exe /dk".
bool IsFamilyRunCommand(std::string_view data, std::string_view prefix) {
    if (prefix.empty()) return false;
    const std::string command = NormaliseCommand(data);
    if (!command.starts_with(prefix)) return false;
    std::string_view rest = std::string_view(command).substr(prefix.size());
    return rest.size() == kRunCommandLength && rest.ends_with(kRunTail) &&
           IsRandomName(rest.substr(0, kProgramNameLength));
}

// An existing file (not a folder) of one of the family's sizes.
bool IsFamilyFile(Context& ctx, std::string_view path) {
    std::uint32_t attributes = 0;
    std::uint64_t size = 0;
    if (ctx.files().GetAttributes(path, attributes) != ERROR_SUCCESS) return false;
    if ((attributes & machine::FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
    return ctx.files().GetFileSize(path, size) == ERROR_SUCCESS && HasFamilySize(size);
}

// The files (not folders) of `folder` itself matching `mask` ("\\*.lnk").
std::vector<machine::FindData> ListFolder(Context& ctx, std::string_view folder,
                                          std::string_view mask) {
    std::vector<machine::FindData> entries;
    std::string pattern(folder);
    pattern.append(mask);
    if (ctx.files().FindFiles(pattern, entries) != ERROR_SUCCESS) return {};
    std::erase_if(entries, [](const machine::FindData& e) {
        return e.IsDirectory() || e.name == "." || e.name == "..";
    });
    return entries;
}

// Scan: records the file and remembers it when new; fix: remembers it.
void Take(Context& ctx, bool fix, std::string path, std::vector<std::string>& taken) {
    if (fix || ReportFile(ctx, kFound, path)) taken.push_back(std::move(path));
}

// Runs CureFile on each remembered file when fixing; the number remembered.
int Finish(Context& ctx, bool fix, const std::vector<std::string>& taken) {
    if (fix) {
        for (const std::string& path : taken) CureFile(ctx, path);
    }
    return static_cast<int>(taken.size());
}

}  // namespace

std::string SystemHostsPath(Context& ctx) {
    return ctx.folders().SYSDIR + "\\drivers\\etc\\hosts";
}

std::string WindowsHostsPath(Context& ctx) {
    return ctx.folders().WINDIR + "\\hosts";
}

int DeleteHostsFiles(Context& ctx) {
    // A folder the machine does not have would put the path at a drive's root.
    if (!ctx.folders().SYSDIR.empty()) CureFile(ctx, SystemHostsPath(ctx));
    if (!ctx.folders().WINDIR.empty()) CureFile(ctx, WindowsHostsPath(ctx));
    return 1;
}

int IsRandomName(std::string_view text) {
    if (text.size() < 8) return 0;
    for (char c : text.substr(0, 8)) {
        const bool digit = c >= '0' && c <= '9';
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!digit && !letter) return 0;
    }
    return 1;
}

int ScanRunValuesForRandomName(Context& ctx, machine::HKEY hive, std::string_view subKey,
                               bool fix) {
    const int n = CountValues(ctx, hive, subKey);
    if (n <= 0 || !KeyExists(ctx, hive, subKey)) return 0;
    const std::string prefix = WindowsPrefix(ctx);
    std::vector<std::string> names;
    for (int i = 0; i < n; ++i) {
        std::string name;
        machine::RegValue v;
        const machine::WinError e =
            ctx.registry().EnumValue(hive, subKey, static_cast<std::uint32_t>(i), name, &v);
        // Name and data are read into buffers of kMaxPath; what does not fit is an error.
        const std::size_t dataSize =
            IsStringType(v.type) ? text::Cp949Length(v.data) : v.data.size();
        const std::string data = v.AsString();
        if (e != ERROR_SUCCESS || text::Cp949Length(name) + 1 > kMaxPath || dataSize > kMaxPath ||
            (IsStringType(v.type) && text::Cp949Length(data) + 1 > kMaxPath)) {
            std::string keyText;
            MakeKeyText(ctx, hive, subKey, keyText);
            ctx.Debug("SHEnumValue... " + keyText + "\n");
            continue;
        }
        if (!IsFamilyRunCommand(data, prefix)) continue;
        if (fix || ReportData(ctx, kFound, hive, subKey, name, data))
            names.push_back(std::move(name));
    }
    if (fix) {
        for (const std::string& name : names) CureValue(ctx, hive, subKey, name);
    }
    return static_cast<int>(names.size());
}

int ScanStartupLinksForRandomName(Context& ctx, std::string_view folder, bool fix) {
    const std::string prefix = WindowsPrefix(ctx);
    if (folder.empty() || prefix.empty()) return 0;
    std::vector<std::string> taken;
    for (const machine::FindData& e : ListFolder(ctx, folder, "\\*.lnk")) {
        std::string path(folder);
        path.append("\\").append(e.name);
        CShellLink link(ctx);
        if (!link.Load(path)) {
            ctx.Debug("CShellLink::Load... " + path + "\n");
            continue;
        }
        const std::string target = text::LowerAscii(link.target);
        if (!target.starts_with(prefix)) continue;
        if (!IsFamilyName(std::string_view(target).substr(prefix.size()))) continue;
        if (!IsFamilyFile(ctx, link.target)) continue;
        Take(ctx, fix, std::move(path), taken);
    }
    return Finish(ctx, fix, taken);
}

int ScanWindowsFolderForRandomName(Context& ctx, bool fix) {
    const std::string& windir = ctx.folders().WINDIR;
    if (windir.empty()) return 0;
    std::vector<std::string> taken;
    for (const machine::FindData& e : ListFolder(ctx, windir, "\\*.exe")) {
        if (!IsFamilyName(text::LowerAscii(e.name)) || !HasFamilySize(e.size)) continue;
        Take(ctx, fix, windir + "\\" + e.name, taken);
    }
    return Finish(ctx, fix, taken);
}

int RemoveRandomNamePrograms(Context& ctx, bool fix) {
    int found = 0;
    if (ScanRunValuesForRandomName(ctx, machine::HKEY_LOCAL_MACHINE, kRunKey, fix)) found = 1;
    if (ScanRunValuesForRandomName(ctx, machine::HKEY_CURRENT_USER, kRunKey, fix)) found = 1;
    if (ScanStartupLinksForRandomName(ctx, ctx.folders().STARTUPDIR, fix)) found = 1;
    if (ScanStartupLinksForRandomName(ctx, ctx.folders().CMNSTARTUPDIR, fix)) found = 1;
    if (ScanWindowsFolderForRandomName(ctx, fix)) found = 1;
    return found;
}

}  // namespace veldan::platform
