#include "host/win32/browser_events.h"

#include <optional>

#include "host/win32/web_resource.h"
#include "server/origin.h"
#include "platform/diagnostics_log.h"

namespace {

// Adds handler to view through one of its add_ slots, with no token: the host
// never removes a handler. A refused registration is logged, and setup goes
// on without the handler; false then. call names the slot for the log.
template <class View, class Interface, class... Arguments>
bool Register(Win32Host& host, View* view,
              HRESULT (View::*add)(Interface*, EventRegistrationToken*),
              HRESULT (*handler)(Win32Host&, Arguments...), const char* call) {
    auto callback = MakeCallback<Interface>(host.link, handler);
    const HRESULT result = (view->*add)(callback.Get(), nullptr);
    LogIfFailed(host.Log(), call, result);
    return SUCCEEDED(result);
}

// The session hears an answer of the control once the control's handler has
// returned.
void Report(Win32Host& host, QuitEvent event) {
    PostMessageW(host.window, QuitEventMessage, static_cast<WPARAM>(event), 0);
}

}  // namespace

ProcessFailure ProcessFailureOf(int kind, std::string& what) {
    static const char* const names[] = {
        "browser process exited",      "render process exited",
        "render process unresponsive", "frame render process exited",
        "utility process exited",      "sandbox helper process exited",
        "GPU process exited",          "PPAPI plugin process exited",
        "PPAPI broker process exited", "unknown process exited",
    };
    if (kind >= 0 && kind < static_cast<int>(sizeof names / sizeof names[0]))
        what = names[kind];
    else
        what = "process kind " + std::to_string(kind) + " exited";
    switch (kind) {
        case COREWEBVIEW2_PROCESS_FAILED_KIND_BROWSER_PROCESS_EXITED:
            return ProcessFailure::BrowserGone;
        case COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_EXITED:
            return ProcessFailure::RendererGone;
        case COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_UNRESPONSIVE:
            return ProcessFailure::RendererUnresponsive;
        default:
            return ProcessFailure::Other;
    }
}

HRESULT OnDocumentTitleChanged(Win32Host& host, ICoreWebView2* sender, IUnknown*) {
    CoTaskMemString title;
    if (sender && SUCCEEDED(sender->get_DocumentTitle(title.Put())) && title)
        host.session->OnTitleChanged(title.Copy());
    return S_OK;
}

HRESULT OnWebResourceRequested(Win32Host& host, ICoreWebView2*,
                               ICoreWebView2WebResourceRequestedEventArgs* args) {
    if (host.content) AnswerWebResourceRequest(*host.content, host.environment.Get(), args);
    return S_OK;
}

// Raised for the view's own navigations only: frames have an event of their
// own, which the host does not hear.
HRESULT OnNavigationStarting(Win32Host& host, ICoreWebView2*,
                             ICoreWebView2NavigationStartingEventArgs* args) {
    CoTaskMemString uri;
    if (!args || FAILED(args->get_Uri(uri.Put())) || !uri) return S_OK;
    // A cancellation the control refuses lets the navigation through; the
    // log at least tells the author.
    const std::wstring target = uri.Copy();
    if (!host.session->OnNavigationStarting(target))
        LogIfFailed(host.Log(), "put_Cancel", args->put_Cancel(TRUE));
    else if (host.unloading && target == L"about:blank") {
        // The quit sequence's own navigation: only its completion answers.
        UINT64 id = 0;
        if (SUCCEEDED(args->get_NavigationId(&id))) host.unloadNavigationId = id;
    }
    return S_OK;
}

// A permission the session does not grant keeps its default state, so the
// control decides as it would for any site.
HRESULT OnPermissionRequested(Win32Host& host, ICoreWebView2*,
                              ICoreWebView2PermissionRequestedEventArgs* args) {
    CoTaskMemString uri;
    if (args && SUCCEEDED(args->get_Uri(uri.Put())) && uri &&
        host.session->OnPermissionRequested(uri.Copy()))
        LogIfFailed(host.Log(), "put_State", args->put_State(COREWEBVIEW2_PERMISSION_STATE_ALLOW));
    return S_OK;
}

HRESULT OnContainsFullScreenElementChanged(Win32Host& host, ICoreWebView2* sender, IUnknown*) {
    BOOL contains = FALSE;
    // A failed query says nothing about the page, so the mode stays.
    if (sender && SUCCEEDED(sender->get_ContainsFullScreenElement(&contains)))
        host.session->OnFullscreenElementChanged(contains != FALSE);
    return S_OK;
}

HRESULT OnNewWindowRequested(Win32Host& host, ICoreWebView2*,
                             ICoreWebView2NewWindowRequestedEventArgs* args) {
    if (!args) return S_OK;
    CoTaskMemString uri;
    if (SUCCEEDED(args->get_Uri(uri.Put())) && uri) host.session->OnNewWindowRequested(uri.Copy());
    // Handled in every case, a request without a URI included.
    LogIfFailed(host.Log(), "put_Handled", args->put_Handled(TRUE));
    return S_OK;
}

// The control hears only the top-level document's messages and names that
// document as their source.
HRESULT OnWebMessageReceived(Win32Host& host, ICoreWebView2*,
                             ICoreWebView2WebMessageReceivedEventArgs* args) {
    CoTaskMemString source;
    if (!args || FAILED(args->get_Source(source.Put())) || !source) return S_OK;
    CoTaskMemString text;
    // Fails, leaving no text, for a message not posted as a string.
    if (FAILED(args->TryGetWebMessageAsString(text.Put())) || !text) return S_OK;
    host.session->OnPageMessage(source.Copy(), text.Copy());
    return S_OK;
}

HRESULT OnProcessFailed(Win32Host& host, ICoreWebView2*,
                        ICoreWebView2ProcessFailedEventArgs* args) {
    COREWEBVIEW2_PROCESS_FAILED_KIND kind{};
    if (!args || FAILED(args->get_ProcessFailedKind(&kind))) return S_OK;
    std::string what;
    const ProcessFailure failure = ProcessFailureOf(static_cast<int>(kind), what);
    host.session->OnProcessFailed(failure, what);
    return S_OK;
}

// F11 (a key down) and Alt+Enter (a system key down), marked handled when
// the session takes them, so the page does not see them as well.
HRESULT OnAcceleratorKeyPressed(Win32Host& host, ICoreWebView2Controller*,
                                ICoreWebView2AcceleratorKeyPressedEventArgs* args) {
    COREWEBVIEW2_KEY_EVENT_KIND kind{};
    UINT key = 0;
    if (!args || FAILED(args->get_KeyEventKind(&kind)) || FAILED(args->get_VirtualKey(&key)))
        return S_OK;
    const bool f11 = kind == COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN && key == VK_F11;
    const bool altEnter = kind == COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_DOWN && key == VK_RETURN;
    if (!f11 && !altEnter) return S_OK;
    // A held key would switch back and forth with every repeat.
    COREWEBVIEW2_PHYSICAL_KEY_STATUS status{};
    const bool repeat = SUCCEEDED(args->get_PhysicalKeyStatus(&status)) && status.WasKeyDown;
    if (!repeat) host.fullscreenKeyTaken = host.session->OnFullscreenKey();
    if (host.fullscreenKeyTaken) LogIfFailed(host.Log(), "put_Handled", args->put_Handled(TRUE));
    return S_OK;
}

namespace {

HRESULT OnNavigationCompleted(Win32Host& host, ICoreWebView2*,
                              ICoreWebView2NavigationCompletedEventArgs* args) {
    BOOL success = TRUE;
    if (host.unloading) {
        UINT64 id = 0;
        const bool other = host.unloadNavigationId && args &&
                           SUCCEEDED(args->get_NavigationId(&id)) && id != *host.unloadNavigationId;
        if (!other) {
            // Not ended: the page's beforeunload asked, and the player stayed.
            if (args && FAILED(args->get_IsSuccess(&success))) success = FALSE;
            host.unloading = false;
            Report(host, success ? QuitEvent::PageUnloaded : QuitEvent::PlayerStayed);
            return S_OK;
        }
    }
    std::optional<std::string> failure;
    if (args && SUCCEEDED(args->get_IsSuccess(&success)) && !success) {
        COREWEBVIEW2_WEB_ERROR_STATUS status = COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN;
        args->get_WebErrorStatus(&status);
        failure = "web error status " + std::to_string(static_cast<int>(status));
    }
    host.session->OnNavigationCompleted(failure);
    return S_OK;
}

HRESULT OnDOMContentLoaded(Win32Host& host, ICoreWebView2*,
                           ICoreWebView2DOMContentLoadedEventArgs*) {
    host.session->OnDocumentLoaded();
    return S_OK;
}

HRESULT OnWindowCloseRequested(Win32Host& host, ICoreWebView2*, IUnknown*) {
    host.session->OnCloseRequested();
    return S_OK;
}

HRESULT OnBrowserProcessExited(Win32Host& host, ICoreWebView2Environment*,
                               ICoreWebView2BrowserProcessExitedEventArgs*) {
    Report(host, QuitEvent::BrowserExited);
    return S_OK;
}

}  // namespace

bool RegisterEventHandlers(Win32Host& host) {
    ICoreWebView2* const view = host.webview.Get();
    Register(host, view, &ICoreWebView2::add_DocumentTitleChanged, &OnDocumentTitleChanged,
             "add_DocumentTitleChanged");
    const std::wstring filter = std::wstring(AppOrigin) + L"*";
    LogIfFailed(
        host.Log(), "AddWebResourceRequestedFilter",
        view->AddWebResourceRequestedFilter(filter.c_str(), COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL));
    Register(host, view, &ICoreWebView2::add_WebResourceRequested, &OnWebResourceRequested,
             "add_WebResourceRequested");
    Register(host, view, &ICoreWebView2::add_NavigationStarting, &OnNavigationStarting,
             "add_NavigationStarting");
    Register(host, view, &ICoreWebView2::add_PermissionRequested, &OnPermissionRequested,
             "add_PermissionRequested");
    Register(host, view, &ICoreWebView2::add_ContainsFullScreenElementChanged,
             &OnContainsFullScreenElementChanged, "add_ContainsFullScreenElementChanged");
    Register(host, view, &ICoreWebView2::add_WindowCloseRequested, &OnWindowCloseRequested,
             "add_WindowCloseRequested");
    Register(host, view, &ICoreWebView2::add_NewWindowRequested, &OnNewWindowRequested,
             "add_NewWindowRequested");
    Register(host, view, &ICoreWebView2::add_WebMessageReceived, &OnWebMessageReceived,
             "add_WebMessageReceived");
    // The two events that show the window.
    const bool shownOnLoad =
        Register(host, host.webview2.Get(), &ICoreWebView2_2::add_DOMContentLoaded,
                 &OnDOMContentLoaded, "add_DOMContentLoaded");
    const bool shownOnCompletion = Register(host, view, &ICoreWebView2::add_NavigationCompleted,
                                            &OnNavigationCompleted, "add_NavigationCompleted");
    Register(host, view, &ICoreWebView2::add_ProcessFailed, &OnProcessFailed, "add_ProcessFailed");
    // F11 and Alt+Enter reach the controller, not the main window, while
    // the page has the focus.
    Register(host, host.controller.Get(), &ICoreWebView2Controller::add_AcceleratorKeyPressed,
             &OnAcceleratorKeyPressed, "add_AcceleratorKeyPressed");
    return shownOnLoad && shownOnCompletion;
}

bool HearBrowserExit(Win32Host& host) {
    ComPtr<ICoreWebView2Environment5> environment5;
    HRESULT result = host.environment ? host.environment.As(&environment5) : E_POINTER;
    if (SUCCEEDED(result) && !environment5) result = E_NOINTERFACE;
    if (SUCCEEDED(result))
        return Register(host, environment5.Get(),
                        &ICoreWebView2Environment5::add_BrowserProcessExited,
                        &OnBrowserProcessExited, "add_BrowserProcessExited");
    if (host.Log())
        host.Log()->Write("the browser control lacks ICoreWebView2Environment5 (" +
                          ErrorText(result) + "): the browser process is awaited instead");
    return false;
}
