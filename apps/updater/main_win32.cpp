// VeldanUpdate for Windows: the updater's steps (updater/update_program.h)
// with a small status window: one line of text and a progress bar. The window
// lives on the main thread, which runs its message loop until the worker
// thread doing the steps has ended; the worker asks the window to show a text,
// a message box or to close through SendMessage, so each step waits for the
// window as it does on Linux.
//
// Headless: with QT_QPA_PLATFORM=offscreen in the environment (the variable
// that runs the Linux program without a display) no window is made and the
// messages go to standard error only, so the updater never waits for a click.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "host/wide_path_win32.h"
#include "text/debug.h"
#include "updater/update_files.h"
#include "updater/update_program.h"

#include <windows.h>

// These need windows.h before them.
#include <commctrl.h>
#include <shellapi.h>

namespace {

using veldan::host::Narrow;
using veldan::host::Widen;
namespace updater = veldan::updater;

constexpr UINT kShowStatus = WM_APP + 1;   // lParam: the text (const std::string*)
constexpr UINT kShowMessage = WM_APP + 2;  // lParam: the text (const std::string*)
constexpr UINT kCloseStatus = WM_APP + 3;
constexpr int kTextId = 1000;
constexpr int kProgressId = 1001;
constexpr int kSteps = 3;  // downloading, installing, finished
constexpr wchar_t kWindowClass[] = L"VeldanUpdateStatus";

bool Headless() {
    wchar_t value[32] = {};
    const DWORD n = GetEnvironmentVariableW(L"QT_QPA_PLATFORM", value, 32);
    return n > 0 && n < 32 && std::wstring(value) == L"offscreen";
}

std::wstring Title() {
    return Widen(updater::kUpdateTitle);
}

// How far the steps are when `text` is shown.
int StepOf(const std::string& text) {
    if (text == updater::kDownloadingText) return 1;
    if (text == updater::kInstallingText) return 2;
    return kSteps;
}

// The status window of the main thread.
class StatusWindow {
  public:
    // Makes the window (hidden until the first text) on the calling thread.
    bool Create(HINSTANCE instance) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &StatusWindow::Procedure;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32514));  // IDC_APPSTARTING
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kWindowClass;
        RegisterClassW(&wc);
        const DWORD style = WS_CAPTION | WS_SYSMENU | WS_POPUP;
        RECT frame = {0, 0, 300, 64};
        AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);
        const int w = frame.right - frame.left;
        const int h = frame.bottom - frame.top;
        hwnd_ = CreateWindowExW(WS_EX_DLGMODALFRAME, kWindowClass, Title().c_str(), style,
                                (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
                                (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h, nullptr, nullptr,
                                instance, this);
        if (hwnd_ == nullptr) return false;
        CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_CENTER | SS_NOPREFIX, 8, 10,
                        284, 18, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTextId)),
                        instance, nullptr);
        HWND bar = CreateWindowExW(
            0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 8, 36, 284, 16, hwnd_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kProgressId)), instance, nullptr);
        SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, kSteps));
        return true;
    }

    HWND hwnd() const { return hwnd_; }

  private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<StatusWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        switch (msg) {
            case kShowStatus: {
                const auto& text = *reinterpret_cast<const std::string*>(lParam);
                SetDlgItemTextW(hwnd, kTextId, Widen(text).c_str());
                SendDlgItemMessageW(hwnd, kProgressId, PBM_SETPOS, StepOf(text), 0);
                ShowWindow(hwnd, SW_SHOW);
                UpdateWindow(hwnd);
                return 0;
            }
            case kShowMessage: {
                const auto& text = *reinterpret_cast<const std::string*>(lParam);
                MessageBoxW(hwnd, Widen(text).c_str(), Title().c_str(),
                            MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
                return 0;
            }
            case kCloseStatus:
                DestroyWindow(hwnd);
                return 0;
            case WM_CLOSE:
                return 0;  // the steps end the window, not the user
            case WM_DESTROY:
                if (self != nullptr) self->hwnd_ = nullptr;
                return 0;
            default:
                return DefWindowProcW(hwnd, msg, wParam, lParam);
        }
    }

    HWND hwnd_ = nullptr;
};

struct Work {
    std::vector<std::string> args;
    HWND window = nullptr;  // null when headless
    int result = 0;
};

// Asks the status window to handle `msg` and waits until it did; nothing
// when there is no window (headless, or closed already).
void Ask(HWND window, UINT msg, const std::string* text) {
    if (window != nullptr && IsWindow(window)) {
        SendMessageW(window, msg, 0, reinterpret_cast<LPARAM>(text));
    }
}

void StartDetached(const std::string& program, const std::string& folder) {
    std::wstring command = L"\"" + veldan::host::WidePath(program + ".exe") + L"\"";
    const std::wstring workingFolder = veldan::host::WidePath(folder);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       workingFolder.c_str(), &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

DWORD WINAPI RunSteps(void* parameter) {
    Work& work = *static_cast<Work*>(parameter);
    updater::UpdateHooks hooks;
    hooks.showStatus = [&work](const std::string& text) { Ask(work.window, kShowStatus, &text); };
    hooks.closeStatus = [&work] { Ask(work.window, kCloseStatus, nullptr); };
    hooks.message = [&work](const std::string& text) {
        // Also on standard error, for logs.
        std::fprintf(stderr, "VeldanUpdate: %s\n", text.c_str());
        std::fflush(stderr);
        Ask(work.window, kShowMessage, &text);
    };
    hooks.start = &StartDetached;
    // The Windows package may hold no Veldan.exe: then nothing is started.
    hooks.canStart = [](const std::string& program) { return updater::IsFile(program + ".exe"); };
    std::unique_ptr<veldan::text::DebugSink> debug = veldan::text::MakeDefaultDebugSink();
    work.result = updater::RunUpdate(work.args, hooks, *debug);
    return 0;
}

std::vector<std::string> Arguments() {
    std::vector<std::string> args;
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (argv == nullptr) return args;
    for (int i = 0; i < count; ++i) args.push_back(Narrow(argv[i]));
    LocalFree(argv);
    return args;
}

// Pumps the window's messages until `thread` has ended.
void RunLoopUntil(HANDLE thread) {
    for (;;) {
        const DWORD r = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0 || r == WAIT_FAILED) return;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

}  // namespace

int main() {
    Work work;
    work.args = Arguments();
    if (Headless()) {
        RunSteps(&work);
        return work.result;
    }
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    StatusWindow status;
    if (status.Create(GetModuleHandleW(nullptr))) work.window = status.hwnd();
    HANDLE thread = CreateThread(nullptr, 0, &RunSteps, &work, 0, nullptr);
    if (thread == nullptr) {
        RunSteps(&work);  // no second thread: the steps run here, the window unpainted
    } else {
        RunLoopUntil(thread);
        CloseHandle(thread);
    }
    if (status.hwnd() != nullptr) DestroyWindow(status.hwnd());
    return work.result;
}
