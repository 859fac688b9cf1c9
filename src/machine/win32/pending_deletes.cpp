#include "machine/win32/pending_deletes.h"

#include "text/strings.h"

namespace veldan::machine::win32 {
namespace {

constexpr const char* kSessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr const char* kPending = "PendingFileRenameOperations";

// The stored names one by one. An empty name (the new name of a deletion)
// would end the list for AsMultiString, so the raw data is walked.
std::vector<std::string> StoredNames(const RegValue& value) {
    std::vector<std::string> names;
    const std::string& data = value.data;
    std::size_t start = 0;
    while (start < data.size()) {
        std::size_t end = data.find('\0', start);
        if (end == std::string::npos) end = data.size();
        names.push_back(data.substr(start, end - start));
        start = end + 1;
    }
    // The list ends in an empty string: a last empty new name is the data's own NUL.
    if (names.size() % 2 == 1) names.emplace_back();
    return names;
}

std::string WithoutNtPrefix(std::string path) {
    if (path.rfind("\\??\\", 0) == 0) path.erase(0, 4);
    return path;
}

}  // namespace

std::vector<std::string> PendingFileDeletes(const Registry& registry) {
    RegValue value;
    if (registry.QueryValue(HKEY_LOCAL_MACHINE, kSessionManager, kPending, value) !=
        ERROR_SUCCESS) {
        return {};
    }
    const std::vector<std::string> names = StoredNames(value);
    std::vector<std::string> deletes;
    for (std::size_t i = 0; i + 1 < names.size(); i += 2) {
        if (names[i].empty() || !names[i + 1].empty()) continue;
        deletes.push_back(WithoutNtPrefix(names[i]));
    }
    return deletes;
}

WinError ForgetPendingDeletes(Registry& registry, std::string_view folder) {
    RegValue value;
    if (registry.QueryValue(HKEY_LOCAL_MACHINE, kSessionManager, kPending, value) !=
        ERROR_SUCCESS) {
        return ERROR_SUCCESS;
    }
    const std::vector<std::string> names = StoredNames(value);
    std::string kept;
    for (std::size_t i = 0; i + 1 < names.size(); i += 2) {
        const std::string path = WithoutNtPrefix(names[i]);
        if (names[i + 1].empty() && text::StartsWithNoCase(path, folder)) continue;
        kept += names[i] + '\0' + names[i + 1] + '\0';
    }
    if (kept.empty()) return registry.DeleteValue(HKEY_LOCAL_MACHINE, kSessionManager, kPending);
    RegValue out = value;
    out.data = kept + '\0';
    return registry.SetValue(HKEY_LOCAL_MACHINE, kSessionManager, kPending, out);
}

std::vector<std::string> WininitDeletes(const Profiles& profiles) {
    std::vector<std::string> deletes;
    for (const auto& [key, path] : profiles.GetSection("Rename", "wininit.ini")) {
        if (text::EqualsNoCase(key, "NUL") && !path.empty()) deletes.push_back(path);
    }
    return deletes;
}

}  // namespace veldan::machine::win32
