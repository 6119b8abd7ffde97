#include "host/win32/browser_events.h"

#include <shellapi.h>

#include <string>

#include "host/win32/browser_host.h"
#include "host/win32/fullscreen.h"
#include "host/win32/main_window.h"
#include "host/win32/page_message.h"
#include "host/win32/web_resource.h"
#include "platform/diagnostics_log.h"
#include "platform/win32/com.h"
#include "server/origin.h"

HRESULT OnDocumentTitleChanged(ICoreWebView2* sender, IUnknown*) {
    if (!sender) return S_OK;
    CoTaskMemString title;
    // Without a title the caption keeps what it shows.
    if (SUCCEEDED(sender->get_DocumentTitle(title.Put())) && title)
        SetWindowTextW(MainWindow.windowHandle, title.Get());
    return S_OK;
}

HRESULT OnWebResourceRequested(BrowserHostState* host, ICoreWebView2*,
                               ICoreWebView2WebResourceRequestedEventArgs* args) {
    if (!host || !host->content) return S_OK;
    AnswerWebResourceRequest(*host->content, host->environment.Get(), args);
    return S_OK;
}

HRESULT OnNavigationStarting(ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs* args) {
    if (!args) return S_OK;
    CoTaskMemString uri;
    if (FAILED(args->get_Uri(uri.Put())) || !uri) return S_OK;
    // A cancellation the control refuses lets the navigation through; the
    // log at least tells the author.
    if (!IsAppOriginUri(uri.Copy(), AppOrigin))
        LogIfFailed(BrowserHost.settings.log, "put_Cancel", args->put_Cancel(TRUE));
    return S_OK;
}

HRESULT OnPermissionRequested(ICoreWebView2*, ICoreWebView2PermissionRequestedEventArgs* args) {
    if (!args) return S_OK;
    CoTaskMemString uri;
    if (SUCCEEDED(args->get_Uri(uri.Put())) && uri && IsAppOriginUri(uri.Copy(), AppOrigin))
        LogIfFailed(BrowserHost.settings.log, "put_State",
                    args->put_State(COREWEBVIEW2_PERMISSION_STATE_ALLOW));
    return S_OK;
}

HRESULT OnContainsFullScreenElementChanged(ICoreWebView2* sender, IUnknown*) {
    if (!sender) return S_OK;
    BOOL contains = FALSE;
    // A failed query says nothing about the page, so the mode stays.
    if (FAILED(sender->get_ContainsFullScreenElement(&contains))) return S_OK;
    SetFullscreen(contains != FALSE);
    return S_OK;
}

HRESULT OnWindowCloseRequested(ICoreWebView2*, IUnknown*) {
    // Sent, not posted: the window is gone before the control hears back.
    SendMessageW(MainWindow.windowHandle, WM_CLOSE, 0, 0);
    return S_OK;
}

HRESULT OnNewWindowRequested(ICoreWebView2*, ICoreWebView2NewWindowRequestedEventArgs* args) {
    if (!args) return S_OK;
    CoTaskMemString uri;
    const bool known = SUCCEEDED(args->get_Uri(uri.Put())) && uri;
    const std::wstring target = uri.Copy();
    if (known && OpensInShell(target, AppOrigin))
        ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWDEFAULT);
    // Handled in every case, a request without a URI included: the control
    // must not open a window of its own.
    LogIfFailed(BrowserHost.settings.log, "put_Handled", args->put_Handled(TRUE));
    return S_OK;
}

HRESULT OnWebMessageReceived(ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs* args) {
    if (!args) return S_OK;
    CoTaskMemString source;
    if (FAILED(args->get_Source(source.Put())) || !source ||
        !IsAppOriginUri(source.Copy(), AppOrigin))
        return S_OK;
    CoTaskMemString text;
    // Fails, leaving no text, for a message not posted as a string.
    if (FAILED(args->TryGetWebMessageAsString(text.Put())) || !text) return S_OK;
    HandlePageMessage(text.Copy());
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

HRESULT OnDOMContentLoaded(ICoreWebView2*, ICoreWebView2DOMContentLoadedEventArgs*) {
    ShowAndFocusPage();
    return S_OK;
}

HRESULT OnNavigationCompleted(BrowserHostState* host, ICoreWebView2*,
                              ICoreWebView2NavigationCompletedEventArgs* args) {
    if (!host || host->ending) return S_OK;
    BOOL success = TRUE;
    if (args && SUCCEEDED(args->get_IsSuccess(&success)) && !success) {
        COREWEBVIEW2_WEB_ERROR_STATUS status = COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN;
        args->get_WebErrorStatus(&status);
        if (host->settings.log)
            host->settings.log->Write("navigation failed (web error status " +
                                      std::to_string(static_cast<int>(status)) + ")");
    }
    // A page that never loads a document, such as the control's own error
    // page, must not leave the player without a window to close.
    if (MainWindow.windowHandle && !IsWindowVisible(MainWindow.windowHandle)) ShowAndFocusPage();
    return S_OK;
}
