#include "platform/win32/window.h"

#include "platform/dpi.h"

namespace {

// Read once: the host never follows a DPI change while it runs. UI thread only.
float dpiScale = 0.0f;

}  // namespace

int ScaleForDpi(int logicalPixels) {
    if (dpiScale == 0.0f) {
        HDC screen = GetDC(nullptr);
        dpiScale = static_cast<float>(GetDeviceCaps(screen, LOGPIXELSX)) / 96.0f;
        ReleaseDC(nullptr, screen);
    }
    return ScaleLogicalPixels(logicalPixels, dpiScale);
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
