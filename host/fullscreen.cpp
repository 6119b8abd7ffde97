#include "host/fullscreen.h"

#include "host/main_window.h"

FullscreenStateRecord FullscreenState;

namespace {

// WS_CAPTION and WS_THICKFRAME cleared; every other bit stays.
const LONG FullscreenStyleMask = static_cast<LONG>(0xFF3BFFFFu);
// WS_EX_DLGMODALFRAME, WS_EX_WINDOWEDGE, WS_EX_CLIENTEDGE, WS_EX_STATICEDGE cleared.
const LONG FullscreenExStyleMask = static_cast<LONG>(0xFFFDFCFEu);

// 56FDF344-FD6D-11D0-958A-006097C9A090
const CLSID TaskbarListClass = {
    0x56FDF344, 0xFD6D, 0x11D0, {0x95, 0x8A, 0x00, 0x60, 0x97, 0xC9, 0xA0, 0x90}};
// 602D4995-B13A-429B-A66E-1935E44F4317
const IID TaskbarList2Interface = {
    0x602D4995, 0xB13A, 0x429B, {0xA6, 0x6E, 0x19, 0x35, 0xE4, 0x4F, 0x43, 0x17}};

// The taskbar list, created and initialised on first use; null when either
// step fails, in which case the next call tries again.
ITaskbarList2* ReadyTaskbarList() {
    ComPtr<ITaskbarList2>& list = FullscreenState.taskbarList;
    if (!list) {
        if (FAILED(CoCreateInstance(TaskbarListClass, nullptr, CLSCTX_INPROC_SERVER,
                                    TaskbarList2Interface,
                                    reinterpret_cast<void**>(list.ReleaseAndGetAddressOf()))))
            list.Reset();
        else if (FAILED(list->HrInit()))
            list.Reset();
    }
    return list.Get();
}

}  // namespace

void SetFullscreen(bool fullscreen) {
    if (fullscreen == FullscreenState.isFullscreen) return;
    FullscreenState.isFullscreen = fullscreen;

    const HWND window = MainWindow.windowHandle;
    RECT target{};
    if (fullscreen) {
        FullscreenState.savedStyle = GetWindowLongW(window, GWL_STYLE);
        FullscreenState.savedExStyle = GetWindowLongW(window, GWL_EXSTYLE);
        GetWindowRect(window, &FullscreenState.savedWindowRect);
        SetWindowLongW(window, GWL_STYLE, FullscreenState.savedStyle & FullscreenStyleMask);
        SetWindowLongW(window, GWL_EXSTYLE, FullscreenState.savedExStyle & FullscreenExStyleMask);
        // The whole monitor, taskbar area included.
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
        target = monitor.rcMonitor;
    } else {
        SetWindowLongW(window, GWL_STYLE, FullscreenState.savedStyle);
        SetWindowLongW(window, GWL_EXSTYLE, FullscreenState.savedExStyle);
        target = FullscreenState.savedWindowRect;
    }
    // The size change reaches the browser control through WM_SIZE.
    SetWindowPos(window, nullptr, target.left, target.top, target.right - target.left,
                 target.bottom - target.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);

    if (ITaskbarList2* list = ReadyTaskbarList()) list->MarkFullscreenWindow(window, fullscreen);
}
