#include "host/main_window.h"

#include <objidl.h>
// GDI+ needs the COM declarations that the lean Windows header leaves out.
#include <gdiplus.h>

#include "app/manifest.h"
#include "app/startup.h"
#include "app/text.h"
#include "host/browser_host.h"
#include "host/dpi.h"

MainWindowState MainWindow;

const wchar_t* const MainWindowClassName = L"WindowsLanternshell";

namespace {

float dpiScale = 0.0f;

const DWORD ResizableStyle = WS_OVERLAPPEDWINDOW;  // 0x00CF0000
// No sizing border and no maximize box.
const DWORD FixedStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;  // 0x00CA0000

}  // namespace

int ScaleForDpi(int logicalPixels) {
    if (dpiScale == 0.0f) {
        HDC screen = GetDC(nullptr);
        dpiScale = static_cast<float>(GetDeviceCaps(screen, LOGPIXELSX)) / 96.0f;
        ReleaseDC(nullptr, screen);
    }
    return ScaleLogicalPixels(logicalPixels, dpiScale);
}

HICON LoadIconFromImageFile(const std::wstring& path) {
    using namespace Gdiplus::DllExports;
    Gdiplus::GpBitmap* bitmap = nullptr;
    // A missing or undecodable file leaves no bitmap at all.
    if (GdipCreateBitmapFromFile(path.c_str(), &bitmap) != Gdiplus::Ok || !bitmap) return nullptr;
    HICON icon = nullptr;
    const Gdiplus::GpStatus status = GdipCreateHICONFromBitmap(bitmap, &icon);
    GdipDisposeImage(bitmap);
    if (status == Gdiplus::Ok) return icon;
    if (icon) DestroyIcon(icon);
    return nullptr;
}

void LoadWindowIcon() {
    Gdiplus::GdiplusStartupInput input;
    input.GdiplusVersion = 1;
    input.DebugEventCallback = nullptr;
    input.SuppressBackgroundThread = FALSE;
    input.SuppressExternalCodecs = FALSE;
    Gdiplus::GdiplusStartup(&MainWindow.gdiplusToken, &input, nullptr);

    // The icon path is the manifest's text appended to the executable's
    // folder as it stands; an absolute path there simply fails to load.
    if (!appConfig.icon.empty())
        appConfig.iconHandle = LoadIconFromImageFile(ExeFolder + appConfig.icon);
    if (!appConfig.iconHandle) appConfig.iconHandle = LoadIconW(nullptr, IDI_APPLICATION);
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

bool CreateMainWindow(HINSTANCE instance) {
    if (!RegisterHostWindowClass(instance, MainWindowClassName, MainWindowProc, COLOR_WINDOW,
                                 appConfig.iconHandle)) {
        FailStartup(L"Failed to register window class", DefaultTitle);
        return false;
    }

    const DWORD style = appConfig.resizable ? ResizableStyle : FixedStyle;
    const int height = ClampClientSize(ScaleForDpi(appConfig.height));
    const int width = ClampClientSize(ScaleForDpi(appConfig.width));
    RECT bounds{0, 0, width, height};
    AdjustWindowRectEx(&bounds, style, FALSE, 0);

    // Created hidden: the window is shown once the first page has loaded.
    MainWindow.windowHandle =
        CreateWindowExW(0, MainWindowClassName, appConfig.title.c_str(), style, CW_USEDEFAULT,
                        CW_USEDEFAULT, bounds.right - bounds.left, bounds.bottom - bounds.top,
                        nullptr, nullptr, instance, nullptr);
    if (!MainWindow.windowHandle) {
        FailStartup(L"Failed to create window", DefaultTitle);
        return false;
    }
    return true;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_MOVE:
        case WM_MOVING:
            // Until the controller exists there is nothing to tell.
            if (BrowserHost.controller) BrowserHost.controller->NotifyParentWindowPositionChanged();
            return 0;
        case WM_SIZE:
            // The view always fills the client area; minimised, that is empty.
            if (BrowserHost.controller) {
                RECT client{};
                GetClientRect(window, &client);
                BrowserHost.controller->put_Bounds(client);
            }
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}
