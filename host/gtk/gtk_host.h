// The Linux host: one GTK window holding one web view, and the page's policy
// towards the desktop, decided by the same portable rules as on Windows. Its
// state, and its parts, each in a file by job.
#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/browser_arguments.h"
#include "host/gtk/content_scheme.h"
#include "host/gtk/window_placement.h"
#include "host/page_scripts.h"
#include "host/session.h"
#include "platform/text.h"

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
    // F12 and Ctrl+Shift+I open the inspector, with the developer tools on,
    // as the browser's own shortcuts do on Windows.
    bool browserKeys = true;
    bool contextMenu = true;                    // the engine's context menu
    bool autoplay = false;                      // media with sound may start without a click
    PageLogMode pageLog = PageLogMode::Errors;  // which of the page's lines its script posts
    BackgroundMode background = BackgroundMode::Throttle;  // a minimized page's timers
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
    // The members of window.lanternshell, in the app's top-level page; owned
    // by the startup. Null for none.
    const std::vector<PageService>* pageServices = nullptr;
};

// How the player knows this engine, in the session's texts.
constexpr wchar_t WebKitGtkEngineName[] = L"WebKitGTK browser engine";

// The window and the view. Owned by the startup sequence for the life of the
// main loop; touched on the UI thread only.
struct GtkHost {
    GtkHostSetup setup;
    // Decides what the engine's events lead to; set before StartGtkHost.
    Session* session = nullptr;
    GtkWindow* window = nullptr;
    WebKitWebView* view = nullptr;
    int width = 1;             // the view's size in logical pixels, kept to
    int height = 1;            // what the window system takes
    GtkWindowTracker tracker;  // the window's normal place, for window.json
    // Maximized or fullscreen when it first shows: mapped minimized, so that
    // the window manager sizes it before the page loads (LoadAtFirstSize).
    bool mappedMinimized = false;
    gulong firstSizeHandler = 0;  // hears the maximized size
    guint firstSizeTimer = 0;     // the bound on the wait for it
    guint quitSignals[3] = {};    // SIGTERM, SIGINT, SIGHUP
    guint presentSource = 0;      // hears a second start's present requests
    guint sessionTimer = 0;       // the session's (Engine::StartTimer)
    guint pumpTimer = 0;          // Engine::StartPump's

    // The quit sequence, while it waits for the engine.
    bool unloading = false;  // the page is left for about:blank, whose commit ends it
    bool pageHung = false;   // the page did not unload within its bound
    guint browserPoll = 0;   // watches the engine's processes end
    std::int64_t browserClosedUs = 0;
    WebKitWebContext* context = nullptr;  // held until the page's web process ends
    // The engine's processes at the page's last load with the inspector
    // closed: the page's, which the quit waits for. Empty when not known
    // (the page's process ended since), and then every one is waited for.
    std::vector<int> pageProcesses;
};

inline std::wstring WideOrEmpty(const char* utf8) {
    return utf8 ? Utf8ToWide(utf8) : std::wstring();
}

// The top frame's address: the source of the page's messages and requests.
// The bridge reaches the host from the top frame only.
inline std::wstring ViewUri(WebKitWebView* view) {
    return WideOrEmpty(webkit_web_view_get_uri(view));
}

// host_setup.cpp. Creates the hidden window and the view, places the window
// where the last run left it, hears the window's, the view's and the quit
// signals (SIGTERM, SIGINT, SIGHUP) and a second start's present requests,
// and tells the session the engine is ready; the main loop then runs until
// the window is gone.
void StartGtkHost(GtkHost& host);

// host_events.cpp. Connects the window's, the view's and the quit signals,
// each turned into a call of the session; the window and view exist.
void ConnectHostEvents(GtkHost& host);

// page_bridge.cpp. The page's channel to the host: chrome.webview for the
// app's pages, with window.lanternshell over it, and the document's load
// reported from inside it. Adds its scripts and message handlers to content,
// the view's content manager, before the first page loads.
void InstallPageBridge(GtkHost& host, WebKitUserContentManager* content);
// Hands json to the page's chrome.webview "message" listeners.
void PostToPage(GtkHost& host, const std::string& json);

// gtk_engine.cpp. The session's engine: the view in the host's window, which
// must outlive it. Boxes and the end of the loop wait for the main loop: the
// engine goes on using the view once a signal's handlers return, so it must
// not be destroyed in one (that crashed the process).
std::unique_ptr<Engine> MakeGtkEngine(GtkHost& host);

// A modal error dialog with no parent, for startup failures.
void ShowErrorDialog(const std::wstring& text, const std::wstring& caption);
