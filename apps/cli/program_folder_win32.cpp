#include "program_folder.h"

#include <string>

#include "host/wide_path_win32.h"

#include <windows.h>

namespace veldan::cli {

std::string OwnFolder(const char* argv0) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return ".";
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    return host::Narrow(slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash));
}

bool HasLiveMachine() {
    return true;
}

}  // namespace veldan::cli
