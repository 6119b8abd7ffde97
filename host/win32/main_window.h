// The one top-level window of the host.
#pragma once

#include <windows.h>

#include <string>

class DiagnosticsLog;

// UI thread only. Set by CreateMainWindow, read by the browser host, the
// fullscreen switch and the page's handlers.
struct MainWindowState {
    HWND windowHandle = nullptr;
};

extern MainWindowState MainWindow;

extern const wchar_t* const MainWindowClassName;

// What the main window is made from: the manifest's window settings, already
// with the icon loaded.
struct MainWindowSettings {
    std::wstring title;
    int width = 0;   // of the client area, at 96 DPI
    int height = 0;  // likewise
    bool resizable = true;
    HICON icon = nullptr;
    // Of the boxes for a class or window that can't be made.
    std::wstring failureCaption;
    DiagnosticsLog* log = nullptr;  // hears those failures; may be null
};

// An icon of the image's own size made from any file GDI+ decodes, or null.
// GDI+ must be running.
HICON LoadIconFromImageFile(const std::wstring& path);

// The window icon: the manifest's icon text appended to the executable's
// folder as it stands (an absolute path there simply fails to load), or the
// standard application icon when it is empty or can't be loaded. GDI+ must
// be running.
HICON LoadWindowIcon(const std::wstring& exeFolder, const std::wstring& icon);

// Registers the class and creates the hidden main window from settings.
// On failure it has shown its message box and returns false.
bool CreateMainWindow(HINSTANCE instance, const MainWindowSettings& settings);

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
