// Fullscreen mode of a window: the whole nearest monitor, no caption or
// sizing frame, and the taskbar told that the window is fullscreen.
#pragma once

#include <windows.h>
#include <shobjidl.h>

#include "platform/win32/com.h"

// One window's mode, touched only by SetFullscreen; the host keeps its main
// window's. UI thread only. The saved fields are written on entering
// fullscreen and read on leaving it.
struct FullscreenState {
    bool isFullscreen = false;
    LONG savedStyle = 0;
    LONG savedExStyle = 0;
    RECT savedWindowRect{};
    // Created on first use; left empty after a failed creation so that the
    // next change tries again.
    ComPtr<ITaskbarList2> taskbarList;
};

// Puts window into the requested mode; a request for the current mode does
// nothing. Needs COM on the calling thread.
void SetFullscreen(HWND window, FullscreenState& state, bool fullscreen);
