#include "platform/win32/window.h"

#include <shellscalingapi.h>

#include "platform/dpi.h"

namespace {

// Looked up where they are, since older Windows lacks them: per-monitor
// DPI came with Windows 8.1, the window's own DPI with Windows 10.
template <class Function>
Function SystemFunction(const wchar_t* library, const char* name) {
    HMODULE module = GetModuleHandleW(library);
    if (!module) module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return module
               ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
               : nullptr;
}

UINT SystemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96u;
}

}  // namespace

UINT DpiOfMonitor(HMONITOR monitor) {
    const auto getDpiForMonitor =
        SystemFunction<decltype(&GetDpiForMonitor)>(L"shcore.dll", "GetDpiForMonitor");
    UINT x = 0, y = 0;
    if (monitor && getDpiForMonitor &&
        SUCCEEDED(getDpiForMonitor(monitor, MDT_EFFECTIVE_DPI, &x, &y)) && x > 0)
        return x;
    return SystemDpi();
}

UINT DpiOfWindow(HWND window) {
    const auto getDpiForWindow =
        SystemFunction<decltype(&GetDpiForWindow)>(L"user32.dll", "GetDpiForWindow");
    const UINT dpi = getDpiForWindow ? getDpiForWindow(window) : 0;
    return dpi > 0 ? dpi : DpiOfMonitor(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
}

int ScaleForDpi(int logicalPixels, UINT dpi) {
    return ScaleLogicalPixels(logicalPixels, static_cast<float>(dpi) / 96.0f);
}

SIZE OuterSizeForDpi(int clientWidth, int clientHeight, DWORD style, UINT dpi) {
    const auto adjustForDpi = SystemFunction<decltype(&AdjustWindowRectExForDpi)>(
        L"user32.dll", "AdjustWindowRectExForDpi");
    RECT bounds{0, 0, clientWidth, clientHeight};
    if (!adjustForDpi || !adjustForDpi(&bounds, style, FALSE, 0, dpi))
        AdjustWindowRectEx(&bounds, style, FALSE, 0);
    return SIZE{bounds.right - bounds.left, bounds.bottom - bounds.top};
}

bool RegisterHostWindowClass(HINSTANCE instance, const wchar_t* className, WNDPROC procedure,
                             int backgroundColor, HICON icon) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = icon;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(backgroundColor + 1));
    windowClass.lpszClassName = className;
    windowClass.hIconSm = icon;
    return RegisterClassExW(&windowClass) != 0;
}

void ShowMessageBox(const wchar_t* text, const wchar_t* caption, UINT icon) {
    MessageBoxW(nullptr, text, caption, MB_OK | icon);
}

bool AskYesNo(HWND owner, const wchar_t* text, const wchar_t* caption) {
    return MessageBoxW(owner, text, caption, MB_YESNO | MB_ICONWARNING) == IDYES;
}
