// The one top-level window of the host and the DPI scaling it shares with the
// runtime installer's progress window.
#pragma once

#include <windows.h>

struct MainWindowState {
    HWND windowHandle = nullptr;
    ULONG_PTR gdiplusToken = 0;
};

extern MainWindowState MainWindow;

// A size in pixels at 96 dots per inch, scaled to the system DPI (read once,
// on the first call) and rounded up.
int ScaleForDpi(int logicalPixels);
