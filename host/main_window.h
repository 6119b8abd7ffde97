// The one top-level window of the host and the DPI scaling it shares with the
// runtime installer's progress window.
#pragma once

#include <windows.h>

#include <string>

struct MainWindowState {
    HWND windowHandle = nullptr;
    ULONG_PTR gdiplusToken = 0;
};

extern MainWindowState MainWindow;

extern const wchar_t* const MainWindowClassName;

// A size in pixels at 96 dots per inch, scaled to the system DPI (read once,
// on the first call) and rounded up.
int ScaleForDpi(int logicalPixels);

// An icon of the image's own size made from any file GDI+ decodes, or null.
// GDI+ must be running.
HICON LoadIconFromImageFile(const std::wstring& path);

// Starts GDI+ (its token goes to MainWindow) and sets appConfig.iconHandle
// from the manifest's icon, falling back to the standard application icon.
void LoadWindowIcon();

// Registers a window class of the host: redrawn whole on resizing, the arrow
// cursor, the system colour backgroundColor + 1 as its brush and icon as both
// its large and small icon. False when registration fails.
bool RegisterHostWindowClass(HINSTANCE instance, const wchar_t* className, WNDPROC procedure,
                             int backgroundColor, HICON icon);

// Registers the class and creates the hidden main window from appConfig.
// On failure it has shown its message box and returns false.
bool CreateMainWindow(HINSTANCE instance);

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
