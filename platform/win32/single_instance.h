// The Windows side of one instance per app: the running instance's main
// window is marked with the app's key, and a second start finds it by that
// mark (the window class is shared by every app) and sends it the present
// request. UI thread only.
#pragma once

#include <windows.h>

#include <string>

// Marks window as the main window of the app whose user data folder is
// dataFolder. Call once it is created.
void MarkInstanceWindow(HWND window, const std::wstring& dataFolder);

// The registered message a second start sends to the marked window. Its
// window procedure answers it with PresentInstanceWindow(window).
UINT PresentRequestMessage();

// Restores the window if minimized and brings it to the front. A window not
// shown yet (its first page still loading) is left hidden: it comes to the
// front by itself when shown. Returns 1, the answer a second start awaits.
LRESULT PresentInstanceWindow(HWND window);
