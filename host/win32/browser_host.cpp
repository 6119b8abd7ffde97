#include "host/win32/browser_host.h"

#include <cstdio>
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

// UI thread only, like BrowserHost.
bool browserStartFailed = false;

// What a completion reports: its own failure code, or E_POINTER when it
// claims success but hands over no object.
HRESULT CompletionError(HRESULT result, const void* object) {
    if (FAILED(result)) return result;
    return object ? S_OK : E_POINTER;
}

// The log is opened by its first line, once the browser has made the user
// data folder it goes into.
void Log(const std::string& text) {
    DiagnosticsLog* const log = BrowserHost.settings.log;
    if (!log) return;
    if (!log->IsOpen()) log->Open(BrowserHost.userDataFolder);
    log->Write(text);
}

// A setup call whose failure the host can't act on: setup goes on without
// what the call would have given, and the log tells what is missing.
void LogIfFailed(const char* call, HRESULT result) {
    if (SUCCEEDED(result)) return;
    char code[16];
    snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(result));
    Log(std::string("failed: ") + call + " (error " + code + ")");
}

// Adds a handler to view through one of its add_ slots, with no token: the
// host never removes a handler. call names the slot for the log.
template <class View, class Interface, class... Arguments>
void Register(View* view, HRESULT (View::*add)(Interface*, EventRegistrationToken*),
              HRESULT (*handler)(Arguments...), const char* call) {
    auto callback = MakeCallback<Interface>(handler);
    LogIfFailed(call, (view->*add)(callback.Get(), nullptr));
}

template <class View, class Interface, class Context, class... Arguments>
void Register(View* view, HRESULT (View::*add)(Interface*, EventRegistrationToken*),
              Context* context, HRESULT (*handler)(Context*, Arguments...), const char* call) {
    auto callback = MakeCallback<Interface>(context, handler);
    LogIfFailed(call, (view->*add)(callback.Get(), nullptr));
}

}  // namespace

void FailBrowserStart(HRESULT error) {
    if (browserStartFailed) return;
    browserStartFailed = true;
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
    BrowserHost.userDataFolder = userDataFolder;
    ComPtr<ICoreWebView2EnvironmentOptions> options = CreateEnvironmentOptions();
    // Set even when empty, so the control never falls back to arguments of
    // its own choosing.
    options->put_AdditionalBrowserArguments(settings.additionalArguments.c_str());
    auto callback = MakeCallback<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(
        &OnEnvironmentCreated);
    const HRESULT result = LoaderCreateEnvironment(browserFolder, userDataFolder.c_str(),
                                                   options.Get(), callback.Get());
    if (FAILED(result)) FailBrowserStart(result);
    return options;
}

HRESULT OnEnvironmentCreated(HRESULT result, ICoreWebView2Environment* environment) {
    if (browserStartFailed) return S_OK;
    const HRESULT error = CompletionError(result, environment);
    if (FAILED(error)) {
        FailBrowserStart(error);
        return S_OK;
    }
    BrowserHost.environment = environment;
    auto callback = MakeCallback<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>(
        &OnControllerCreated);
    const HRESULT created =
        environment->CreateCoreWebView2Controller(MainWindow.windowHandle, callback.Get());
    if (FAILED(created)) FailBrowserStart(created);
    return S_OK;
}

HRESULT OnControllerCreated(HRESULT result, ICoreWebView2Controller* controller) {
    if (browserStartFailed) return S_OK;
    HRESULT error = CompletionError(result, controller);
    if (FAILED(error)) {
        FailBrowserStart(error);
        return S_OK;
    }
    BrowserHost.controller = controller;
    error = controller->get_CoreWebView2(BrowserHost.webview.ReleaseAndGetAddressOf());
    if (SUCCEEDED(error) && !BrowserHost.webview) error = E_POINTER;
    if (SUCCEEDED(error)) error = BrowserHost.webview.As(&BrowserHost.webview2);
    if (SUCCEEDED(error) && !BrowserHost.webview2) error = E_NOINTERFACE;
    if (FAILED(error)) {
        FailBrowserStart(error);
        return S_OK;
    }

    ComPtr<ICoreWebView2Settings> settings;
    BrowserHost.webview->get_Settings(settings.GetAddressOf());
    if (settings) {
        settings->put_IsScriptEnabled(TRUE);
        settings->put_AreHostObjectsAllowed(FALSE);
        settings->put_AreDefaultScriptDialogsEnabled(TRUE);
        settings->put_IsWebMessageEnabled(TRUE);
        settings->put_IsZoomControlEnabled(FALSE);
        settings->put_AreDefaultContextMenusEnabled(TRUE);
        settings->put_AreDevToolsEnabled(BrowserHost.settings.enableDevtools ? TRUE : FALSE);
    }
    settings.Reset();

    RECT bounds{};
    GetClientRect(MainWindow.windowHandle, &bounds);
    controller->put_Bounds(bounds);

    ICoreWebView2* const view = BrowserHost.webview.Get();
    Register(view, &ICoreWebView2::add_DocumentTitleChanged, &OnDocumentTitleChanged,
             "add_DocumentTitleChanged");
    const std::wstring filter = std::wstring(AppOrigin) + L"*";
    LogIfFailed(
        "AddWebResourceRequestedFilter",
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
    Register(BrowserHost.webview2.Get(), &ICoreWebView2_2::add_DOMContentLoaded,
             &OnDOMContentLoaded, "add_DOMContentLoaded");

    // The start page exactly as the manifest gives it, query included.
    const std::wstring start = std::wstring(AppOrigin) + BrowserHost.settings.startPage;
    LogIfFailed("Navigate", view->Navigate(start.c_str()));
    return S_OK;
}

void ReleaseBrowserHost() {
    BrowserHost.webview2.Reset();
    BrowserHost.webview.Reset();
    BrowserHost.controller.Reset();
    BrowserHost.environment.Reset();
    BrowserHost.content = nullptr;
    BrowserHost.settings.log = nullptr;
}
