// The Linux host: one GTK window holding one web view, and the page's policy
// towards the desktop, decided by the same portable rules as on Windows.
#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "host/gtk/content_scheme.h"
#include "host/gtk/window_placement.h"
#include "host/session.h"

class DiagnosticsLog;
class InstanceLock;

// What the window and the view are made from. Startup fills it from the
// manifest, so the host never reads the manifest itself.
struct GtkHostSettings {
    std::wstring title;     // the caption until the page names one
    int width = 1024;       // of the view, in logical pixels (GTK scales them)
    int height = 768;       // likewise
    std::wstring iconPath;  // the window icon's file; empty for the desktop's default
    bool resizable = true;
    bool enableDevtools = true;
    bool contextMenu = true;  // the engine's context menu
    bool autoplay = false;    // media with sound may start without a click
};

// What startup hands to the host.
struct GtkHostSetup {
    GtkHostSettings settings;
    ContentServer* server = nullptr;  // serves www beside the executable
    std::string dataFolder;           // native path of the browser's data folder
    DiagnosticsLog* log = nullptr;    // hears every failure and what was done; may be null
    RequestObserver requestObserver;  // told of every answered request; may be empty
    // Runs once the view exists, before the start page loads; may be empty.
    // Test builds add their result channel here, the shipped one nothing.
    std::function<void(WebKitWebView*, WebKitUserContentManager*)> extend;
    // The window's place saved by the last run (RememberedWindow); nothing
    // gives the manifest's size.
    std::optional<WindowRecord> remembered;
    // Held for the main loop; a second start asks it to present the window.
    // May be null.
    const InstanceLock* instance = nullptr;
};

// How the player knows this engine, in the session's texts.
extern const wchar_t* const WebKitGtkEngineName;

// The window and the view. Owned by the startup sequence for the life of the
// main loop; touched on the UI thread only.
struct GtkHost {
    GtkHostSetup setup;
    // Decides what the engine's events lead to; set before StartGtkHost.
    Session* session = nullptr;
    GtkWindow* window = nullptr;
    WebKitWebView* view = nullptr;
    int width = 1;              // the view's size in logical pixels, kept to
    int height = 1;             // what the window system takes
    GtkWindowTracker tracker;   // the window's normal place, for window.json
    guint quitSignals[3] = {};  // SIGTERM, SIGINT, SIGHUP
    guint presentSource = 0;    // hears a second start's present requests

    // The quit sequence, while it waits for the engine.
    bool unloading = false;  // the page is left for about:blank, whose load ends it
    bool pageHung = false;   // the page did not unload within its bound
    guint unloadTimer = 0;   // the page's bound, not counted while it asks
    int unloadTimeoutMs = 0;
    guint browserPoll = 0;  // watches the engine's processes end
    std::int64_t browserTimeoutUs = 0;
    std::int64_t browserDeadlineUs = 0;
    WebKitWebContext* context = nullptr;  // held until the page's web process ends
};

// The session's engine: the view in the window. Boxes and the end of the
// loop wait for the main loop: the engine goes on using the view once a
// signal's handlers return, so it must not be destroyed in one (that crashed
// the process).
std::unique_ptr<Engine> MakeGtkEngine(GtkHost& host);

// Creates the hidden window and the view, places the window where the last
// run left it, hears the quit signals (SIGTERM, SIGINT, SIGHUP) and a second
// start's present requests, and tells the session the engine is ready; the
// main loop then runs until the window is gone.
void StartGtkHost(GtkHost& host);

// A modal error dialog with no parent, for startup failures.
void ShowErrorDialog(const std::wstring& text, const std::wstring& caption);
