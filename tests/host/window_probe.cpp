// Drives CreateMainWindow in a process of its own, so that a test can watch
// the boxes it shows when the class or the window cannot be made:
//   window_probe register   the class name is taken before CreateMainWindow
//   window_probe create     the creation of the main window is refused
// Exits with 1 when CreateMainWindow reports failure, 0 when it succeeded.
//   window_probe ask        asks a question about the main window it made:
//                           exits with 0 for Yes, 4 for No

#include <windows.h>

#include <cstring>
#include <cwchar>

#include "app/manifest.h"
#include "app/win32/startup.h"
#include "host/win32/main_window.h"
#include "host/win32/win32_host.h"
#include "platform/win32/window.h"

namespace {

LRESULT CALLBACK RefuseCreation(int code, WPARAM wParam, LPARAM lParam) {
    // A non-zero answer to HCBT_CREATEWND makes CreateWindowExW return null.
    // Only the main window is refused: the failure box must still open.
    if (code == HCBT_CREATEWND) {
        wchar_t name[64] = {};
        GetClassNameW(reinterpret_cast<HWND>(wParam), name, 64);
        if (std::wcscmp(name, L"WindowsLanternshell") == 0) return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    AppConfig config;
    config.title = L"A title of the manifest";
    config.width = 320;
    config.height = 200;
    config.resizable = true;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    Win32Host host;
    host.settings = HostSettingsOf(config, LoadIconW(nullptr, IDI_APPLICATION), nullptr);

    if (std::strcmp(argv[1], "register") == 0) {
        WNDCLASSEXW taken{};
        taken.cbSize = sizeof(taken);
        taken.lpfnWndProc = DefWindowProcW;
        taken.hInstance = instance;
        taken.lpszClassName = L"WindowsLanternshell";
        if (!RegisterClassExW(&taken)) return 3;
    } else if (std::strcmp(argv[1], "create") == 0) {
        if (!SetWindowsHookExW(WH_CBT, RefuseCreation, nullptr, GetCurrentThreadId())) return 3;
    } else if (std::strcmp(argv[1], "ask") == 0) {
        if (!CreateMainWindow(instance, host)) return 1;
        return AskYesNo(host.window, L"Go on?", L"A title of the manifest") ? 0 : 4;
    } else {
        return 2;
    }
    return CreateMainWindow(instance, host) ? 0 : 1;
}
