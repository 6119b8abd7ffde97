#include "host/win32/browser_host.h"

#include <shellapi.h>

#include <functional>
#include <string>

#include "host/page_scripts.h"
#include "host/win32/environment_options.h"
#include "host/win32/fullscreen.h"
#include "host/win32/main_window.h"
#include "host/win32/web_resource.h"
#include "host/win32/window_placement.h"
#include "platform/diagnostics_log.h"
#include "platform/win32/system_error.h"
#include "platform/win32/webview2_loader.h"
#include "platform/win32/window.h"
#include "server/origin.h"

BrowserHostState BrowserHost;

const wchar_t* const WebView2EngineName = L"WebView2 browser control";

namespace {

DiagnosticsLog* HostLog() {
    return BrowserHost.settings.log;
}

// The session that hears the host's events, or null when there is none.
Session* SessionOf(BrowserHostState* host) {
    return host && host->session ? host->session : nullptr;
}

DiagnosticsLog* LogOf(BrowserHostState* host) {
    return host ? host->settings.log : nullptr;
}

// Shows the main window, then the control, and moves the focus into the page.
void ShowAndFocusPage() {
    ShowWindow(MainWindow.windowHandle, SW_SHOW);
    UpdateWindow(MainWindow.windowHandle);
    if (BrowserHost.controller)
        LogIfFailed(HostLog(), "put_IsVisible", BrowserHost.controller->put_IsVisible(TRUE));
    FocusPage();
}

// The page's end as the view reports it; nothing when no unload waits. The
// session hears it through PageUnloadedMessage, outside the control's
// handler: closing the browser then waits for the control's own events.
void AnswerPageUnload(BrowserHostState& host, UnloadOutcome outcome) {
    if (!host.unloading) return;
    host.unloading = false;
    if (MainWindow.windowHandle) KillTimer(MainWindow.windowHandle, UnloadTimerId);
    if (!PostMessageW(MainWindow.windowHandle, PageUnloadedMessage, static_cast<WPARAM>(outcome),
                      0) &&
        host.session)
        host.session->OnPageUnloaded(outcome);
}

// Pumps messages until done() holds, handle (when given) is signalled or
// timeoutMs have passed; a quit message seen meanwhile is posted again.
// True when done() held or the handle was signalled.
bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs,
                       HANDLE handle = nullptr) {
    const ULONGLONG start = GetTickCount64();
    bool quit = false;
    WPARAM quitCode = 0;
    bool signalled = false;
    while (!done()) {
        const ULONGLONG elapsed = GetTickCount64() - start;
        if (elapsed >= timeoutMs) break;
        // Wakes for messages already queued too, not only for new ones.
        const DWORD waited = MsgWaitForMultipleObjectsEx(handle ? 1 : 0, handle ? &handle : nullptr,
                                                         static_cast<DWORD>(timeoutMs - elapsed),
                                                         QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (handle && waited == WAIT_OBJECT_0) {
            signalled = true;
            break;
        }
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = true;
                quitCode = message.wParam;
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (quit) PostQuitMessage(static_cast<int>(quitCode));
    return signalled || done();
}

std::string ErrorText(HRESULT error) {
    return "error " + HexCode(static_cast<unsigned>(error));
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
        if (HostLog())
            HostLog()->Write(std::string("the browser control lacks ") + name + " (" +
                             ErrorText(result) + "): " + withoutIt);
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

namespace {

// The browser control could not be brought up: the session's failed start.
// The code is the failed call's or completion's own; operation names the
// failed call for the log.
void FailBrowserStart(BrowserHostState& host, const char* operation, HRESULT error) {
    if (host.session) host.session->FailEngineStart(operation, ErrorText(error));
}

HRESULT CreateEnvironment(BrowserHostState& host) {
    auto callback = MakeCallback<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(
        &host, &OnEnvironmentCreated);
    return LoaderCreateEnvironment(host.browserFolder, host.userDataFolder.c_str(),
                                   host.options.Get(), callback.Get());
}

void ReleaseBrowserObjects(BrowserHostState& host) {
    host.webview2.Reset();
    host.webview.Reset();
    host.controller.Reset();
    host.environment.Reset();
}

}  // namespace

void StartBrowserEnvironment(const wchar_t* browserFolder, const std::wstring& userDataFolder,
                             const BrowserSettings& settings, ContentServer& content,
                             Session& session) {
    BrowserHost.settings = settings;
    BrowserHost.content = &content;
    BrowserHost.session = &session;
    BrowserHost.browserFolder = browserFolder;
    BrowserHost.userDataFolder = userDataFolder;
    BrowserHost.options = CreateEnvironmentOptions();
    // Set even when empty, so the control never falls back to arguments of
    // its own choosing. The autoplay switch comes last, so it wins over one
    // the manifest's own arguments name.
    std::wstring arguments = settings.additionalArguments;
    if (settings.autoplay) {
        if (!arguments.empty()) arguments += L' ';
        arguments += L"--autoplay-policy=no-user-gesture-required";
    }
    LogIfFailed(HostLog(), "put_AdditionalBrowserArguments",
                BrowserHost.options->put_AdditionalBrowserArguments(arguments.c_str()));
    const HRESULT result = CreateEnvironment(BrowserHost);
    if (FAILED(result))
        FailBrowserStart(BrowserHost, "CreateCoreWebView2EnvironmentWithOptions", result);
}

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

// Raised for the view's own navigations only: frames have an event of their
// own, which the host does not hear.
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

// A permission the session does not grant keeps its default state, so the
// control decides as it would for any site.
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

// The control hears only the top-level document's messages and names that
// document as their source.
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

HRESULT OnProcessFailed(BrowserHostState* host, ICoreWebView2*,
                        ICoreWebView2ProcessFailedEventArgs* args) {
    Session* session = SessionOf(host);
    COREWEBVIEW2_PROCESS_FAILED_KIND kind{};
    if (session && args && SUCCEEDED(args->get_ProcessFailedKind(&kind)))
        session->OnProcessFailed(static_cast<int>(kind));
    return S_OK;
}

namespace {

HRESULT OnWindowCloseRequested(BrowserHostState* host, ICoreWebView2*, IUnknown*) {
    if (Session* session = SessionOf(host)) session->OnCloseRequested();
    return S_OK;
}

// F11 (a key down) and Alt+Enter (a system key down), marked handled when
// the session takes them, so the page does not see them as well.
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

// Refused, window.close() stays the browser's own.
HRESULT OnCloseScriptAdded(BrowserHostState* host, HRESULT errorCode, LPCWSTR) {
    LogIfFailed(LogOf(host), "adding the close script", errorCode);
    return S_OK;
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

HRESULT OnControllerCreated(BrowserHostState* host, HRESULT result,
                            ICoreWebView2Controller* controller) {
    if (!host || !host->session || host->session->Ending()) return S_OK;
    HRESULT error = CompletionError(result, controller);
    if (FAILED(error)) {
        FailBrowserStart(*host, "controller creation", error);
        return S_OK;
    }
    host->controller = controller;
    error = controller->get_CoreWebView2(host->webview.ReleaseAndGetAddressOf());
    if (SUCCEEDED(error) && !host->webview) error = E_POINTER;
    if (SUCCEEDED(error)) error = host->webview.As(&host->webview2);
    if (SUCCEEDED(error) && !host->webview2) error = E_NOINTERFACE;
    if (FAILED(error)) {
        FailBrowserStart(*host, "reaching the controller's view", error);
        return S_OK;
    }

    ComPtr<ICoreWebView2Settings> settings;
    LogIfFailed(HostLog(), "get_Settings", host->webview->get_Settings(settings.GetAddressOf()));
    if (settings) ApplySettings(settings.Get(), host->settings);
    settings.Reset();

    RECT bounds{};
    GetClientRect(MainWindow.windowHandle, &bounds);
    LogIfFailed(HostLog(), "put_Bounds", controller->put_Bounds(bounds));

    ICoreWebView2* const view = host->webview.Get();
    Register(view, &ICoreWebView2::add_DocumentTitleChanged, host, &OnDocumentTitleChanged,
             "add_DocumentTitleChanged");
    const std::wstring filter = std::wstring(AppOrigin) + L"*";
    LogIfFailed(
        HostLog(), "AddWebResourceRequestedFilter",
        view->AddWebResourceRequestedFilter(filter.c_str(), COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL));
    Register(view, &ICoreWebView2::add_WebResourceRequested, host, &OnWebResourceRequested,
             "add_WebResourceRequested");
    Register(view, &ICoreWebView2::add_NavigationStarting, host, &OnNavigationStarting,
             "add_NavigationStarting");
    Register(view, &ICoreWebView2::add_PermissionRequested, host, &OnPermissionRequested,
             "add_PermissionRequested");
    Register(view, &ICoreWebView2::add_ContainsFullScreenElementChanged, host,
             &OnContainsFullScreenElementChanged, "add_ContainsFullScreenElementChanged");
    Register(view, &ICoreWebView2::add_WindowCloseRequested, host, &OnWindowCloseRequested,
             "add_WindowCloseRequested");
    Register(view, &ICoreWebView2::add_NewWindowRequested, host, &OnNewWindowRequested,
             "add_NewWindowRequested");
    Register(view, &ICoreWebView2::add_WebMessageReceived, host, &OnWebMessageReceived,
             "add_WebMessageReceived");
    // The two events that show the window.
    const bool shownOnLoad = Register(host->webview2.Get(), &ICoreWebView2_2::add_DOMContentLoaded,
                                      host, &OnDOMContentLoaded, "add_DOMContentLoaded");
    const bool shownOnCompletion = Register(view, &ICoreWebView2::add_NavigationCompleted, host,
                                            &OnNavigationCompleted, "add_NavigationCompleted");
    Register(view, &ICoreWebView2::add_ProcessFailed, host, &OnProcessFailed, "add_ProcessFailed");
    // F11 and Alt+Enter reach the controller, not the main window, while
    // the page has the focus.
    Register(controller, &ICoreWebView2Controller::add_AcceleratorKeyPressed, host,
             &OnAcceleratorKeyPressed, "add_AcceleratorKeyPressed");
    // Before the first document: the browser refuses window.close() once
    // the page has navigated, so the app's page posts the close message.
    auto scriptAdded =
        MakeCallback<ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler>(
            host, &OnCloseScriptAdded);
    LogIfFailed(HostLog(), "AddScriptToExecuteOnDocumentCreated",
                view->AddScriptToExecuteOnDocumentCreated(CloseScript(AppOrigin).c_str(),
                                                          scriptAdded.Get()));

    Session& session = *host->session;
    session.OnEngineReady();
    // An event that can't be heard would leave the window hidden for good
    // when the page never loads or the navigation fails: better shown early.
    if (!session.Ending() && (!shownOnLoad || !shownOnCompletion))
        session.OnShowEventsUnavailable();
    return S_OK;
}

}  // namespace

HRESULT OnEnvironmentCreated(BrowserHostState* host, HRESULT result,
                             ICoreWebView2Environment* environment) {
    if (!host || !host->session || host->session->Ending()) return S_OK;
    const HRESULT error = CompletionError(result, environment);
    if (FAILED(error)) {
        FailBrowserStart(*host, "environment creation", error);
        return S_OK;
    }
    host->environment = environment;
    auto callback = MakeCallback<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>(
        host, &OnControllerCreated);
    const HRESULT created =
        environment->CreateCoreWebView2Controller(MainWindow.windowHandle, callback.Get());
    if (FAILED(created)) FailBrowserStart(*host, "CreateCoreWebView2Controller", created);
    return S_OK;
}

namespace {

class WebView2Engine final : public Engine {
public:
    explicit WebView2Engine(const PlacementDecision& firstShow) : firstShow_(firstShow) {}

    std::optional<std::string> Navigate(const std::wstring& uri) override {
        if (!BrowserHost.webview) return ErrorText(E_POINTER);
        const HRESULT result = BrowserHost.webview->Navigate(uri.c_str());
        if (FAILED(result)) return ErrorText(result);
        return std::nullopt;
    }

    bool Reload() override {
        // A browser started again in the meantime has loaded the page afresh.
        if (!BrowserHost.webview) return true;
        const HRESULT result = BrowserHost.webview->Reload();
        LogIfFailed(HostLog(), "Reload", result);
        return SUCCEEDED(result);
    }

    // The browser process is gone and every object of it with it: a new
    // environment and controller from the same folders and options.
    void RestartBrowser() override {
        if (BrowserHost.controller)
            LogIfFailed(HostLog(), "Close", BrowserHost.controller->Close());
        ReleaseBrowserObjects(BrowserHost);
        const HRESULT result = CreateEnvironment(BrowserHost);
        if (FAILED(result))
            FailBrowserStart(BrowserHost,
                             "CreateCoreWebView2EnvironmentWithOptions after the browser exited",
                             result);
    }

    void SetFullscreen(bool fullscreen) override { ::SetFullscreen(fullscreen); }

    void SetCaption(const std::wstring& caption) override {
        SetWindowTextW(MainWindow.windowHandle, caption.c_str());
    }

    void ShowWindow() override {
        if (firstShow_) ShowFirstTime();
        ShowAndFocusPage();
    }

    void ShowError(const std::wstring& text, const std::wstring& caption) override {
        ShowMessageBox(text.c_str(), caption.c_str(), MB_ICONERROR);
    }

    // Owned by the main window, so it stays in front of it.
    bool AskYesNo(const std::wstring& text, const std::wstring& caption) override {
        return ::AskYesNo(MainWindow.windowHandle, text.c_str(), caption.c_str());
    }

    void OpenOutside(const std::wstring& uri) override {
        ShellExecuteW(nullptr, L"open", uri.c_str(), nullptr, nullptr, SW_SHOWDEFAULT);
    }

    void Quit() override {
        // Destroying the window posts the quit message; a window never made
        // leaves the loop nothing to wait for.
        if (MainWindow.windowHandle && IsWindow(MainWindow.windowHandle))
            DestroyWindow(MainWindow.windowHandle);
        else
            PostQuitMessage(0);
    }

    // The view goes to about:blank, so the page ends as a tab does; the
    // session lets that one navigation through. Answered by the navigation's
    // completion (AnswerPageUnload) or the timer (OnUnloadTimer).
    void UnloadPage(int timeoutMs) override {
        BrowserHostState& host = BrowserHost;
        if (!host.webview) {
            host.session->OnPageUnloaded(UnloadOutcome::Unloaded);
            return;
        }
        host.unloading = true;
        host.unloadNavigationId.reset();
        host.unloadTimeoutMs = timeoutMs;
        host.unloadSawDialog = false;
        SetTimer(MainWindow.windowHandle, UnloadTimerId, static_cast<UINT>(timeoutMs), nullptr);
        const HRESULT result = host.webview->Navigate(L"about:blank");
        if (FAILED(result)) {
            // The page can't be ended; quitting goes on without it.
            LogIfFailed(HostLog(), "Navigate to about:blank", result);
            AnswerPageUnload(host, UnloadOutcome::TimedOut);
        }
    }

    // The control is closed and the browser process awaited: only once it
    // has ended is the profile, and the page's last storage writes, on disk.
    void CloseBrowser(int timeoutMs) override {
        BrowserHostState& host = BrowserHost;
        Session& session = *host.session;
        if (!host.controller) {
            session.OnBrowserClosed(true);
            return;
        }
        host.browserExited = false;
        bool heard = false;
        ComPtr<ICoreWebView2Environment5> environment5;
        HRESULT result = host.environment ? host.environment.As(&environment5) : E_POINTER;
        if (SUCCEEDED(result) && !environment5) result = E_NOINTERFACE;
        if (SUCCEEDED(result))
            heard =
                Register(environment5.Get(), &ICoreWebView2Environment5::add_BrowserProcessExited,
                         &host, &OnBrowserProcessExited, "add_BrowserProcessExited");
        else if (HostLog())
            HostLog()->Write("the browser control lacks ICoreWebView2Environment5 (" +
                             ErrorText(result) + "): the browser process is awaited instead");
        HANDLE process = nullptr;
        if (!heard) {
            // Asked before Close: the view's answers end with it.
            UINT32 id = 0;
            result = host.webview ? host.webview->get_BrowserProcessId(&id) : E_POINTER;
            LogIfFailed(HostLog(), "get_BrowserProcessId", result);
            if (SUCCEEDED(result) && id) {
                process = OpenProcess(SYNCHRONIZE, FALSE, id);
                if (!process && HostLog())
                    HostLog()->Write(Win32Failure("OpenProcess of the browser"));
            }
        }
        LogIfFailed(HostLog(), "Close", host.controller->Close());
        const DWORD bound = static_cast<DWORD>(timeoutMs);
        bool exited = false;
        if (heard)
            exited = PumpMessagesUntil([&host] { return host.browserExited; }, bound);
        else if (process)
            exited = PumpMessagesUntil([] { return false; }, bound, process);
        else
            // Nothing to watch: the browser still gets its time to write.
            PumpMessagesUntil([] { return false; }, bound);
        if (process) CloseHandle(process);
        session.OnBrowserClosed(exited);
    }

    void ExitElementFullscreen() override {
        if (!BrowserHost.webview) return;
        LogIfFailed(HostLog(), "ExecuteScript",
                    BrowserHost.webview->ExecuteScript(ExitElementFullscreenScript, nullptr));
    }

    std::optional<WindowRecord> CurrentWindowRecord() override {
        if (!MainWindow.windowHandle || !IsWindow(MainWindow.windowHandle)) return std::nullopt;
        return ReadWindowRecord(MainWindow.windowHandle, FullscreenState);
    }

private:
    // The remembered place: maximized by ShowPlacedWindow, fullscreen through
    // the session, before the first frame where the window allows it.
    void ShowFirstTime() {
        PlacementDecision placed = *firstShow_;
        firstShow_.reset();
        const bool fullscreen = placed.restore && placed.fullscreen;
        placed.fullscreen = false;
        // Already fullscreen (the manifest's window.fullscreen): maximizing
        // now would take the whole-monitor frame away.
        if (FullscreenState.isFullscreen) placed.maximized = false;
        Session* session = BrowserHost.session;
        if (fullscreen && !placed.maximized && session) session->SetFullscreen(true);
        ShowPlacedWindow(MainWindow.windowHandle, placed);
        if (fullscreen && placed.maximized && session) session->SetFullscreen(true);
    }

    std::optional<PlacementDecision> firstShow_;
};

}  // namespace

std::unique_ptr<Engine> MakeWebView2Engine(const PlacementDecision& firstShow) {
    return std::make_unique<WebView2Engine>(firstShow);
}

void OnPageUnloadedMessage(WPARAM outcome) {
    if (BrowserHost.session)
        BrowserHost.session->OnPageUnloaded(static_cast<UnloadOutcome>(outcome));
}

void OnUnloadTimer() {
    BrowserHostState& host = BrowserHost;
    if (!host.unloading) {
        KillTimer(MainWindow.windowHandle, UnloadTimerId);
        return;
    }
    // The page's beforeunload question disables the window while it waits
    // for the player, who is never hurried; once answered, the navigation
    // gets its bound afresh.
    if (!IsWindowEnabled(MainWindow.windowHandle)) {
        host.unloadSawDialog = true;
        SetTimer(MainWindow.windowHandle, UnloadTimerId, 100, nullptr);
        return;
    }
    if (host.unloadSawDialog) {
        host.unloadSawDialog = false;
        SetTimer(MainWindow.windowHandle, UnloadTimerId, static_cast<UINT>(host.unloadTimeoutMs),
                 nullptr);
        return;
    }
    AnswerPageUnload(host, UnloadOutcome::TimedOut);
}

void QuitForSessionEnd() {
    Session* session = BrowserHost.session;
    if (!session) return;
    session->OnQuitRequested(QuitCause::SessionEnd);
    // A player who stays, or a page that never answers, can't hold the
    // system's end: past both bounds the process ends as the system says.
    PumpMessagesUntil([session] { return session->Ending() || !session->Quitting(); },
                      PageUnloadTimeoutMs + BrowserExitTimeoutMs + 500);
}

void FocusPage() {
    // Quitting, the controller may be closed already.
    const Session* session = BrowserHost.session;
    if (BrowserHost.controller && !(session && session->Quitting()))
        LogIfFailed(HostLog(), "MoveFocus",
                    BrowserHost.controller->MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC));
}

void ReleaseBrowserHost() {
    ReleaseBrowserObjects(BrowserHost);
    BrowserHost.options.Reset();
    // The rest as a new host has it: no session, log or content server of a
    // run that is over.
    BrowserHost = BrowserHostState{};
}
