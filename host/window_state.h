// The main window's place between runs: what is remembered, "window.json" in
// the user data folder that holds it, and what of it still fits the monitors
// of the next start. Each host reads and applies the window's own state
// (host/win32/window_placement.h, host/gtk/window_placement.h).
#pragma once

#include <optional>
#include <string>
#include <vector>

class DiagnosticsLog;

// The window in its normal state (neither maximized nor fullscreen), and
// whether it was maximized or fullscreen. x, y: the outer frame's top-left
// corner in screen coordinates (physical pixels of the virtual screen on
// Windows, GTK's logical root-window pixels on Linux). width, height: the
// client area in logical pixels, as the manifest's, so a window that comes
// back on a monitor of another DPI keeps its apparent size.
struct WindowRecord {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool maximized = false;
    bool fullscreen = false;
};

constexpr const wchar_t* WindowStateFileName = L"window.json";
// Larger files are not read at all: the host writes under 100 bytes.
constexpr unsigned WindowStateMaxBytes = 4096;
// A saved corner further out than this is past any desktop: the file is not
// believed. Sizes must lie within MinClientSize..MaxClientSize (platform/dpi.h).
constexpr int MaxWindowCoordinate = 100000;
// How much of the saved rectangle must still lie on a monitor's work area,
// across and down, for it to be restored: enough to grab and drag it.
constexpr int MinVisiblePixels = 64;

// The record as the file's text, and back. Parsing refuses anything the host
// would not have written: not an object, a key missing or of the wrong type,
// a number that is not an integer or lies out of bounds; reason then says
// which, for the log.
std::string FormatWindowRecord(const WindowRecord& record);
std::optional<WindowRecord> ParseWindowRecord(const std::string& text, std::string& reason);

// The record saved in dataFolder (with or without its trailing separator).
// Nothing when there is none (reason empty: a first start is no problem) or
// when the file can't be read, is too large or is refused (reason says why).
std::optional<WindowRecord> LoadWindowRecord(const std::wstring& dataFolder, std::string& reason);

// Writes the record to dataFolder through a temporary file and a rename, so a
// crash never leaves half a file. False when it could not be written.
bool SaveWindowRecord(const std::wstring& dataFolder, const WindowRecord& record);

// The window's place saved by the last run in dataFolder, when the manifest
// asks for it to be remembered; a file that is not believed is logged (log
// may be null) and ignored.
std::optional<WindowRecord> RememberedWindow(bool remember, const std::wstring& dataFolder,
                                             DiagnosticsLog* log);

// A monitor's work area (the screen less the taskbar and docks), in the
// coordinates of WindowRecord::x and y, and its scale: physical pixels per
// logical pixel there (1.25 at 120 DPI; 1 on Linux, where GTK scales).
struct MonitorArea {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    float scale = 1.0f;
};

// What to give the window before it is first shown.
struct PlacementDecision {
    // False: the manifest's size, placed by the window system as on a first start.
    bool restore = false;
    int x = 0;  // the outer frame's top-left corner, as in WindowRecord
    int y = 0;
    // The client area in the chosen monitor's physical pixels (GTK: logical
    // pixels), kept within the work area when resizable.
    int clientWidth = 0;
    int clientHeight = 0;
    bool maximized = false;
    bool fullscreen = false;
    float scale = 1.0f;  // of the monitor the window comes back on
    std::string note;    // why nothing is restored, for the log; empty when restored
};

// Restores the saved record only where its rectangle, scaled for a monitor's
// DPI, still lies at least MinVisiblePixels across and down (or all of it,
// when smaller) on that monitor's work area; of several such monitors the
// one holding most of it. Otherwise nothing. A window that can't be resized
// keeps the manifest's size and is never maximized: only its position and
// fullscreen come back. manifestWidth and manifestHeight are logical pixels.
PlacementDecision DecidePlacement(const std::optional<WindowRecord>& saved,
                                  const std::vector<MonitorArea>& monitors, int manifestWidth,
                                  int manifestHeight, bool resizable);

// DecidePlacement, and the log (may be null) told why a saved place is not
// restored.
PlacementDecision PlacementOf(const std::optional<WindowRecord>& saved,
                              const std::vector<MonitorArea>& monitors, int width, int height,
                              bool resizable, DiagnosticsLog* log);

// A client length measured in physical pixels at scale, in logical pixels:
// the inverse of ScaleLogicalPixels, so a size saved and restored on the same
// monitor never creeps by a pixel each run. At least 1.
int LogicalFromPhysical(int physicalPixels, float scale);
