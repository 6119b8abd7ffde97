// The one top-level window of the host, and its window procedure, which
// turns the window's messages into calls of the host's session.
#pragma once

#include <windows.h>

#include <string>

struct Win32Host;

extern const wchar_t* const MainWindowClassName;

// An icon of the image's own size made from any file GDI+ decodes, or null.
// GDI+ must be running.
HICON LoadIconFromImageFile(const std::wstring& path);

// The window icon: the manifest's icon text appended to the executable's
// folder as it stands (an absolute path there simply fails to load), or the
// standard application icon when it is empty or can't be loaded. GDI+ must
// be running.
HICON LoadWindowIcon(const std::wstring& exeFolder, const std::wstring& icon);

// Registers the class and creates the hidden main window of host from its
// settings (host.window); the window finds the host through its
// GWLP_USERDATA. On failure it has shown its message box, captioned with the
// default title (the manifest's is not trusted yet), and returns false.
bool CreateMainWindow(HINSTANCE instance, Win32Host& host);

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
