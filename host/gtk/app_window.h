// The Linux host: one GTK window holding one web view, and the page's policy
// towards the desktop, decided by the same portable rules as on Windows.
#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <functional>
#include <string>

#include "host/gtk/content_scheme.h"
#include "host/process_recovery.h"

class DiagnosticsLog;

// What the window and the view are made from. Startup fills it from the
// manifest, so the host never reads the manifest itself.
struct GtkHostSettings {
    std::wstring title;     // the caption until the page names one, and of the host's dialogs
    int width = 1024;       // of the view, in logical pixels (GTK scales them)
    int height = 768;       // likewise
    std::wstring iconPath;  // the window icon's file; empty for the desktop's default
    bool resizable = true;
    bool enableDevtools = true;
    // The browser's own shortcuts. WebKitGTK binds none to keys (no reload,
    // zoom, find, print, caret browsing or history key): nothing to stop.
    bool browserKeys = true;
    bool contextMenu = true;  // the engine's context menu
    bool autoplay = false;    // media with sound may start without a click
    std::wstring startPage;   // relative to the app origin, query included
};

// What startup hands to the host.
struct GtkHostSetup {
    GtkHostSettings settings;
    ContentServer* server = nullptr;  // serves www beside the executable
    std::string dataFolder;           // native path of the browser's data folder
    // Hears every failure and what was done about it; may be null.
    DiagnosticsLog* log = nullptr;
    // Told of every answered request; may be empty.
    RequestObserver requestObserver;
    // Runs once the view exists, before the start page loads; may be empty.
    // Test builds add their result channel here, the shipped one nothing.
    std::function<void(WebKitWebView*, WebKitUserContentManager*)> extend;
};

// The window, the view and the host's few states. Owned by the startup
// sequence for the life of the main loop; touched on the UI thread only.
struct GtkHost {
    GtkHostSetup setup;
    GtkWindow* window = nullptr;
    WebKitWebView* view = nullptr;
    int width = 1;                // the view's size in logical pixels, kept to
    int height = 1;               // what the window system takes
    bool fullscreen = false;      // the mode last requested
    bool documentLoaded = false;  // a document has loaded: the window is shown
    ProcessRecovery recovery;     // of the web process, by the Windows rules
    bool ending = false;          // a failure has been shown and the loop is ending
    int exitCode = 0;
};

// Creates the hidden window and the view and starts loading the start page;
// the main loop then runs until the window is gone, and host.exitCode is the
// process's exit code.
void StartGtkHost(GtkHost& host);

// Puts the window into the requested mode; a request for the current mode
// does nothing.
void SetFullscreen(GtkHost& host, bool fullscreen);

// Acts on one message text from the page: switches fullscreen mode when
// asked to and drops everything else.
void HandlePageMessage(GtkHost& host, const std::wstring& text);

// The engine failed before the first document loaded: the message dialog
// with the app's title, then the loop ends with exit code 1.
void FailEngineStart(GtkHost& host, const char* reason);

// The web process ended. Before the first document has loaded the engine has
// failed to start; after it the page is reloaded, at most
// ProcessRecovery::ReloadsPerWindow times in any minute, past which the app
// gives up: the dialog that it stopped, then exit code 1.
void OnWebProcessEnded(GtkHost& host, WebKitWebProcessTerminationReason reason);

// A modal error dialog with no parent, for startup failures.
void ShowErrorDialog(const std::wstring& text, const std::wstring& caption);
