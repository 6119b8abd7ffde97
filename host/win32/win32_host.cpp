#include "host/win32/win32_host.h"

#include "platform/diagnostics_log.h"

const wchar_t* const WebView2EngineName = L"WebView2 browser control";

std::int64_t SteadyMilliseconds() {
    return static_cast<std::int64_t>(GetTickCount64());
}

Win32Host::~Win32Host() {
    *link = nullptr;
    if (window) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
    }
    ReleaseBrowser();
    options.Reset();
    if (browserProcess) CloseHandle(browserProcess);
}

void Win32Host::FocusPage() {
    // Quitting, the controller may be closed already.
    if (controller && !(session && session->Quitting()))
        LogIfFailed(Log(), "MoveFocus",
                    controller->MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC));
}

void Win32Host::ReleaseBrowser() {
    webview2.Reset();
    webview.Reset();
    controller.Reset();
    environment.Reset();
}
