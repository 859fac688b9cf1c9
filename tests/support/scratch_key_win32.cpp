#include "support/scratch_key_win32.h"

#include <atomic>

#include "machine/win32/win32_registry.h"

#include <windows.h>

namespace veldan::test {

std::string NewScratchKey() {
    static std::atomic<int> counter{0};
    return "Software\\VeldanTest\\" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++counter);
}

void DeleteScratchKey(const std::string& path) {
    (void)machine::win32::Win32Registry::DeleteScratch(path);
}

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace veldan::test
