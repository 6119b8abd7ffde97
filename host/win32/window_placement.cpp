#include "host/win32/window_placement.h"

#include "platform/win32/window.h"

namespace {

float ScaleOf(HMONITOR monitor) {
    return static_cast<float>(DpiOfMonitor(monitor)) / 96.0f;
}

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, RECT*, LPARAM parameter) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(monitor, &info)) {
        const RECT& work = info.rcWork;
        reinterpret_cast<std::vector<MonitorArea>*>(parameter)->push_back(
            {work.left, work.top, work.right, work.bottom, ScaleOf(monitor)});
    }
    return TRUE;
}

// The frame the style puts around a client area of no size.
RECT FrameOf(DWORD style, DWORD exStyle) {
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, style & ~static_cast<DWORD>(WS_MAXIMIZE | WS_MINIMIZE), FALSE,
                       exStyle);
    return frame;
}

// GetWindowPlacement gives a top-level window's normal rectangle in
// workspace coordinates, which are offset by the taskbar when it sits at the
// top or left of the monitor's work area.
RECT ScreenFromWorkspace(RECT rect) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &info))
        OffsetRect(&rect, info.rcWork.left - info.rcMonitor.left,
                   info.rcWork.top - info.rcMonitor.top);
    return rect;
}

}  // namespace

std::vector<MonitorArea> ListMonitorAreas() {
    std::vector<MonitorArea> monitors;
    EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

WindowRecord ReadWindowRecord(HWND window, const FullscreenState& fullscreen) {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(window, &placement);
    DWORD style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
    DWORD exStyle = static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE));

    WindowRecord record;
    record.fullscreen = fullscreen.isFullscreen;
    RECT outer = ScreenFromWorkspace(placement.rcNormalPosition);
    if (fullscreen.isFullscreen) {
        // Fullscreen took the frame away; the window's own state is the one
        // it had before.
        style = static_cast<DWORD>(fullscreen.savedStyle);
        exStyle = static_cast<DWORD>(fullscreen.savedExStyle);
        record.maximized = (style & WS_MAXIMIZE) != 0;
        // From a normal window, entering fullscreen moved the normal
        // rectangle too: the one before is what was saved.
        if (!record.maximized) outer = fullscreen.savedWindowRect;
    } else {
        record.maximized =
            placement.showCmd == SW_SHOWMAXIMIZED ||
            (placement.showCmd == SW_SHOWMINIMIZED && (placement.flags & WPF_RESTORETOMAXIMIZED));
        // A normal window's own rectangle needs no conversion.
        if (!IsIconic(window) && !IsZoomed(window)) GetWindowRect(window, &outer);
    }
    const RECT frame = FrameOf(style, exStyle);
    const float scale = ScaleOf(MonitorFromRect(&outer, MONITOR_DEFAULTTONEAREST));
    record.x = outer.left;
    record.y = outer.top;
    record.width =
        LogicalFromPhysical((outer.right - outer.left) - (frame.right - frame.left), scale);
    record.height =
        LogicalFromPhysical((outer.bottom - outer.top) - (frame.bottom - frame.top), scale);
    return record;
}

void ApplyPlacement(HWND window, const PlacementDecision& decision) {
    if (!decision.restore) return;
    // Moved while hidden and normal, the rectangle becomes the normal one
    // that maximizing later keeps for restoring; screen coordinates, unlike
    // SetWindowPlacement's workspace ones.
    const RECT frame = FrameOf(static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)),
                               static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)));
    SetWindowPos(window, nullptr, decision.x, decision.y,
                 decision.clientWidth + (frame.right - frame.left),
                 decision.clientHeight + (frame.bottom - frame.top), SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT FirstClientRect(HWND window, const PlacementDecision& decision) {
    RECT client{};
    GetClientRect(window, &client);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!decision.restore || !(decision.fullscreen || decision.maximized) ||
        !GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor))
        return client;
    if (decision.fullscreen) {
        const RECT& area = monitor.rcMonitor;
        return {0, 0, area.right - area.left, area.bottom - area.top};
    }
    // Maximized, the sizing frame lies past the work area's edges: the
    // client area is the work area but for the caption.
    const RECT frame = FrameOf(static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)),
                               static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)));
    const RECT& work = monitor.rcWork;
    return {0, 0, work.right - work.left + frame.left + frame.right,
            work.bottom - work.top + frame.top + frame.bottom};
}

void ShowPlacedWindow(HWND window, FullscreenState& fullscreen, const PlacementDecision& decision) {
    ShowWindow(window, decision.restore && decision.maximized ? SW_SHOWMAXIMIZED : SW_SHOW);
    if (decision.restore && decision.fullscreen) SetFullscreen(window, fullscreen, true);
}
