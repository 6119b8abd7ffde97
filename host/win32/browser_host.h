// The browser control inside the main window: its environment, controller and
// view, and the three asynchronous steps that bring them up.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "host/session.h"
#include "host/window_state.h"
#include "platform/win32/com.h"
#include "platform/win32/webview2.h"

class ContentServer;
class DiagnosticsLog;

// Milliseconds of GetTickCount64, for the recovery bounds.
std::int64_t SteadyMilliseconds();

// How the player knows this engine, in the session's texts.
extern const wchar_t* const WebView2EngineName;

// What the browser control is set up with, from the manifest.
struct BrowserSettings {
    std::wstring additionalArguments;  // handed to the browser as they are
    bool enableDevtools = true;
    bool browserKeys = true;  // the browser's own shortcuts: reload, find, print, zoom...
    bool contextMenu = true;  // the browser's default context menu
    bool autoplay = false;    // media with sound may start without a click
    // Hears every refused call; may be null.
    DiagnosticsLog* log = nullptr;
};

// UI thread only. Each COM field holds one reference, is set by its step and
// is released by ReleaseBrowserHost, in reverse order: webview2, webview,
// controller, environment. Null until its step has run. When the browser
// process exits, the four are released and the steps run once more with the
// same folder, user data folder and options.
struct BrowserHostState {
    ComPtr<ICoreWebView2Environment> environment;
    ComPtr<ICoreWebView2Controller> controller;
    ComPtr<ICoreWebView2> webview;
    ComPtr<ICoreWebView2_2> webview2;
    BrowserSettings settings;
    // What the environment was created from, for starting it again.
    ComPtr<ICoreWebView2EnvironmentOptions> options;
    const wchar_t* browserFolder = nullptr;
    std::wstring userDataFolder;
    // Answers every request under the app origin; owned by the startup
    // sequence, which keeps it until the host is released.
    ContentServer* content = nullptr;
    // Decides what the control's events lead to; owned by the startup
    // sequence. Once it is ending, completions that still arrive do nothing.
    Session* session = nullptr;

    // The quit sequence's waits. unloading: the view was sent to about:blank
    // and its completion (of that navigation, once its id is known) or the
    // timer answers the session. browserExited: the environment said so.
    bool unloading = false;
    std::optional<UINT64> unloadNavigationId;
    int unloadTimeoutMs = 0;
    bool unloadSawDialog = false;
    bool browserExited = false;
    // Whether the last fullscreen key press was taken, for its auto-repeats.
    bool fullscreenKeyTaken = false;
};

extern BrowserHostState BrowserHost;

// The session's engine: the control in the main window, acting on
// BrowserHost and MainWindow. firstShow: where and how the window is first
// shown (a restored fullscreen goes through the session, so its mode agrees).
std::unique_ptr<Engine> MakeWebView2Engine(const PlacementDecision& firstShow = {});

// The main window's timer that bounds the page's unload.
constexpr UINT_PTR UnloadTimerId = 0x4C53;
// The unload timer fired: a page that has not unloaded is given up on,
// unless a dialog of the page (its beforeunload question) holds the window.
void OnUnloadTimer();
// The page's unload answered (wParam: the UnloadOutcome), posted so the
// session hears it outside the control's handler.
constexpr UINT PageUnloadedMessage = WM_APP + 0x21;
void OnPageUnloadedMessage(WPARAM outcome);
// The user's session ends and the process with it once the message is
// answered: the whole quit sequence runs inside, pumping messages, bounded.
void QuitForSessionEnd();
// Moves the keyboard focus into the control, when there is one.
void FocusPage();

// Starts creating the environment; browserFolder is null (the installed
// runtime) or the relative "webview2". When the creation call fails at once,
// the session has been told and the loop will end.
void StartBrowserEnvironment(const wchar_t* browserFolder, const std::wstring& userDataFolder,
                             const BrowserSettings& settings, ContentServer& content,
                             Session& session);

// Lets go of the control's objects in reverse order of their creation and
// puts everything else back as a new host has it; the startup sequence calls
// it after the message loop, before COM ends.
void ReleaseBrowserHost();

// The control's events. Each turns one event into a call of the session and
// carries out its answer; each runs on the UI thread, finishes before it
// returns and reports success to the control whatever happened. Without a
// host, session or arguments it does nothing; a URI or text the control
// fails to hand out ends it; a decision the control refuses is logged.
HRESULT OnEnvironmentCreated(BrowserHostState* host, HRESULT result,
                             ICoreWebView2Environment* environment);
HRESULT OnDocumentTitleChanged(BrowserHostState* host, ICoreWebView2* sender, IUnknown* args);
HRESULT OnWebResourceRequested(BrowserHostState* host, ICoreWebView2* sender,
                               ICoreWebView2WebResourceRequestedEventArgs* args);
HRESULT OnNavigationStarting(BrowserHostState* host, ICoreWebView2* sender,
                             ICoreWebView2NavigationStartingEventArgs* args);
HRESULT OnPermissionRequested(BrowserHostState* host, ICoreWebView2* sender,
                              ICoreWebView2PermissionRequestedEventArgs* args);
HRESULT OnContainsFullScreenElementChanged(BrowserHostState* host, ICoreWebView2* sender,
                                           IUnknown* args);
HRESULT OnNewWindowRequested(BrowserHostState* host, ICoreWebView2* sender,
                             ICoreWebView2NewWindowRequestedEventArgs* args);
HRESULT OnWebMessageReceived(BrowserHostState* host, ICoreWebView2* sender,
                             ICoreWebView2WebMessageReceivedEventArgs* args);
HRESULT OnProcessFailed(BrowserHostState* host, ICoreWebView2* sender,
                        ICoreWebView2ProcessFailedEventArgs* args);
