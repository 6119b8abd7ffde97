#include "host/gtk/app_window.h"

#include <glib-unix.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <utility>

#include "host/gtk/media_plugin.h"
#include "host/page_scripts.h"
#include "platform/diagnostics_log.h"
#include "platform/dpi.h"
#include "platform/posix/native_path.h"
#include "platform/text.h"

const wchar_t* const WebKitGtkEngineName = L"WebKitGTK browser engine";

namespace {

Session& SessionOf(gpointer data) {
    return *static_cast<GtkHost*>(data)->session;
}

// Runs job once from the main loop, after the signal that asked for it.
void Later(std::function<void()> job) {
    g_idle_add(
        [](gpointer data) -> gboolean {
            const std::unique_ptr<std::function<void()>> job(
                static_cast<std::function<void()>*>(data));
            (*job)();
            return G_SOURCE_REMOVE;
        },
        new std::function<void()>(std::move(job)));
}

std::wstring WideOrEmpty(const char* utf8) {
    return utf8 ? Utf8ToWide(utf8) : std::wstring();
}

std::wstring RequestUri(WebKitNavigationAction* action) {
    WebKitURIRequest* request = webkit_navigation_action_get_request(action);
    return WideOrEmpty(request ? webkit_uri_request_get_uri(request) : nullptr);
}

// The top frame's address: the source of the page's messages and requests.
// The bridge reaches the host from the top frame only.
std::wstring ViewUri(WebKitWebView* view) {
    return WideOrEmpty(webkit_web_view_get_uri(view));
}

void OnTitleChanged(WebKitWebView* view, GParamSpec*, gpointer data) {
    // The engine reports a page without a title as an empty one: the
    // caption keeps what it shows.
    const char* title = webkit_web_view_get_title(view);
    if (title && *title) SessionOf(data).OnTitleChanged(Utf8ToWide(title));
}

gboolean OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                        WebKitPolicyDecisionType type, gpointer data) {
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) return FALSE;
    const std::wstring uri = RequestUri(webkit_navigation_policy_decision_get_navigation_action(
        WEBKIT_NAVIGATION_POLICY_DECISION(decision)));
    // A navigation is taken as the top frame's: the engine does not say which
    // frame navigates.
    if (type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION)
        SessionOf(data).OnNewWindowRequested(uri);
    else if (SessionOf(data).OnNavigationStarting(uri, true))
        return FALSE;
    webkit_policy_decision_ignore(decision);
    return TRUE;
}

// window.open and other script-made windows.
GtkWidget* OnCreateWebView(WebKitWebView*, WebKitNavigationAction* action, gpointer data) {
    SessionOf(data).OnNewWindowRequested(RequestUri(action));
    return nullptr;
}

// The engine has no prompt of its own: what the session does not grant is
// refused.
gboolean OnPermissionRequest(WebKitWebView* view, WebKitPermissionRequest* request, gpointer data) {
    // A third-party frame asking for its own storage, and a request to
    // install system packages for media, are never the app's to grant.
    const bool foreign = WEBKIT_IS_WEBSITE_DATA_ACCESS_PERMISSION_REQUEST(request) ||
                         WEBKIT_IS_INSTALL_MISSING_MEDIA_PLUGINS_PERMISSION_REQUEST(request);
    if (!foreign && SessionOf(data).OnPermissionRequested(ViewUri(view)))
        webkit_permission_request_allow(request);
    else
        webkit_permission_request_deny(request);
    return TRUE;
}

gboolean OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer data) {
    auto& host = *static_cast<GtkHost*>(data);
    const bool fullscreen = event->new_window_state & GDK_WINDOW_STATE_FULLSCREEN;
    if (!fullscreen && !host.session->IsFullscreen() && !host.setup.settings.resizable) {
        // Back to the app's size, held by hints of that size. GTK's own hints
        // for a window that is not resizable come from the size it last saw,
        // which can still be the screen's here when the machine is busy: the
        // window then kept the screen's size.
        GdkGeometry hints{};
        hints.min_width = hints.max_width = host.width;
        hints.min_height = hints.max_height = host.height;
        gtk_window_set_geometry_hints(host.window, nullptr, &hints,
                                      GdkWindowHints(GDK_HINT_MIN_SIZE | GDK_HINT_MAX_SIZE));
        gtk_window_resize(host.window, host.width, host.height);
    }
    return FALSE;
}

// Element fullscreen: the engine switches the window itself; the session
// keeps its mode in step, so that messages and elements share it.
template <bool Entered>
gboolean OnElementFullscreen(WebKitWebView*, gpointer data) {
    SessionOf(data).OnFullscreenElementChanged(Entered);
    return FALSE;
}

void FinishUnload(GtkHost& host, UnloadOutcome outcome) {
    g_clear_handle_id(&host.unloadTimer, g_source_remove);
    host.unloading = false;
    host.session->OnPageUnloaded(outcome);
}

void ArmUnloadTimer(GtkHost& host) {
    g_clear_handle_id(&host.unloadTimer, g_source_remove);
    host.unloadTimer = g_timeout_add(
        static_cast<guint>(host.unloadTimeoutMs),
        [](gpointer data) -> gboolean {
            auto& host = *static_cast<GtkHost*>(data);
            host.unloadTimer = 0;
            host.pageHung = true;
            FinishUnload(host, UnloadOutcome::TimedOut);
            return G_SOURCE_REMOVE;
        },
        &host);
}

// The page's own window.close(); while quitting the session goes on as it is.
void OnCloseRequested(WebKitWebView*, gpointer data) {
    SessionOf(data).OnCloseRequested();
}

// The page's beforeunload asks whether to leave. The host asks the player in
// a box of its own, so that it hears the answer: staying keeps the app
// running, and the quit sequence's bound does not count while the box is up.
gboolean OnScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer data) {
    if (webkit_script_dialog_get_dialog_type(dialog) != WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM)
        return FALSE;
    auto& host = *static_cast<GtkHost*>(data);
    g_clear_handle_id(&host.unloadTimer, g_source_remove);
    GtkWidget* box = gtk_message_dialog_new(
        host.window, GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
        GTK_MESSAGE_QUESTION, GTK_BUTTONS_NONE, "%s",
        "This page asks you to confirm that you want to leave it. What you changed may not be "
        "saved.");
    gtk_dialog_add_buttons(GTK_DIALOG(box), "_Stay", GTK_RESPONSE_CANCEL, "_Leave",
                           GTK_RESPONSE_ACCEPT, nullptr);
    // Return stays: a key pressed by habit must not throw the game away.
    gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_CANCEL);
    // Captioned as every box of the app: the manifest's title.
    gtk_window_set_title(GTK_WINDOW(box), WideToUtf8(host.setup.settings.title).c_str());
    g_object_set_data_full(G_OBJECT(box), "script-dialog", webkit_script_dialog_ref(dialog),
                           reinterpret_cast<GDestroyNotify>(webkit_script_dialog_unref));
    g_signal_connect(box, "response", G_CALLBACK(+[](GtkDialog* box, gint response, gpointer data) {
                         auto& host = *static_cast<GtkHost*>(data);
                         auto* dialog = static_cast<WebKitScriptDialog*>(
                             g_object_get_data(G_OBJECT(box), "script-dialog"));
                         const bool leave = response == GTK_RESPONSE_ACCEPT;
                         webkit_script_dialog_confirm_set_confirmed(dialog, leave);
                         webkit_script_dialog_close(dialog);
                         gtk_widget_destroy(GTK_WIDGET(box));
                         if (!host.unloading) return;
                         if (leave)
                             ArmUnloadTimer(host);
                         else
                             FinishUnload(host, UnloadOutcome::Stayed);
                     }),
                     &host);
    gtk_widget_show(box);
    return TRUE;
}

// The engine's own processes still running whose names start with prefix
// ("WebKit": web and network): children of this process. Zombies have ended.
bool EngineProcessesRunning(const std::string& prefix) {
    const std::string self = std::to_string(getpid());
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        // pid (comm) state ppid ...: comm may hold spaces and parentheses.
        const size_t open = line.find('('), close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        const std::string name = line.substr(open + 1, close - open - 1);
        char state = 0;
        char parent[32] = {};
        if (std::sscanf(line.c_str() + close + 1, " %c %31s", &state, parent) != 2) continue;
        if (self == parent && state != 'Z' && name.rfind(prefix, 0) == 0) return true;
    }
    return false;
}

// Closes the view, lets its web process end, then lets go of the web context,
// whose end ends the network process, which writes the page's storage as it
// ends. Dropping the context while the web process ran lost every save of
// the run about once in eighty runs: each is waited for, within the bound.
void EndBrowser(GtkHost& host) {
    if (host.window) gtk_widget_hide(GTK_WIDGET(host.window));
    // A hung page's process would spin on, past the app, and hold the
    // network process back: the page's saves are lost with it anyway.
    if (host.view && host.pageHung) webkit_web_view_terminate_web_process(host.view);
    if (host.view) gtk_widget_destroy(GTK_WIDGET(host.view));
    host.view = nullptr;
    host.browserPoll = g_timeout_add(
        20,
        [](gpointer data) -> gboolean {
            auto& host = *static_cast<GtkHost*>(data);
            const std::int64_t now = g_get_monotonic_time();
            const bool late = now >= host.browserDeadlineUs;
            // A hung web process gets a fifth of the bound: the network
            // process, which holds the saves, the rest.
            const bool webLate = now >= host.browserDeadlineUs - host.browserTimeoutUs * 4 / 5;
            if (host.context && (webLate || !EngineProcessesRunning("WebKitWebProces")))
                g_clear_object(&host.context);
            const bool running = EngineProcessesRunning("WebKit");
            if (running && !late) return G_SOURCE_CONTINUE;
            host.browserPoll = 0;
            host.session->OnBrowserClosed(!running);
            return G_SOURCE_REMOVE;
        },
        &host);
}

gboolean OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer data) {
    // The window stays until the quit sequence has let the page end.
    SessionOf(data).OnQuitRequested(QuitCause::Window);
    return TRUE;
}

gboolean OnQuitSignal(gpointer data) {
    SessionOf(data).OnQuitRequested(QuitCause::Signal);
    return G_SOURCE_CONTINUE;
}

// F11 and Alt+Enter switch fullscreen before the page sees them, unless
// the manifest turned the keys off.
gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
    const guint modifiers = event->state & gtk_accelerator_get_default_mod_mask();
    const bool enter = event->keyval == GDK_KEY_Return || event->keyval == GDK_KEY_KP_Enter ||
                       event->keyval == GDK_KEY_ISO_Enter;
    const bool key =
        (event->keyval == GDK_KEY_F11 && modifiers == 0) || (enter && modifiers == GDK_MOD1_MASK);
    return key && SessionOf(data).OnFullscreenKey();
}

void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer data) {
    // A document the bridge script could not run in (plain text, say) is
    // shown once it has loaded completely.
    auto& host = *static_cast<GtkHost*>(data);
    if (host.unloading) {
        // The blank page is committed once the page has ended. The view
        // names about:blank from the moment it is asked for, so a page still
        // loading then finishes under that name: its end is not this one.
        if (event == WEBKIT_LOAD_COMMITTED && ViewUri(view) == L"about:blank")
            FinishUnload(host, UnloadOutcome::Unloaded);
        return;
    }
    if (event == WEBKIT_LOAD_FINISHED) host.session->OnNavigationCompleted();
}

// A web process that ends before the first document has loaded is a failed
// start; after it, a crashed page the session recovers from.
void OnWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason,
                            gpointer data) {
    Session& session = SessionOf(data);
    const char* what = reason == WEBKIT_WEB_PROCESS_CRASHED ? "the web process crashed"
                       : reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT
                           ? "the web process ran out of memory"
                           : "the web process was ended";
    if (session.DocumentLoaded())
        session.OnProcessFailed(RenderProcessExited, what);
    else
        session.FailEngineStart("loading the first page", what);
}

// The host's own cancels (a navigation outside the app) are no failures.
void OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer data) {
    if (!error || error->domain == WEBKIT_POLICY_ERROR ||
        g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED))
        return;
    SessionOf(data).OnNavigationCompleted(Quoted(WideOrEmpty(uri)) + ": " +
                                          (error->message ? error->message : ""));
}

void OnPageMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data) {
    JSCValue* value = result ? webkit_javascript_result_get_js_value(result) : nullptr;
    if (!value || !jsc_value_is_string(value)) return;
    auto& host = *static_cast<GtkHost*>(data);
    gchar* text = jsc_value_to_string(value);
    host.session->OnPageMessage(ViewUri(host.view), WideOrEmpty(text));
    g_free(text);
}

void OnDocumentLoaded(WebKitUserContentManager*, WebKitJavascriptResult*, gpointer data) {
    SessionOf(data).OnDocumentLoaded();
}

void OnWindowDestroyed(GtkWidget*, gpointer data) {
    auto& host = *static_cast<GtkHost*>(data);
    // The host outlives the loop only briefly: no source may call it later.
    for (guint* source : {&host.presentSource, &host.unloadTimer, &host.browserPoll,
                          &host.quitSignals[0], &host.quitSignals[1], &host.quitSignals[2]})
        g_clear_handle_id(source, g_source_remove);
    // A loop ended by a failure never closed the browser.
    g_clear_object(&host.context);
    host.window = nullptr;
    host.view = nullptr;
    gtk_main_quit();
}

WebKitWebContext* CreateWebContext(const GtkHostSetup& setup) {
    const std::string cache = setup.dataFolder + "/cache";
    WebKitWebsiteDataManager* data =
        webkit_website_data_manager_new("base-data-directory", setup.dataFolder.c_str(),
                                        "base-cache-directory", cache.c_str(), nullptr);
    WebKitWebContext* context = webkit_web_context_new_with_website_data_manager(data);
    g_object_unref(data);
    // One app, one page: no cache of documents to keep around.
    webkit_web_context_set_cache_model(context, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
    RegisterContentScheme(context, *setup.server, setup.requestObserver);
    return context;
}

void ConfigureSettings(WebKitWebView* view, const GtkHostSettings& host) {
    WebKitSettings* settings = webkit_web_view_get_settings(view);
    webkit_settings_set_enable_javascript(settings, TRUE);
    webkit_settings_set_enable_developer_extras(settings, host.enableDevtools);
    webkit_settings_set_enable_fullscreen(settings, TRUE);
    // Every new window goes through the host's rules, so the engine's popup
    // blocker has nothing left to guard.
    webkit_settings_set_javascript_can_open_windows_automatically(settings, TRUE);
    webkit_settings_set_media_playback_requires_user_gesture(settings, FALSE);
    // A swipe back in history would throw the game's state away.
    webkit_settings_set_enable_back_forward_navigation_gestures(settings, FALSE);
    // Handled here, after the page's own contextmenu handlers have run: the
    // engine's menu is not shown.
    if (!host.contextMenu)
        g_signal_connect(
            view, "context-menu",
            G_CALLBACK(+[](WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*,
                           gpointer) -> gboolean { return TRUE; }),
            nullptr);
}

// chrome.webview.postMessage for the app's pages. The page's own world gets
// the function; it hands the text to a script of an isolated world, injected
// into the top frame only, which alone can reach the host's message handlers.
// So frames of other sites can't post, and the page can't reach or fake the
// host's side of the channel. The page sees listener functions that do
// nothing, as the host never posts to the page; strings cross worlds as they
// are.
constexpr char BridgeWorldName[] = "lanternshell";

constexpr char PageWorldScript[] = R"js((() => {
    const send = (message) => {
        document.dispatchEvent(new CustomEvent('lanternshell-page-message', {detail: message}));
    };
    window.chrome = window.chrome || {};
    window.chrome.webview = {postMessage: send, addEventListener() {}, removeEventListener() {}};
})();)js";

constexpr char BridgeWorldScript[] = R"js((() => {
    const handlers = window.webkit.messageHandlers;
    document.addEventListener('lanternshell-page-message', (event) => {
        // Only strings are messages; anything else is dropped here already.
        if (typeof event.detail === 'string') handlers.lanternshellPageMessage.postMessage(event.detail);
    }, true);
    document.addEventListener('DOMContentLoaded', () => {
        handlers.lanternshellDocumentLoaded.postMessage('');
    }, {once: true});
})();)js";

void AddScript(WebKitUserContentManager* manager, const char* source, const char* world) {
    WebKitUserScript* script =
        world
            ? webkit_user_script_new_for_world(source, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, world,
                                               nullptr, nullptr)
            : webkit_user_script_new(source, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                     WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(manager, script);
    webkit_user_script_unref(script);
}

void InstallPageBridge(GtkHost& host, WebKitUserContentManager* content) {
    const std::pair<const char*, GCallback> handlers[] = {
        {"lanternshellPageMessage", G_CALLBACK(OnPageMessage)},
        {"lanternshellDocumentLoaded", G_CALLBACK(OnDocumentLoaded)},
    };
    for (const auto& [name, callback] : handlers) {
        webkit_user_content_manager_register_script_message_handler_in_world(content, name,
                                                                             BridgeWorldName);
        const std::string signal = std::string("script-message-received::") + name;
        g_signal_connect(content, signal.c_str(), callback, &host);
    }
    AddScript(content, PageWorldScript, nullptr);
    // window.close() of the app's own pages posts {"type":"close"} the same
    // way: the engine lets a script close only a window that has shown a
    // single document, so an app on its second page could never end itself.
    // The host checks the sender again.
    AddScript(content, WideToUtf8(CloseScript(GtkAppOrigin)).c_str(), nullptr);
    AddScript(content, BridgeWorldScript, BridgeWorldName);
}

// GTK sizes in logical pixels and scales them itself: the manifest's size is
// kept between 1 and 16384 pixels once scaled, as on Windows. Larger windows
// are past any display and past what the window system and the engine take
// for one surface (a window of 100000 by 70000 never drew its page).
int ClientSize(int logicalPixels, int scale) {
    return std::max(
        1, ClampClientSize(ScaleLogicalPixels(logicalPixels, static_cast<float>(scale))) / scale);
}

int DisplayScale() {
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = display ? gdk_display_get_primary_monitor(display) : nullptr;
    if (!monitor && display) monitor = gdk_display_get_monitor(display, 0);
    return monitor ? std::max(1, gdk_monitor_get_scale_factor(monitor)) : 1;
}

GtkWindow* CreateWindow(const GtkHost& host) {
    const GtkHostSettings& settings = host.setup.settings;
    GtkWindow* window = GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL));
    gtk_window_set_title(window, WideToUtf8(settings.title).c_str());
    gtk_window_set_default_size(window, host.width, host.height);
    gtk_window_set_resizable(window, settings.resizable);
    // A file that doesn't load leaves the default icon.
    GError* error = nullptr;
    if (!settings.iconPath.empty() &&
        !gtk_window_set_icon_from_file(window, ToNativePath(settings.iconPath).c_str(), &error) &&
        host.setup.log)
        LogIconNotLoaded(*host.setup.log, PathForDisplay(settings.iconPath),
                         error && error->message ? error->message : "no image");
    if (error) g_error_free(error);
    return window;
}

// Where the last run left the window, when it still fits a monitor; a
// restored fullscreen goes through the session, whose mode must agree.
void PlaceWindow(GtkHost& host) {
    const PlacementDecision placement =
        PlacementOf(host.setup.remembered, ListMonitorAreas(), host.width, host.height,
                    host.setup.settings.resizable, host.setup.log);
    if (!placement.restore) return;
    ApplyPlacement(host.window, placement, host.tracker);
    host.width = placement.clientWidth;
    host.height = placement.clientHeight;
    if (placement.fullscreen) host.session->SetFullscreen(true);
}

class GtkEngine final : public Engine {
public:
    explicit GtkEngine(GtkHost& host) : host_(host) {}

    std::optional<std::string> Navigate(const std::wstring& uri) override {
        webkit_web_view_load_uri(host_.view, WideToUtf8(uri).c_str());
        return std::nullopt;
    }

    bool Reload() override {
        webkit_web_view_reload(host_.view);
        return true;
    }

    // The web process is the only one the engine reports; a reload starts a
    // new one.
    void RestartBrowser() override { webkit_web_view_reload(host_.view); }

    void SetFullscreen(bool fullscreen) override {
        if (!host_.window || !host_.view) return;
        // A window of fixed size carries size hints that window managers keep
        // even in fullscreen, so it is resizable without hints from the request
        // to enter fullscreen until the window has left it (OnWindowState).
        if (fullscreen && !host_.setup.settings.resizable) {
            gtk_window_set_resizable(host_.window, TRUE);
            gtk_window_set_geometry_hints(host_.window, nullptr, nullptr, GdkWindowHints(0));
        }
        (fullscreen ? gtk_window_fullscreen : gtk_window_unfullscreen)(host_.window);
    }

    void SetCaption(const std::wstring& caption) override {
        if (host_.window) gtk_window_set_title(host_.window, WideToUtf8(caption).c_str());
    }

    void ShowWindow() override {
        if (!host_.window || !host_.view) return;
        gtk_widget_show(GTK_WIDGET(host_.window));
        gtk_widget_grab_focus(GTK_WIDGET(host_.view));
    }

    // On standard error as well, where a terminal or a launcher's log keeps it.
    void ShowError(const std::wstring& text, const std::wstring& caption) override {
        g_printerr("%s\n", WideToUtf8(text).c_str());
        Later([text, caption] { ShowErrorDialog(text, caption); });
    }

    bool AskYesNo(const std::wstring& text, const std::wstring& caption) override {
        GtkWidget* dialog =
            gtk_message_dialog_new(host_.window, GTK_DIALOG_MODAL, GTK_MESSAGE_WARNING,
                                   GTK_BUTTONS_YES_NO, "%s", WideToUtf8(text).c_str());
        gtk_window_set_title(GTK_WINDOW(dialog), WideToUtf8(caption).c_str());
        const bool yes = gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_YES;
        gtk_widget_destroy(dialog);
        return yes;
    }

    void OpenOutside(const std::wstring& uri) override {
        // The user's program gets the user's environment, not the one
        // exported for the engine's processes.
        GAppLaunchContext* context = CreateUserLaunchContext();
        // A link the desktop has no program for is lost silently, as on Windows.
        g_app_info_launch_default_for_uri(WideToUtf8(uri).c_str(), context, nullptr);
        g_object_unref(context);
    }

    void Quit() override {
        // Destroying the window ends the loop.
        Later([&host = host_] {
            if (host.window) gtk_widget_destroy(GTK_WIDGET(host.window));
        });
    }

    // The page is left for about:blank, as a tab is closed, so that all its
    // unload handlers run; the blank page's commit ends it (OnLoadChanged).
    // The engine's try_close runs beforeunload only: the other handlers then
    // ran as the view was destroyed and lost their saves in one run of four.
    void UnloadPage(int timeoutMs) override {
        if (!host_.view) return host_.session->OnPageUnloaded(UnloadOutcome::Unloaded);
        host_.unloading = true;
        host_.unloadTimeoutMs = timeoutMs;
        ArmUnloadTimer(host_);
        webkit_web_view_load_uri(host_.view, "about:blank");
    }

    void CloseBrowser(int timeoutMs) override {
        host_.browserTimeoutUs = std::int64_t{timeoutMs} * 1000;
        host_.browserDeadlineUs = g_get_monotonic_time() + host_.browserTimeoutUs;
        // Not in a signal handler of the view: the engine still uses it then.
        Later([&host = host_] { EndBrowser(host); });
    }

    void ExitElementFullscreen() override {
        if (host_.view)
            webkit_web_view_evaluate_javascript(host_.view,
                                                WideToUtf8(ExitElementFullscreenScript).c_str(), -1,
                                                nullptr, nullptr, nullptr, nullptr, nullptr);
    }

    std::optional<WindowRecord> CurrentWindowRecord() override {
        if (!host_.window) return std::nullopt;
        return ReadWindowRecord(host_.window, host_.tracker);
    }

private:
    GtkHost& host_;
};

}  // namespace

void ShowErrorDialog(const std::wstring& text, const std::wstring& caption) {
    GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR,
                                               GTK_BUTTONS_OK, "%s", WideToUtf8(text).c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), WideToUtf8(caption).c_str());
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
}

std::unique_ptr<Engine> MakeGtkEngine(GtkHost& host) {
    return std::make_unique<GtkEngine>(host);
}

void StartGtkHost(GtkHost& host) {
    const GtkHostSettings& settings = host.setup.settings;
    WebKitWebContext* context = CreateWebContext(host.setup);
    WebKitUserContentManager* content = webkit_user_content_manager_new();
    InstallPageBridge(host, content);
    // Media with sound starts without a click only when the manifest says so;
    // otherwise the engine's default, as on Windows: only silent media starts
    // on its own, and play() with sound is refused with NotAllowedError.
    WebKitWebsitePolicies* policies = webkit_website_policies_new_with_policies(
        "autoplay", settings.autoplay ? WEBKIT_AUTOPLAY_ALLOW : WEBKIT_AUTOPLAY_ALLOW_WITHOUT_SOUND,
        nullptr);
    host.view = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context,
                                             "user-content-manager", content, "website-policies",
                                             policies, nullptr));
    g_object_unref(policies);
    // Kept until the page's web process has ended (EndBrowser).
    host.context = context;
    ConfigureSettings(host.view, settings);
    if (host.setup.extend) host.setup.extend(host.view, content);

    const int scale = DisplayScale();
    host.width = ClientSize(settings.width, scale);
    host.height = ClientSize(settings.height, scale);
    host.window = CreateWindow(host);
    TrackWindowState(host.window, host.tracker);
    PlaceWindow(host);
    g_signal_connect(host.window, "destroy", G_CALLBACK(OnWindowDestroyed), &host);
    g_signal_connect(host.window, "delete-event", G_CALLBACK(OnDeleteEvent), &host);
    g_signal_connect(host.window, "window-state-event", G_CALLBACK(OnWindowState), &host);
    g_signal_connect(host.window, "key-press-event", G_CALLBACK(OnKeyPress), &host);
    const int quitSignals[] = {SIGTERM, SIGINT, SIGHUP};
    for (size_t i = 0; i < std::size(quitSignals); ++i)
        host.quitSignals[i] = g_unix_signal_add(quitSignals[i], OnQuitSignal, &host);
    if (host.setup.instance)
        host.presentSource = PresentOnRequest(*host.setup.instance, host.window);
    gtk_container_add(GTK_CONTAINER(host.window), GTK_WIDGET(host.view));
    gtk_widget_show(GTK_WIDGET(host.view));
    // The page lays out at the window's size from the start, as it does on
    // Windows, though the window is shown only once the document has loaded.
    GtkAllocation allocation{0, 0, host.width, host.height};
    gtk_widget_size_allocate(GTK_WIDGET(host.view), &allocation);
    WebKitWebView* view = host.view;
    g_signal_connect(view, "notify::title", G_CALLBACK(OnTitleChanged), &host);
    g_signal_connect(view, "decide-policy", G_CALLBACK(OnDecidePolicy), &host);
    g_signal_connect(view, "create", G_CALLBACK(OnCreateWebView), &host);
    g_signal_connect(view, "permission-request", G_CALLBACK(OnPermissionRequest), &host);
    g_signal_connect(view, "enter-fullscreen", G_CALLBACK(OnElementFullscreen<true>), &host);
    g_signal_connect(view, "leave-fullscreen", G_CALLBACK(OnElementFullscreen<false>), &host);
    g_signal_connect(view, "close", G_CALLBACK(OnCloseRequested), &host);
    g_signal_connect(view, "script-dialog", G_CALLBACK(OnScriptDialog), &host);
    g_signal_connect(view, "load-changed", G_CALLBACK(OnLoadChanged), &host);
    g_signal_connect(view, "web-process-terminated", G_CALLBACK(OnWebProcessTerminated), &host);
    g_signal_connect(view, "load-failed", G_CALLBACK(OnLoadFailed), &host);
    // The view holds the content manager from here on.
    g_object_unref(content);

    host.session->OnEngineReady();
}
