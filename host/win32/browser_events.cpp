#include "host/win32/browser_events.h"

#include <optional>
#include <string>

#include "host/session.h"
#include "host/win32/browser_host.h"
#include "host/win32/main_window.h"
#include "host/win32/web_resource.h"
#include "platform/diagnostics_log.h"
#include "platform/win32/com.h"

namespace {

// The session that hears the host's events, or null when there is none.
Session* SessionOf(BrowserHostState* host) {
    return host && host->session ? host->session : nullptr;
}

DiagnosticsLog* LogOf(BrowserHostState* host) {
    return host ? host->settings.log : nullptr;
}

}  // namespace

HRESULT OnDocumentTitleChanged(BrowserHostState* host, ICoreWebView2* sender, IUnknown*) {
    Session* session = SessionOf(host);
    CoTaskMemString title;
    if (session && sender && SUCCEEDED(sender->get_DocumentTitle(title.Put())) && title)
        session->OnTitleChanged(title.Copy());
    return S_OK;
}

HRESULT OnWebResourceRequested(BrowserHostState* host, ICoreWebView2*,
                               ICoreWebView2WebResourceRequestedEventArgs* args) {
    if (!host || !host->content) return S_OK;
    AnswerWebResourceRequest(*host->content, host->environment.Get(), args);
    return S_OK;
}

HRESULT OnNavigationStarting(BrowserHostState* host, ICoreWebView2*,
                             ICoreWebView2NavigationStartingEventArgs* args) {
    Session* session = SessionOf(host);
    CoTaskMemString uri;
    if (!session || !args || FAILED(args->get_Uri(uri.Put())) || !uri) return S_OK;
    // A cancellation the control refuses lets the navigation through; the
    // log at least tells the author.
    const std::wstring target = uri.Copy();
    if (!session->OnNavigationStarting(target))
        LogIfFailed(LogOf(host), "put_Cancel", args->put_Cancel(TRUE));
    else if (host->unloading && target == L"about:blank") {
        // The quit sequence's own navigation: only its completion answers.
        UINT64 id = 0;
        if (SUCCEEDED(args->get_NavigationId(&id))) host->unloadNavigationId = id;
    }
    return S_OK;
}

HRESULT OnPermissionRequested(BrowserHostState* host, ICoreWebView2*,
                              ICoreWebView2PermissionRequestedEventArgs* args) {
    Session* session = SessionOf(host);
    CoTaskMemString uri;
    if (session && args && SUCCEEDED(args->get_Uri(uri.Put())) && uri &&
        session->OnPermissionRequested(uri.Copy()))
        LogIfFailed(LogOf(host), "put_State", args->put_State(COREWEBVIEW2_PERMISSION_STATE_ALLOW));
    return S_OK;
}

HRESULT OnContainsFullScreenElementChanged(BrowserHostState* host, ICoreWebView2* sender,
                                           IUnknown*) {
    Session* session = SessionOf(host);
    BOOL contains = FALSE;
    // A failed query says nothing about the page, so the mode stays.
    if (session && sender && SUCCEEDED(sender->get_ContainsFullScreenElement(&contains)))
        session->OnFullscreenElementChanged(contains != FALSE);
    return S_OK;
}

HRESULT OnWindowCloseRequested(BrowserHostState* host, ICoreWebView2*, IUnknown*) {
    if (Session* session = SessionOf(host)) session->OnCloseRequested();
    return S_OK;
}

HRESULT OnNewWindowRequested(BrowserHostState* host, ICoreWebView2*,
                             ICoreWebView2NewWindowRequestedEventArgs* args) {
    if (!args) return S_OK;
    Session* session = SessionOf(host);
    CoTaskMemString uri;
    if (session && SUCCEEDED(args->get_Uri(uri.Put())) && uri)
        session->OnNewWindowRequested(uri.Copy());
    // Handled in every case, a request without a URI included.
    LogIfFailed(LogOf(host), "put_Handled", args->put_Handled(TRUE));
    return S_OK;
}

HRESULT OnWebMessageReceived(BrowserHostState* host, ICoreWebView2*,
                             ICoreWebView2WebMessageReceivedEventArgs* args) {
    Session* session = SessionOf(host);
    CoTaskMemString source;
    if (!session || !args || FAILED(args->get_Source(source.Put())) || !source) return S_OK;
    CoTaskMemString text;
    // Fails, leaving no text, for a message not posted as a string.
    if (FAILED(args->TryGetWebMessageAsString(text.Put())) || !text) return S_OK;
    session->OnPageMessage(source.Copy(), text.Copy());
    return S_OK;
}

HRESULT OnAcceleratorKeyPressed(BrowserHostState* host, ICoreWebView2Controller*,
                                ICoreWebView2AcceleratorKeyPressedEventArgs* args) {
    Session* session = SessionOf(host);
    COREWEBVIEW2_KEY_EVENT_KIND kind{};
    UINT key = 0;
    if (!session || !args || FAILED(args->get_KeyEventKind(&kind)) ||
        FAILED(args->get_VirtualKey(&key)))
        return S_OK;
    const bool f11 = kind == COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN && key == VK_F11;
    const bool altEnter = kind == COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_DOWN && key == VK_RETURN;
    if (!f11 && !altEnter) return S_OK;
    // A held key would switch back and forth with every repeat.
    COREWEBVIEW2_PHYSICAL_KEY_STATUS status{};
    const bool repeat = SUCCEEDED(args->get_PhysicalKeyStatus(&status)) && status.WasKeyDown;
    if (!repeat) host->fullscreenKeyTaken = session->OnFullscreenKey();
    if (host->fullscreenKeyTaken) LogIfFailed(LogOf(host), "put_Handled", args->put_Handled(TRUE));
    return S_OK;
}

HRESULT OnBrowserProcessExited(BrowserHostState* host, ICoreWebView2Environment*,
                               ICoreWebView2BrowserProcessExitedEventArgs*) {
    if (host) host->browserExited = true;
    return S_OK;
}

HRESULT OnCloseScriptAdded(BrowserHostState* host, HRESULT errorCode, LPCWSTR) {
    LogIfFailed(LogOf(host), "adding the close script", errorCode);
    return S_OK;
}

void ShowAndFocusPage() {
    ShowWindow(MainWindow.windowHandle, SW_SHOW);
    UpdateWindow(MainWindow.windowHandle);
    if (BrowserHost.controller) {
        DiagnosticsLog* const log = BrowserHost.settings.log;
        LogIfFailed(log, "put_IsVisible", BrowserHost.controller->put_IsVisible(TRUE));
        LogIfFailed(log, "MoveFocus",
                    BrowserHost.controller->MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC));
    }
}

HRESULT OnDOMContentLoaded(BrowserHostState* host, ICoreWebView2*,
                           ICoreWebView2DOMContentLoadedEventArgs*) {
    if (Session* session = SessionOf(host)) session->OnDocumentLoaded();
    return S_OK;
}

HRESULT OnNavigationCompleted(BrowserHostState* host, ICoreWebView2*,
                              ICoreWebView2NavigationCompletedEventArgs* args) {
    Session* session = SessionOf(host);
    if (!session) return S_OK;
    BOOL success = TRUE;
    if (host->unloading) {
        UINT64 id = 0;
        const bool other = host->unloadNavigationId && args &&
                           SUCCEEDED(args->get_NavigationId(&id)) &&
                           id != *host->unloadNavigationId;
        if (!other) {
            // Not ended: the page's beforeunload asked, and the player stayed.
            if (args && FAILED(args->get_IsSuccess(&success))) success = FALSE;
            AnswerPageUnload(*host, success ? UnloadOutcome::Unloaded : UnloadOutcome::Stayed);
            return S_OK;
        }
    }
    std::optional<std::string> failure;
    if (args && SUCCEEDED(args->get_IsSuccess(&success)) && !success) {
        COREWEBVIEW2_WEB_ERROR_STATUS status = COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN;
        args->get_WebErrorStatus(&status);
        failure = "web error status " + std::to_string(static_cast<int>(status));
    }
    session->OnNavigationCompleted(failure);
    return S_OK;
}

HRESULT OnProcessFailed(BrowserHostState* host, ICoreWebView2*,
                        ICoreWebView2ProcessFailedEventArgs* args) {
    Session* session = SessionOf(host);
    COREWEBVIEW2_PROCESS_FAILED_KIND kind{};
    if (session && args && SUCCEEDED(args->get_ProcessFailedKind(&kind)))
        session->OnProcessFailed(static_cast<int>(kind));
    return S_OK;
}
