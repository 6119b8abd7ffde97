#include "host/win32/main_window.h"

#include <objidl.h>
// GDI+ needs the COM declarations that the lean Windows header leaves out.
#include <gdiplus.h>

#include "host/win32/browser_host.h"
#include "host/win32/fullscreen.h"
#include "platform/diagnostics_log.h"
#include "platform/dpi.h"
#include "platform/win32/single_instance.h"
#include "platform/win32/system_error.h"
#include "platform/win32/window.h"

MainWindowState MainWindow;

const wchar_t* const MainWindowClassName = L"WindowsLanternshell";

namespace {

const DWORD ResizableStyle = WS_OVERLAPPEDWINDOW;  // 0x00CF0000
// No sizing border and no maximize box.
const DWORD FixedStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;  // 0x00CA0000

}  // namespace

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

HICON LoadWindowIcon(const std::wstring& exeFolder, const std::wstring& icon) {
    HICON handle = icon.empty() ? nullptr : LoadIconFromImageFile(exeFolder + icon);
    return handle ? handle : LoadIconW(nullptr, IDI_APPLICATION);
}

namespace {

void LogWin32Failure(const MainWindowSettings& settings, const char* operation) {
    if (settings.log) settings.log->Write(Win32Failure(operation));
}

}  // namespace

bool CreateMainWindow(HINSTANCE instance, const MainWindowSettings& settings) {
    if (!RegisterHostWindowClass(instance, MainWindowClassName, MainWindowProc, COLOR_WINDOW,
                                 settings.icon)) {
        LogWin32Failure(settings, "RegisterClassExW of the main window");
        ShowMessageBox(RegisterClassFailedMessage, settings.failureCaption.c_str(), MB_ICONERROR);
        return false;
    }

    const DWORD style = settings.resizable ? ResizableStyle : FixedStyle;
    const auto outerFor = [&settings, style](UINT dpi) {
        return OuterSizeForDpi(ClampClientSize(ScaleForDpi(settings.width, dpi)),
                               ClampClientSize(ScaleForDpi(settings.height, dpi)), style, dpi);
    };
    // Created hidden, at the size for the primary monitor, where the system
    // places a new window unless told otherwise: the window shown once the
    // first page has loaded.
    const UINT primaryDpi = DpiOfMonitor(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY));
    SIZE outer = outerFor(primaryDpi);
    MainWindow.windowHandle =
        CreateWindowExW(0, MainWindowClassName, settings.title.c_str(), style, CW_USEDEFAULT,
                        CW_USEDEFAULT, outer.cx, outer.cy, nullptr, nullptr, instance, nullptr);
    if (!MainWindow.windowHandle) {
        LogWin32Failure(settings, "CreateWindowExW of the main window");
        ShowMessageBox(CreateWindowFailedMessage, settings.failureCaption.c_str(), MB_ICONERROR);
        return false;
    }
    // Scaled again when it opened on a monitor of another DPI.
    const UINT dpi = DpiOfWindow(MainWindow.windowHandle);
    if (dpi != primaryDpi) {
        outer = outerFor(dpi);
        if (!SetWindowPos(MainWindow.windowHandle, nullptr, 0, 0, outer.cx, outer.cy,
                          SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE))
            LogWin32Failure(settings, "SetWindowPos of the main window");
    }
    return true;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_CLOSE:
            // The caption's button, Alt+F4, the system menu and the taskbar:
            // the page ends and the browser writes its profile first; the
            // session destroys the window at the end of it.
            if (!BrowserHost.session) return DefWindowProcW(window, message, wParam, lParam);
            BrowserHost.session->OnQuitRequested(QuitCause::Window);
            return 0;
        case WM_QUERYENDSESSION:
            // Agreed at once; quitting starts when the end is certain.
            return TRUE;
        case WM_ENDSESSION:
            if (wParam) QuitForSessionEnd();
            return 0;
        case WM_TIMER:
            if (wParam == UnloadTimerId) {
                OnUnloadTimer();
                return 0;
            }
            return DefWindowProcW(window, message, wParam, lParam);
        case PageUnloadedMessage:
            OnPageUnloadedMessage(wParam);
            return 0;
        case WM_ACTIVATE: {
            // Activated again (Alt+Tab, the taskbar, a click on the caption),
            // the focus comes back to this window: the page's keys go dead
            // until it is moved on into the control.
            const LRESULT result = DefWindowProcW(window, message, wParam, lParam);
            if (LOWORD(wParam) != WA_INACTIVE && !HIWORD(wParam)) FocusPage();
            return result;
        }
        case WM_SETFOCUS:
            FocusPage();
            return 0;
        case WM_MOVE:
        case WM_MOVING:
            // Until the controller exists there is nothing to tell.
            if (BrowserHost.controller) BrowserHost.controller->NotifyParentWindowPositionChanged();
            return 0;
        case WM_DPICHANGED: {
            // Moved to a monitor of another scale: the system's rectangle
            // keeps the window the same size to the eye, and the view
            // follows through WM_SIZE. Fullscreen stays the whole monitor:
            // the suggestion would be scaled past its edges.
            const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
            if (!suggested) return 0;
            RECT target = *suggested;
            MONITORINFO monitor{};
            monitor.cbSize = sizeof monitor;
            if (FullscreenState.isFullscreen &&
                GetMonitorInfoW(MonitorFromRect(suggested, MONITOR_DEFAULTTONEAREST), &monitor))
                target = monitor.rcMonitor;
            SetWindowPos(window, nullptr, target.left, target.top, target.right - target.left,
                         target.bottom - target.top, SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        case WM_SIZE:
            // The view always fills the client area; minimised, that is empty.
            if (BrowserHost.controller) {
                RECT client{};
                GetClientRect(window, &client);
                LogIfFailed(BrowserHost.settings.log, "put_Bounds",
                            BrowserHost.controller->put_Bounds(client));
            }
            return 0;
        default:
            // A second start of this app asks to be shown this window.
            if (message == PresentRequestMessage()) return PresentInstanceWindow(window);
            return DefWindowProcW(window, message, wParam, lParam);
    }
}
