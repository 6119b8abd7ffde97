// The main window's remembered state on Linux: tracked while the app runs,
// read when it quits, applied before the window is first shown. GTK reports
// a window's size and position as they are now, so the normal ones are kept
// from the last moment the window was neither maximized nor fullscreen.
// Sizes and positions are GTK's logical pixels, which GTK scales itself:
// every monitor has scale 1 here. UI thread only.
#pragma once

#include <gtk/gtk.h>

#include <vector>

#include "host/window_state.h"

class InstanceLock;

// Owned by the host beside its window, for the window's life.
struct GtkWindowTracker {
    WindowRecord normal;  // x, y, width, height of the normal window
    bool seen = false;    // normal has been measured at least once
};

// Every monitor's work area in root-window coordinates.
std::vector<MonitorArea> ListMonitorAreas();

// Follows the window's configure and state events into tracker, which must
// outlive the window.
void TrackWindowState(GtkWindow* window, GtkWindowTracker& tracker);

// The record to save: the tracked normal rectangle (the window's current one
// when none was tracked) and whether the window is maximized or fullscreen
// now.
WindowRecord ReadWindowRecord(GtkWindow* window, const GtkWindowTracker& tracker);

// Gives the window, not yet shown, the decided size and position, and
// maximizes it when decided; nothing when the decision restores nothing.
// The tracker starts from that rectangle: a window that starts maximized or
// fullscreen is never measured normal before it is left. The position is a
// request the window system may overrule (Wayland always does). Fullscreen
// is the session's mode, left to it.
void ApplyPlacement(GtkWindow* window, const PlacementDecision& decision,
                    GtkWindowTracker& tracker);

// A second start's present request (see platform/single_instance.h): watches
// the lock's listening socket and presents window on each request, restored
// if minimized and raised, once it is shown (while the first page loads it
// stays hidden). The lock and the window must outlive the main loop. Returns
// the GLib source, 0 when the lock has no listener.
guint PresentOnRequest(const InstanceLock& lock, GtkWindow* window);
