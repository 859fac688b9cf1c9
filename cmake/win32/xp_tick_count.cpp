// GetTickCount64 for Windows XP, which lacks it. Debian's MinGW-w64 thread
// library (winpthreads, needed for std::thread) imports it from KERNEL32; this
// object defines the import slot itself, so the 32-bit programs import nothing
// XP lacks. On Vista and later the system's own function is used.

#if defined(__i386__)

#include <windows.h>

namespace {

ULONGLONG WINAPI TickCount64() {
    using Fn = ULONGLONG(WINAPI*)();
    static const Fn system = reinterpret_cast<Fn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTickCount64")));
    if (system != nullptr) return system();
    // XP: the 32-bit count with its wrap-arounds counted (every 49.7 days).
    static volatile LONG lock = 0;
    static DWORD last = 0;
    static ULONGLONG high = 0;
    while (InterlockedExchange(&lock, 1) != 0) Sleep(0);
    const DWORD now = GetTickCount();
    if (now < last) high += 0x100000000ULL;
    last = now;
    const ULONGLONG result = high + now;
    InterlockedExchange(&lock, 0);
    return result;
}

}  // namespace

extern "C" {
// The import slot the thread library calls through.
ULONGLONG(WINAPI* veldan_imp_GetTickCount64)() __asm__("__imp__GetTickCount64@0") = TickCount64;
}

#endif
