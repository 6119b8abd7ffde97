#include "host/win32/main_window.h"

#include <objidl.h>
// GDI+ needs the COM declarations that the lean Windows header leaves out.
#include <gdiplus.h>

#include "host/win32/win32_host.h"
#include "platform/diagnostics_log.h"
#include "platform/dpi.h"
#include "platform/text.h"
#include "platform/win32/single_instance.h"
#include "platform/win32/system_error.h"
#include "platform/win32/window.h"

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

void LogWin32Failure(const Win32HostSettings& settings, const char* operation) {
    if (settings.log) settings.log->Write(Win32Failure(operation));
}

}  // namespace

bool CreateMainWindow(HINSTANCE instance, Win32Host& host) {
    const Win32HostSettings& settings = host.settings;
    if (!RegisterHostWindowClass(instance, MainWindowClassName, MainWindowProc, COLOR_WINDOW,
                                 settings.icon)) {
        LogWin32Failure(settings, "RegisterClassExW of the main window");
        ShowMessageBox(RegisterClassFailedMessage, DefaultTitle, MB_ICONERROR);
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
    host.window =
        CreateWindowExW(0, MainWindowClassName, settings.title.c_str(), style, CW_USEDEFAULT,
                        CW_USEDEFAULT, outer.cx, outer.cy, nullptr, nullptr, instance, &host);
    if (!host.window) {
        LogWin32Failure(settings, "CreateWindowExW of the main window");
        ShowMessageBox(CreateWindowFailedMessage, DefaultTitle, MB_ICONERROR);
        return false;
    }
    // Scaled again when it opened on a monitor of another DPI.
    const UINT dpi = DpiOfWindow(host.window);
    if (dpi != primaryDpi) {
        outer = outerFor(dpi);
        if (!SetWindowPos(host.window, nullptr, 0, 0, outer.cx, outer.cy,
                          SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE))
            LogWin32Failure(settings, "SetWindowPos of the main window");
    }
    return true;
}

namespace {

// The user's session ends, and the process with it once WM_ENDSESSION is
// answered: the whole quit sequence runs in here, its timers and the
// control's answers pumped as messages. A player who stays ends it too; a
// page's question that nobody answers holds the system's end no longer
// than SessionEndTimeoutMs. A quit message seen meanwhile is posted again.
void QuitForSessionEnd(Session& session) {
    session.OnQuitRequested(QuitCause::SessionEnd);
    const ULONGLONG start = GetTickCount64();
    bool quit = false;
    WPARAM quitCode = 0;
    while (!session.Ending() && session.Quitting()) {
        const ULONGLONG elapsed = GetTickCount64() - start;
        if (elapsed >= SessionEndTimeoutMs) break;
        // Wakes for messages already queued too, not only for new ones.
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(SessionEndTimeoutMs - elapsed),
                                    QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = true;
                quitCode = message.wParam;
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (quit) PostQuitMessage(static_cast<int>(quitCode));
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(
                              reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* host = reinterpret_cast<Win32Host*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    // Before its first messages are through, and once the host has ended,
    // the window has nobody to tell.
    if (!host) return DefWindowProcW(window, message, wParam, lParam);
    Session* session = host->session;
    switch (message) {
        case WM_NCDESTROY:
            host->window = nullptr;
            return DefWindowProcW(window, message, wParam, lParam);
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_CLOSE:
            // The caption's button, Alt+F4, the system menu and the taskbar:
            // the page ends and the browser writes its profile first; the
            // session destroys the window at the end of it.
            if (!session) return DefWindowProcW(window, message, wParam, lParam);
            session->OnQuitRequested(QuitCause::Window);
            return 0;
        case WM_QUERYENDSESSION:
            // Agreed at once; quitting starts when the end is certain.
            return TRUE;
        case WM_ENDSESSION:
            if (wParam && session) QuitForSessionEnd(*session);
            return 0;
        case WM_ENABLE:
            // The page's beforeunload question disables the window while it
            // waits for the player.
            if (session)
                session->OnQuitEvent(wParam ? QuitEvent::QuestionAnswered
                                            : QuitEvent::QuestionOpened);
            return 0;
        case WM_TIMER:
            if (wParam == SessionTimerId) {
                KillTimer(window, SessionTimerId);
                if (session) session->OnQuitEvent(QuitEvent::TimerRanOut);
            } else if (wParam == PumpTimerId) {
                if (session) session->OnPump();
            } else if (wParam == BrowserWatchTimerId) {
                if (WaitForSingleObject(host->browserProcess, 0) != WAIT_OBJECT_0) return 0;
                KillTimer(window, BrowserWatchTimerId);
                if (session) session->OnQuitEvent(QuitEvent::BrowserExited);
            }
            return 0;
        case QuitEventMessage:
            if (session) session->OnQuitEvent(static_cast<QuitEvent>(wParam));
            return 0;
        case WM_ACTIVATE: {
            // Activated again (Alt+Tab, the taskbar, a click on the caption),
            // the focus comes back to this window: the page's keys go dead
            // until it is moved on into the control.
            const LRESULT result = DefWindowProcW(window, message, wParam, lParam);
            if (LOWORD(wParam) != WA_INACTIVE && !HIWORD(wParam)) host->FocusPage();
            return result;
        }
        case WM_SETFOCUS:
            host->FocusPage();
            return 0;
        case WM_MOVE:
        case WM_MOVING:
            // Until the controller exists there is nothing to tell.
            if (host->controller) host->controller->NotifyParentWindowPositionChanged();
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
            if (host->fullscreen.isFullscreen &&
                GetMonitorInfoW(MonitorFromRect(suggested, MONITOR_DEFAULTTONEAREST), &monitor))
                target = monitor.rcMonitor;
            SetWindowPos(window, nullptr, target.left, target.top, target.right - target.left,
                         target.bottom - target.top, SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        case WM_SIZE:
            // The view always fills the client area; minimised, that is empty.
            if (host->controller && !host->firstBounds) {
                RECT client{};
                GetClientRect(window, &client);
                LogIfFailed(host->Log(), "put_Bounds", host->controller->put_Bounds(client));
            }
            return 0;
        default:
            // A second start of this app asks to be shown this window.
            if (message == PresentRequestMessage()) return PresentInstanceWindow(window);
            return DefWindowProcW(window, message, wParam, lParam);
    }
}
