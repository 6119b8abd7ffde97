// The main window's remembered state on Windows: read from the window when
// the app quits, applied to it before it is first shown. UI thread only.
#pragma once

#include <windows.h>

#include <vector>

#include "host/win32/fullscreen.h"
#include "host/window_state.h"

// Every monitor's work area in virtual-screen pixels, with its own scale
// (GetDpiForMonitor; the system DPI where that is missing).
std::vector<MonitorArea> ListMonitorAreas();

// The window's state for window.json: its normal rectangle whether it is
// maximized, minimized or fullscreen now (fullscreen holds the rectangle and
// style it had before, in FullscreenState), and whether it is
// maximized (or minimized from maximized) and fullscreen. The client size is
// in logical pixels at the scale of the monitor the rectangle lies on.
WindowRecord ReadWindowRecord(HWND window, const FullscreenState& fullscreen);

// Gives the hidden window the decided position and client size, so that is
// its normal rectangle; nothing when the decision restores nothing.
void ApplyPlacement(HWND window, const PlacementDecision& decision);

// The client area, from (0, 0), that the hidden window will have once shown
// as decided: for a restored fullscreen window its monitor, for a maximized
// one its monitor's work area less the caption, else the one it has now.
RECT FirstClientRect(HWND window, const PlacementDecision& decision);

// Shows the window as decided, in place of the host's ShowWindow(SW_SHOW):
// maximized when it was, and then fullscreen through SetFullscreen when it
// was.
void ShowPlacedWindow(HWND window, FullscreenState& fullscreen, const PlacementDecision& decision);
