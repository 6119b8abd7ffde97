#include "host/win32/browser_host.h"

#include <cwchar>
#include <string>

#include "host/win32/browser_events.h"
#include "host/win32/environment_options.h"
#include "host/win32/main_window.h"
#include "platform/diagnostics_log.h"
#include "platform/win32/webview2_loader.h"
#include "platform/win32/window.h"
#include "server/origin.h"

BrowserHostState BrowserHost;

namespace {

const wchar_t* const StoppedMessage =
    L"The app stopped unexpectedly and could not be restarted. Run it again.";
const wchar_t* const NotRespondingMessage = L"The app is not responding. Reload it?";

DiagnosticsLog* HostLog() {
    return BrowserHost.settings.log;
}

void Log(const std::string& text) {
    if (DiagnosticsLog* log = HostLog()) log->Write(text);
}

// What a completion reports: its own failure code, or E_POINTER when it
// claims success but hands over no object.
HRESULT CompletionError(HRESULT result, const void* object) {
    if (FAILED(result)) return result;
    return object ? S_OK : E_POINTER;
}

// Adds a handler to view through one of its add_ slots, with no token: the
// host never removes a handler. A refused registration is logged, and setup
// goes on without the handler; false then. call names the slot for the log.
template <class View, class Interface, class... Arguments>
bool Register(View* view, HRESULT (View::*add)(Interface*, EventRegistrationToken*),
              HRESULT (*handler)(Arguments...), const char* call) {
    auto callback = MakeCallback<Interface>(handler);
    const HRESULT result = (view->*add)(callback.Get(), nullptr);
    LogIfFailed(HostLog(), call, result);
    return SUCCEEDED(result);
}

template <class View, class Interface, class Context, class... Arguments>
bool Register(View* view, HRESULT (View::*add)(Interface*, EventRegistrationToken*),
              Context* context, HRESULT (*handler)(Context*, Arguments...), const char* call) {
    auto callback = MakeCallback<Interface>(context, handler);
    const HRESULT result = (view->*add)(callback.Get(), nullptr);
    LogIfFailed(HostLog(), call, result);
    return SUCCEEDED(result);
}

// One put_ slot of a newer settings interface, asked for by QueryInterface.
// A runtime that lacks the interface is logged, with what that leaves as
// the control has it, and setup goes on.
template <class Newer>
void PutNewerSetting(ICoreWebView2Settings* settings, const char* name,
                     HRESULT (STDMETHODCALLTYPE Newer::*put)(BOOL), const char* call, BOOL value,
                     const char* withoutIt) {
    ComPtr<Newer> newer;
    HRESULT result =
        settings->QueryInterface(__uuidof(Newer), reinterpret_cast<void**>(newer.GetAddressOf()));
    if (SUCCEEDED(result) && !newer) result = E_NOINTERFACE;
    if (FAILED(result)) {
        Log(std::string("the browser control lacks ") + name + " (error " +
            HexCode(static_cast<unsigned>(result)) + "): " + withoutIt);
        return;
    }
    LogIfFailed(HostLog(), call, (newer.Get()->*put)(value));
}

// What the page may do, set before it loads. A setting the control refuses
// keeps the control's default; the log says which.
void ApplySettings(ICoreWebView2Settings* settings, const BrowserSettings& browser) {
    const struct {
        const char* call;
        HRESULT (STDMETHODCALLTYPE ICoreWebView2Settings::*put)(BOOL);
        BOOL value;
    } puts[] = {
        {"put_IsScriptEnabled", &ICoreWebView2Settings::put_IsScriptEnabled, TRUE},
        {"put_AreHostObjectsAllowed", &ICoreWebView2Settings::put_AreHostObjectsAllowed, FALSE},
        {"put_AreDefaultScriptDialogsEnabled",
         &ICoreWebView2Settings::put_AreDefaultScriptDialogsEnabled, TRUE},
        {"put_IsWebMessageEnabled", &ICoreWebView2Settings::put_IsWebMessageEnabled, TRUE},
        {"put_IsZoomControlEnabled", &ICoreWebView2Settings::put_IsZoomControlEnabled, FALSE},
        {"put_AreDefaultContextMenusEnabled",
         &ICoreWebView2Settings::put_AreDefaultContextMenusEnabled,
         browser.contextMenu ? TRUE : FALSE},
        {"put_AreDevToolsEnabled", &ICoreWebView2Settings::put_AreDevToolsEnabled,
         browser.enableDevtools ? TRUE : FALSE},
    };
    for (const auto& put : puts) LogIfFailed(HostLog(), put.call, (settings->*put.put)(put.value));
    // Reload, find, print, zoom and history keys: a reload throws unsaved
    // progress away, so a game may turn them off.
    PutNewerSetting(settings, "ICoreWebView2Settings3",
                    &ICoreWebView2Settings3::put_AreBrowserAcceleratorKeysEnabled,
                    "put_AreBrowserAcceleratorKeysEnabled", browser.browserKeys ? TRUE : FALSE,
                    "the browser's own shortcuts stay on");
    // Always off: pinch zoom slips past the zoom control, and a swipe goes
    // back in history, taking the game's state with it.
    PutNewerSetting(settings, "ICoreWebView2Settings5",
                    &ICoreWebView2Settings5::put_IsPinchZoomEnabled, "put_IsPinchZoomEnabled",
                    FALSE, "pinch zoom stays on");
    PutNewerSetting(settings, "ICoreWebView2Settings6",
                    &ICoreWebView2Settings6::put_IsSwipeNavigationEnabled,
                    "put_IsSwipeNavigationEnabled", FALSE, "swipe navigation stays on");
}

}  // namespace

std::int64_t SteadyMilliseconds() {
    return static_cast<std::int64_t>(GetTickCount64());
}

void FailBrowserStart(const char* operation, HRESULT error) {
    if (BrowserHost.startFailed) return;
    BrowserHost.startFailed = true;
    BrowserHost.ending = true;
    Log(std::string("failed: ") + operation + " (error " + HexCode(static_cast<unsigned>(error)) +
        "): the browser control could not be started");
    wchar_t text[96];
    swprintf(text, sizeof text / sizeof text[0],
             L"Failed to start the WebView2 browser control (error 0x%08X).",
             static_cast<unsigned>(error));
    ShowMessageBox(text, BrowserHost.settings.failureCaption.c_str(), MB_ICONERROR);
    // Destroying the window posts the quit message with 0; the second
    // request replaces that code, so the loop ends with 1.
    if (MainWindow.windowHandle && IsWindow(MainWindow.windowHandle))
        DestroyWindow(MainWindow.windowHandle);
    PostQuitMessage(1);
}

ComPtr<ICoreWebView2EnvironmentOptions> StartBrowserEnvironment(const wchar_t* browserFolder,
                                                                const std::wstring& userDataFolder,
                                                                const BrowserSettings& settings,
                                                                ContentServer& content) {
    BrowserHost.settings = settings;
    BrowserHost.content = &content;
    BrowserHost.browserFolder = browserFolder;
    BrowserHost.userDataFolder = userDataFolder;
    ComPtr<ICoreWebView2EnvironmentOptions> options = CreateEnvironmentOptions();
    // Set even when empty, so the control never falls back to arguments of
    // its own choosing. The autoplay switch comes last, so it wins over one
    // the manifest's own arguments name.
    std::wstring arguments = settings.additionalArguments;
    if (settings.autoplay) {
        if (!arguments.empty()) arguments += L' ';
        arguments += L"--autoplay-policy=no-user-gesture-required";
    }
    LogIfFailed(HostLog(), "put_AdditionalBrowserArguments",
                options->put_AdditionalBrowserArguments(arguments.c_str()));
    BrowserHost.options = options;
    auto callback = MakeCallback<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(
        &OnEnvironmentCreated);
    const HRESULT result = LoaderCreateEnvironment(browserFolder, userDataFolder.c_str(),
                                                   options.Get(), callback.Get());
    if (FAILED(result)) FailBrowserStart("CreateCoreWebView2EnvironmentWithOptions", result);
    return options;
}

HRESULT OnEnvironmentCreated(HRESULT result, ICoreWebView2Environment* environment) {
    if (BrowserHost.startFailed) return S_OK;
    const HRESULT error = CompletionError(result, environment);
    if (FAILED(error)) {
        FailBrowserStart("environment creation", error);
        return S_OK;
    }
    BrowserHost.environment = environment;
    auto callback = MakeCallback<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>(
        &OnControllerCreated);
    const HRESULT created =
        environment->CreateCoreWebView2Controller(MainWindow.windowHandle, callback.Get());
    if (FAILED(created)) FailBrowserStart("CreateCoreWebView2Controller", created);
    return S_OK;
}

HRESULT OnControllerCreated(HRESULT result, ICoreWebView2Controller* controller) {
    if (BrowserHost.startFailed) return S_OK;
    HRESULT error = CompletionError(result, controller);
    if (FAILED(error)) {
        FailBrowserStart("controller creation", error);
        return S_OK;
    }
    BrowserHost.controller = controller;
    error = controller->get_CoreWebView2(BrowserHost.webview.ReleaseAndGetAddressOf());
    if (SUCCEEDED(error) && !BrowserHost.webview) error = E_POINTER;
    if (SUCCEEDED(error)) error = BrowserHost.webview.As(&BrowserHost.webview2);
    if (SUCCEEDED(error) && !BrowserHost.webview2) error = E_NOINTERFACE;
    if (FAILED(error)) {
        FailBrowserStart("reaching the controller's view", error);
        return S_OK;
    }

    ComPtr<ICoreWebView2Settings> settings;
    LogIfFailed(HostLog(), "get_Settings",
                BrowserHost.webview->get_Settings(settings.GetAddressOf()));
    if (settings) ApplySettings(settings.Get(), BrowserHost.settings);
    settings.Reset();

    RECT bounds{};
    GetClientRect(MainWindow.windowHandle, &bounds);
    LogIfFailed(HostLog(), "put_Bounds", controller->put_Bounds(bounds));

    ICoreWebView2* const view = BrowserHost.webview.Get();
    Register(view, &ICoreWebView2::add_DocumentTitleChanged, &OnDocumentTitleChanged,
             "add_DocumentTitleChanged");
    const std::wstring filter = std::wstring(AppOrigin) + L"*";
    LogIfFailed(
        HostLog(), "AddWebResourceRequestedFilter",
        view->AddWebResourceRequestedFilter(filter.c_str(), COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL));
    Register(view, &ICoreWebView2::add_WebResourceRequested, &BrowserHost, &OnWebResourceRequested,
             "add_WebResourceRequested");
    Register(view, &ICoreWebView2::add_NavigationStarting, &OnNavigationStarting,
             "add_NavigationStarting");
    Register(view, &ICoreWebView2::add_PermissionRequested, &OnPermissionRequested,
             "add_PermissionRequested");
    Register(view, &ICoreWebView2::add_ContainsFullScreenElementChanged,
             &OnContainsFullScreenElementChanged, "add_ContainsFullScreenElementChanged");
    Register(view, &ICoreWebView2::add_WindowCloseRequested, &OnWindowCloseRequested,
             "add_WindowCloseRequested");
    Register(view, &ICoreWebView2::add_NewWindowRequested, &OnNewWindowRequested,
             "add_NewWindowRequested");
    Register(view, &ICoreWebView2::add_WebMessageReceived, &OnWebMessageReceived,
             "add_WebMessageReceived");
    // The two events that show the window.
    const bool shownOnLoad =
        Register(BrowserHost.webview2.Get(), &ICoreWebView2_2::add_DOMContentLoaded,
                 &OnDOMContentLoaded, "add_DOMContentLoaded");
    const bool shownOnCompletion =
        Register(view, &ICoreWebView2::add_NavigationCompleted, &BrowserHost,
                 &OnNavigationCompleted, "add_NavigationCompleted");
    Register(view, &ICoreWebView2::add_ProcessFailed, &BrowserHost, &OnProcessFailed,
             "add_ProcessFailed");

    // The start page exactly as the manifest gives it, query included.
    // Without the navigation nothing ever loads or shows the window.
    const std::wstring start = std::wstring(AppOrigin) + BrowserHost.settings.startPage;
    const HRESULT navigated = view->Navigate(start.c_str());
    if (FAILED(navigated)) {
        FailBrowserStart("Navigate", navigated);
        return S_OK;
    }
    // An event that can't be heard would leave the window hidden for good
    // when the page never loads or the navigation fails: better shown early.
    if (!shownOnLoad || !shownOnCompletion) {
        Log("the window is shown before the page has loaded: an event that shows it can't be "
            "heard");
        ShowAndFocusPage();
    }
    return S_OK;
}

namespace {

void ReleaseBrowserObjects(BrowserHostState& host) {
    host.webview2.Reset();
    host.webview.Reset();
    host.controller.Reset();
    host.environment.Reset();
}

// Past the bounds: the player is told, and the loop ends with exit code 1.
void GiveUp(BrowserHostState& host, const char* reason) {
    host.ending = true;
    Log(std::string("the app stops: ") + reason);
    ShowMessageBox(StoppedMessage, host.settings.failureCaption.c_str(), MB_ICONERROR);
    // Destroying the window posts the quit message with 0; the second
    // request replaces that code.
    if (MainWindow.windowHandle && IsWindow(MainWindow.windowHandle))
        DestroyWindow(MainWindow.windowHandle);
    PostQuitMessage(1);
}

void Reload(BrowserHostState& host) {
    // A browser started again in the meantime has loaded the page afresh.
    if (!host.webview) return;
    const HRESULT result = host.webview->Reload();
    if (SUCCEEDED(result)) return;
    LogIfFailed(HostLog(), "Reload", result);
    GiveUp(host, "the page could not be reloaded");
}

// The player decides: a long level load must not lose its progress to a
// reload nobody asked for. The box runs a loop of its own, in which the
// control may report more failures.
void AskToReload(BrowserHostState& host) {
    const bool reload = AskYesNo(MainWindow.windowHandle, NotRespondingMessage,
                                 host.settings.failureCaption.c_str());
    host.recovery.Answered(host.settings.clock());
    if (host.ending) return;
    if (reload) {
        Log("the player chose to reload the page");
        Reload(host);
    } else {
        Log("the player chose to wait");
    }
}

// The browser process is gone and every object of it with it.
void RestartBrowser(BrowserHostState& host) {
    if (host.controller) LogIfFailed(HostLog(), "Close", host.controller->Close());
    ReleaseBrowserObjects(host);
    auto callback = MakeCallback<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(
        &OnEnvironmentCreated);
    const HRESULT result = LoaderCreateEnvironment(host.browserFolder, host.userDataFolder.c_str(),
                                                   host.options.Get(), callback.Get());
    if (FAILED(result))
        FailBrowserStart("CreateCoreWebView2EnvironmentWithOptions after the browser exited",
                         result);
}

}  // namespace

HRESULT OnProcessFailed(BrowserHostState* host, ICoreWebView2*,
                        ICoreWebView2ProcessFailedEventArgs* args) {
    if (!host || !args || host->ending) return S_OK;
    COREWEBVIEW2_PROCESS_FAILED_KIND kind{};
    if (FAILED(args->get_ProcessFailedKind(&kind))) return S_OK;
    const int number = static_cast<int>(kind);
    const std::string failure = std::string("process failure: ") + DescribeProcessFailure(number);
    switch (host->recovery.OnProcessFailed(number, host->settings.clock())) {
        case RecoveryAction::Reload:
            Log(failure + ": reloading the page");
            Reload(*host);
            break;
        case RecoveryAction::AskToReload:
            Log(failure + ": asking the player whether to reload");
            AskToReload(*host);
            break;
        case RecoveryAction::RestartBrowser:
            Log(failure + ": starting the browser again");
            RestartBrowser(*host);
            break;
        case RecoveryAction::GiveUp:
            Log(failure);
            GiveUp(*host, "too many failures in one minute");
            break;
        case RecoveryAction::Ignore:
            Log(failure + (number == RenderProcessUnresponsive
                               ? ": the player is asked at most once a minute"
                               : ": left to the browser control"));
            break;
    }
    return S_OK;
}

void ReleaseBrowserHost() {
    ReleaseBrowserObjects(BrowserHost);
    BrowserHost.options.Reset();
    // The rest as a new host has it: no failure, no recovery counted, and no
    // log or content server of a run that is over.
    BrowserHost = BrowserHostState{};
}
