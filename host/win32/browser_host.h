// The browser control inside the main window: its environment, controller and
// view, and the three asynchronous steps that bring them up.
#pragma once

#include <cstdint>
#include <functional>
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

// The session's engine: the control in the main window. Its calls act on
// BrowserHost and MainWindow.
// firstShow: where and how the window is first shown (a restored
// fullscreen goes through the session, so its mode agrees).
std::unique_ptr<Engine> MakeWebView2Engine(const PlacementDecision& firstShow = {});

// The main window's timer that bounds the page's unload.
constexpr UINT_PTR UnloadTimerId = 0x4C53;
// The unload timer fired: a page that has not unloaded is given up on,
// unless a dialog of the page (its beforeunload question) holds the window.
void OnUnloadTimer();
// The page's end as the view reports it; nothing when no unload waits. The
// session hears it through PageUnloadedMessage, outside the control's
// handler: closing the browser then waits for the control's own events.
void AnswerPageUnload(BrowserHostState& host, UnloadOutcome outcome);
constexpr UINT PageUnloadedMessage = WM_APP + 0x21;  // wParam: the UnloadOutcome
void OnPageUnloadedMessage(WPARAM outcome);
// The user's session ends and the process with it once the message is
// answered: the whole quit sequence runs inside, pumping messages, bounded.
void QuitForSessionEnd();
// Moves the keyboard focus into the control, when there is one.
void FocusPage();
// Pumps messages until done() holds, handle (when given) is signalled or
// timeoutMs have passed; a quit message seen meanwhile is posted again.
// True when done() held or the handle was signalled.
bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs, HANDLE handle = nullptr);

// Starts creating the environment; browserFolder is null (the installed
// runtime) or the relative "webview2". Returns the options object, which the
// caller holds until the message loop has ended. When the creation call fails
// at once, the session has been told and the loop will end.
ComPtr<ICoreWebView2EnvironmentOptions> StartBrowserEnvironment(const wchar_t* browserFolder,
                                                                const std::wstring& userDataFolder,
                                                                const BrowserSettings& settings,
                                                                ContentServer& content,
                                                                Session& session);

// Lets go of the control's objects in reverse order of their creation and
// puts everything else back as a new host has it; the startup sequence calls
// it after the message loop, before COM ends.
void ReleaseBrowserHost();

HRESULT OnEnvironmentCreated(BrowserHostState* host, HRESULT result,
                             ICoreWebView2Environment* environment);
HRESULT OnControllerCreated(BrowserHostState* host, HRESULT result,
                            ICoreWebView2Controller* controller);

// The browser control could not be brought up: the session's failed start
// with the error code (the hidden window is destroyed, never shown). The
// code is the failed call's or completion's own; a completion that reports
// success without an object gives E_POINTER, a view without ICoreWebView2_2
// the query's code. operation names the failed call for the log.
void FailBrowserStart(BrowserHostState& host, const char* operation, HRESULT error);
