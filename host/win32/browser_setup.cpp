#include "host/win32/browser_setup.h"

#include "host/page_scripts.h"
#include "host/win32/browser_events.h"
#include "host/win32/environment_options.h"
#include "platform/diagnostics_log.h"
#include "platform/win32/webview2_loader.h"
#include "server/origin.h"

namespace {

// The browser control could not be brought up: the session's failed start.
// The code is the failed call's or completion's own; operation names the
// failed call for the log.
void FailBrowserStart(Win32Host& host, const char* operation, HRESULT error) {
    host.session->FailEngineStart(operation, ErrorText(error));
}

// What a completion reports: its own failure code, or E_POINTER when it
// claims success but hands over no object.
HRESULT CompletionError(HRESULT result, const void* object) {
    if (FAILED(result)) return result;
    return object ? S_OK : E_POINTER;
}

HRESULT CreateEnvironment(Win32Host& host) {
    auto callback = MakeCallback<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(
        host.link, &OnEnvironmentCreated);
    return LoaderCreateEnvironment(host.browserFolder, host.userDataFolder.c_str(),
                                   host.options.Get(), callback.Get());
}

// One put_ slot of a newer settings interface, asked for by QueryInterface.
// A runtime that lacks the interface is logged, with what that leaves as
// the control has it, and setup goes on.
template <class Newer>
void PutNewerSetting(DiagnosticsLog* log, ICoreWebView2Settings* settings, const char* name,
                     HRESULT (STDMETHODCALLTYPE Newer::*put)(BOOL), const char* call, BOOL value,
                     const char* withoutIt) {
    ComPtr<Newer> newer;
    HRESULT result =
        settings->QueryInterface(__uuidof(Newer), reinterpret_cast<void**>(newer.GetAddressOf()));
    if (SUCCEEDED(result) && !newer) result = E_NOINTERFACE;
    if (FAILED(result)) {
        if (log)
            log->Write(std::string("the browser control lacks ") + name + " (" + ErrorText(result) +
                       "): " + withoutIt);
        return;
    }
    LogIfFailed(log, call, (newer.Get()->*put)(value));
}

// What the page may do, set before it loads. A setting the control refuses
// keeps the control's default; the log says which.
void ApplySettings(DiagnosticsLog* log, ICoreWebView2Settings* settings,
                   const Win32HostSettings& browser) {
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
    for (const auto& put : puts) LogIfFailed(log, put.call, (settings->*put.put)(put.value));
    // Reload, find, print, zoom and history keys: a reload throws unsaved
    // progress away, so a game may turn them off.
    PutNewerSetting(log, settings, "ICoreWebView2Settings3",
                    &ICoreWebView2Settings3::put_AreBrowserAcceleratorKeysEnabled,
                    "put_AreBrowserAcceleratorKeysEnabled", browser.browserKeys ? TRUE : FALSE,
                    "the browser's own shortcuts stay on");
    // Always off: pinch zoom slips past the zoom control, and a swipe goes
    // back in history, taking the game's state with it.
    PutNewerSetting(log, settings, "ICoreWebView2Settings5",
                    &ICoreWebView2Settings5::put_IsPinchZoomEnabled, "put_IsPinchZoomEnabled",
                    FALSE, "pinch zoom stays on");
    PutNewerSetting(log, settings, "ICoreWebView2Settings6",
                    &ICoreWebView2Settings6::put_IsSwipeNavigationEnabled,
                    "put_IsSwipeNavigationEnabled", FALSE, "swipe navigation stays on");
}

// What the log names when the view refuses a script. Refused, the close
// script leaves window.close() the browser's own, the page log leaves the
// page's errors in the page, and the page has no window.lanternshell.
constexpr char CloseScriptName[] = "adding the close script";
constexpr char PageLogScriptName[] = "adding the page log script";
constexpr char ServicesScriptName[] = "adding the window.lanternshell script";

template <const char* What>
HRESULT OnScriptAdded(Win32Host& host, HRESULT errorCode, LPCWSTR) {
    LogIfFailed(host.Log(), What, errorCode);
    return S_OK;
}

template <const char* What>
void AddDocumentScript(Win32Host& host, ICoreWebView2* view, const std::wstring& script) {
    auto added = MakeCallback<ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler>(
        host.link, &OnScriptAdded<What>);
    LogIfFailed(host.Log(), "AddScriptToExecuteOnDocumentCreated",
                view->AddScriptToExecuteOnDocumentCreated(script.c_str(), added.Get()));
}

// The scripts every document of the app's view runs before its own.
void AddDocumentScripts(Win32Host& host, ICoreWebView2* view) {
    // The browser refuses window.close() once the page has navigated, so
    // the app's page posts the close message instead.
    AddDocumentScript<CloseScriptName>(host, view, CloseScript(AppOrigin));
    const std::wstring pageLog = PageLogScript(AppOrigin, host.settings.pageLog);
    if (!pageLog.empty()) AddDocumentScript<PageLogScriptName>(host, view, pageLog);
    if (host.settings.pageServices)
        AddDocumentScript<ServicesScriptName>(
            host, view, PageServicesScript(AppOrigin, *host.settings.pageServices));
}

HRESULT OnControllerCreated(Win32Host& host, HRESULT result, ICoreWebView2Controller* controller) {
    if (host.session->Ending()) return S_OK;
    HRESULT error = CompletionError(result, controller);
    if (FAILED(error)) {
        FailBrowserStart(host, "controller creation", error);
        return S_OK;
    }
    host.controller = controller;
    error = controller->get_CoreWebView2(host.webview.ReleaseAndGetAddressOf());
    if (SUCCEEDED(error) && !host.webview) error = E_POINTER;
    if (SUCCEEDED(error)) error = host.webview.As(&host.webview2);
    if (SUCCEEDED(error) && !host.webview2) error = E_NOINTERFACE;
    if (FAILED(error)) {
        FailBrowserStart(host, "reaching the controller's view", error);
        return S_OK;
    }

    ComPtr<ICoreWebView2Settings> settings;
    LogIfFailed(host.Log(), "get_Settings", host.webview->get_Settings(settings.GetAddressOf()));
    if (settings) ApplySettings(host.Log(), settings.Get(), host.settings);
    settings.Reset();

    RECT bounds{};
    GetClientRect(host.window, &bounds);
    LogIfFailed(host.Log(), "put_Bounds",
                controller->put_Bounds(host.firstBounds.value_or(bounds)));

    const bool showEvents = RegisterEventHandlers(host);
    // Before the first document.
    AddDocumentScripts(host, host.webview.Get());

    Session& session = *host.session;
    session.OnEngineReady();
    // An event that can't be heard would leave the window hidden for good
    // when the page never loads or the navigation fails: better shown early.
    if (!session.Ending() && !showEvents) session.OnShowEventsUnavailable();
    return S_OK;
}

}  // namespace

HRESULT OnEnvironmentCreated(Win32Host& host, HRESULT result,
                             ICoreWebView2Environment* environment) {
    if (host.session->Ending()) return S_OK;
    const HRESULT error = CompletionError(result, environment);
    if (FAILED(error)) {
        FailBrowserStart(host, "environment creation", error);
        return S_OK;
    }
    host.environment = environment;
    auto callback = MakeCallback<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>(
        host.link, &OnControllerCreated);
    const HRESULT created = environment->CreateCoreWebView2Controller(host.window, callback.Get());
    if (FAILED(created)) FailBrowserStart(host, "CreateCoreWebView2Controller", created);
    return S_OK;
}

void StartBrowser(Win32Host& host, const wchar_t* browserFolder,
                  const std::wstring& userDataFolder) {
    host.browserFolder = browserFolder;
    host.userDataFolder = userDataFolder;
    host.options = CreateEnvironmentOptions();
    // Set even when empty, so the control never falls back to arguments of
    // its own choosing.
    LogIfFailed(host.Log(), "put_AdditionalBrowserArguments",
                host.options->put_AdditionalBrowserArguments(
                    BrowserArguments(host.settings.arguments).c_str()));
    const HRESULT result = CreateEnvironment(host);
    if (FAILED(result)) FailBrowserStart(host, "CreateCoreWebView2EnvironmentWithOptions", result);
}

void RestartBrowser(Win32Host& host) {
    if (host.controller) LogIfFailed(host.Log(), "Close", host.controller->Close());
    host.ReleaseBrowser();
    const HRESULT result = CreateEnvironment(host);
    if (FAILED(result))
        FailBrowserStart(host, "CreateCoreWebView2EnvironmentWithOptions after the browser exited",
                         result);
}
