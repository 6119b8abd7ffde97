// Window helpers shared by the main window and the runtime installer's
// progress window, and the only two ways the host shows a message box.
#pragma once

#include <windows.h>

// The dots per inch of a monitor, or of the monitor a window is on, as a
// per-monitor aware program sees them; the system's DPI on Windows that
// can't tell one monitor from another.
UINT DpiOfMonitor(HMONITOR monitor);
UINT DpiOfWindow(HWND window);

// A size in pixels at 96 dots per inch, scaled to dpi and rounded up.
int ScaleForDpi(int logicalPixels, UINT dpi);

// The outer size of a window of this style around a client area of
// clientWidth by clientHeight, with the frame drawn at dpi.
SIZE OuterSizeForDpi(int clientWidth, int clientHeight, DWORD style, UINT dpi);

// Registers a window class of the host: redrawn whole on resizing, the arrow
// cursor, the system colour backgroundColor + 1 as its brush and icon as both
// its large and small icon. False when registration fails.
bool RegisterHostWindowClass(HINSTANCE instance, const wchar_t* className, WNDPROC procedure,
                             int backgroundColor, HICON icon);

// The boxes of a host window, or its class, that can't be made.
inline const wchar_t* const RegisterClassFailedMessage = L"Failed to register window class";
inline const wchar_t* const CreateWindowFailedMessage = L"Failed to create window";

// Every box the host shows goes through these two. A notice: no owner, an OK
// button and icon (MB_ICONERROR or MB_ICONINFORMATION). Returns once the user
// has dismissed it.
void ShowMessageBox(const wchar_t* text, const wchar_t* caption, UINT icon);

// A question: Yes and No buttons and the warning icon, owned by the window it
// is about so it stays in front of it. True when the user answers Yes; No,
// or a box that can't be shown, is false.
bool AskYesNo(HWND owner, const wchar_t* text, const wchar_t* caption);
