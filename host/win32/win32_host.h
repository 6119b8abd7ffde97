// The Windows host: the main window and the browser control inside it, one
// object that the startup makes and keeps for the message loop, as GtkHost is
// on Linux. The window procedure finds it through the window's
// GWLP_USERDATA, the control's handlers through the link they were made
// with; once it has ended neither finds anything. UI thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/browser_arguments.h"
#include "host/page_scripts.h"
#include "host/session.h"
#include "host/win32/fullscreen.h"
#include "platform/win32/com.h"
#include "platform/win32/webview2.h"

class ContentServer;
class DiagnosticsLog;

// How the player knows this engine, in the session's texts.
extern const wchar_t* const WebView2EngineName;

// Milliseconds of GetTickCount64, for the session's clock.
std::int64_t SteadyMilliseconds();

// What the main window and the browser control are made from. Startup fills
// it from the manifest, so the host never reads the manifest itself.
struct Win32HostSettings {
    std::wstring title;  // the caption until the page names one
    int width = 0;       // of the client area, at 96 DPI
    int height = 0;      // likewise
    bool resizable = true;
    HICON icon = nullptr;  // already loaded
    // The browser's command line: the manifest's own arguments, autoplay
    // (media with sound may start without a click), GPU and background.
    BrowserArgumentSettings arguments;
    bool enableDevtools = true;
    bool browserKeys = true;  // the browser's own shortcuts: reload, find, print, zoom...
    bool contextMenu = true;  // the browser's default context menu
    PageLogMode pageLog = PageLogMode::Errors;  // which of the page's lines its script posts
    // The members of window.lanternshell, in the app's top-level page; owned
    // by the startup. Null for none.
    const std::vector<PageService>* pageServices = nullptr;
    // Hears every failure and refused call; may be null.
    DiagnosticsLog* log = nullptr;
};

// Posted to the main window, so that the session hears an answer of the
// control outside the control's own handler; wParam is a QuitEvent.
constexpr UINT QuitEventMessage = WM_APP + 0x21;
// The main window's timers: the session's (Engine::StartTimer), and the
// watch on a browser process that has no exit event.
constexpr UINT_PTR SessionTimerId = 0x4C53;
constexpr UINT_PTR BrowserWatchTimerId = 0x4C54;
constexpr UINT_PTR PumpTimerId = 0x4C55;  // Engine::StartPump

struct Win32Host {
    Win32Host() = default;
    // Clears the link and the window's pointer first, so nothing reaches the
    // host from here on; then lets go of the control's objects, newest
    // first, and of a window still there. Before COM ends.
    ~Win32Host();
    Win32Host(const Win32Host&) = delete;
    Win32Host& operator=(const Win32Host&) = delete;

    DiagnosticsLog* Log() const { return settings.log; }
    // Moves the keyboard focus into the control, when there is one.
    void FocusPage();
    // Lets go of the control's objects, newest first: the browser is gone
    // or the host ends.
    void ReleaseBrowser();

    // What the control's handlers are made with.
    const ContextLink<Win32Host> link = std::make_shared<Win32Host*>(this);
    // Decides what the control's events lead to; set before the browser starts.
    Session* session = nullptr;
    // Answers every request under the app origin; owned by the startup.
    ContentServer* content = nullptr;
    Win32HostSettings settings;
    HWND window = nullptr;  // set by CreateMainWindow, null once destroyed
    FullscreenState fullscreen;
    // Until the window first shows, the client area it will have then
    // (FirstClientRect): the view's size, so that the page's first layout
    // has it. The hidden window's own changes of size don't reach the view.
    std::optional<RECT> firstBounds;

    // What the environment is created from, again after the browser exited.
    ComPtr<ICoreWebView2EnvironmentOptions> options;
    const wchar_t* browserFolder = nullptr;  // null: the installed runtime
    std::wstring userDataFolder;
    // One reference each, set by its step of the setup; null until then.
    ComPtr<ICoreWebView2Environment> environment;
    ComPtr<ICoreWebView2Controller> controller;
    ComPtr<ICoreWebView2> webview;
    ComPtr<ICoreWebView2_2> webview2;

    // The quit sequence: the view was sent to about:blank, and the completion
    // of that navigation (once its id is known) answers the session.
    bool unloading = false;
    std::optional<UINT64> unloadNavigationId;
    // A browser process without an exit event, watched until it has ended.
    HANDLE browserProcess = nullptr;
    // Whether the last fullscreen key press was taken, for its auto-repeats.
    bool fullscreenKeyTaken = false;
};

// webview2_engine.cpp. The session's engine: the control in the host's
// window; the host must outlive it. firstShow: where and how the window is
// first shown (a restored fullscreen goes through the session, so its mode
// agrees).
std::unique_ptr<Engine> MakeWebView2Engine(Win32Host& host,
                                           const PlacementDecision& firstShow = {});
