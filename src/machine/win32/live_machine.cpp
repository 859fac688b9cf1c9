#include "machine/win32/live_machine.h"

namespace veldan::machine::win32 {

LiveMachine::LiveMachine(std::unique_ptr<Clock> clock, Win32Registry::Roots roots)
    : clock_(clock ? std::move(clock) : std::make_unique<RealClock>()),
      registry_(std::move(roots), system_.Family()),
      files_(system_.Family(), profiles_),
      shellLinks_(profiles_),
      user_(system_.UserName()) {}

std::vector<std::string> LiveMachine::PendingDeletes() const {
    RegValue value;
    if (registry_.QueryValue(HKEY_LOCAL_MACHINE,
                             "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                             "PendingFileRenameOperations", value) != ERROR_SUCCESS) {
        return {};
    }
    // Pairs of names: the file ("\??\" + path), then its new name, empty for a deletion.
    std::vector<std::string> deletes;
    // An empty name ends the list for AsMultiString, so the raw data is walked.
    std::vector<std::string> names;
    std::size_t start = 0;
    const std::string& data = value.data;
    while (start < data.size()) {
        std::size_t end = data.find('\0', start);
        if (end == std::string::npos) end = data.size();
        names.push_back(data.substr(start, end - start));
        start = end + 1;
    }
    for (std::size_t i = 0; i + 1 < names.size(); i += 2) {
        if (names[i].empty() || !names[i + 1].empty()) continue;
        std::string path = names[i];
        if (path.rfind("\\??\\", 0) == 0) path.erase(0, 4);
        deletes.push_back(path);
    }
    return deletes;
}

}  // namespace veldan::machine::win32
