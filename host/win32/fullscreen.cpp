#include "host/win32/fullscreen.h"

namespace {

// No caption and no sizing frame; every other bit stays.
const LONG FullscreenStyleMask = ~static_cast<LONG>(WS_CAPTION | WS_THICKFRAME);
// No edge of any kind around the window.
const LONG FullscreenExStyleMask = ~static_cast<LONG>(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE |
                                                      WS_EX_CLIENTEDGE | WS_EX_STATICEDGE);

// The taskbar list, created and initialised on first use; null when either
// step fails, in which case the next call tries again.
ITaskbarList2* ReadyTaskbarList(FullscreenState& state) {
    ComPtr<ITaskbarList2>& list = state.taskbarList;
    if (!list) {
        if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_PPV_ARGS(list.ReleaseAndGetAddressOf()))))
            list.Reset();
        else if (FAILED(list->HrInit()))
            list.Reset();
    }
    return list.Get();
}

}  // namespace

void SetFullscreen(HWND window, FullscreenState& state, bool fullscreen) {
    if (fullscreen == state.isFullscreen) return;
    state.isFullscreen = fullscreen;
    RECT target{};
    if (fullscreen) {
        state.savedStyle = GetWindowLongW(window, GWL_STYLE);
        state.savedExStyle = GetWindowLongW(window, GWL_EXSTYLE);
        GetWindowRect(window, &state.savedWindowRect);
        SetWindowLongW(window, GWL_STYLE, state.savedStyle & FullscreenStyleMask);
        SetWindowLongW(window, GWL_EXSTYLE, state.savedExStyle & FullscreenExStyleMask);
        // The whole monitor, taskbar area included.
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
        target = monitor.rcMonitor;
    } else {
        SetWindowLongW(window, GWL_STYLE, state.savedStyle);
        SetWindowLongW(window, GWL_EXSTYLE, state.savedExStyle);
        target = state.savedWindowRect;
    }
    // The size change reaches the browser control through WM_SIZE.
    SetWindowPos(window, nullptr, target.left, target.top, target.right - target.left,
                 target.bottom - target.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);

    if (ITaskbarList2* list = ReadyTaskbarList(state))
        list->MarkFullscreenWindow(window, fullscreen);
}
