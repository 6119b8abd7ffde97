#include "host/gtk/gtk_host.h"

#include <glib-unix.h>
#include <signal.h>

#include <iterator>

#include "host/gtk/engine_processes.h"
#include "platform/diagnostics_log.h"

namespace {

Session& SessionOf(gpointer data) {
    return *static_cast<GtkHost*>(data)->session;
}

std::wstring RequestUri(WebKitNavigationAction* action) {
    WebKitURIRequest* request = webkit_navigation_action_get_request(action);
    return WideOrEmpty(request ? webkit_uri_request_get_uri(request) : nullptr);
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

// The page's own window.close(); while quitting the session goes on as it is.
void OnCloseRequested(WebKitWebView*, gpointer data) {
    SessionOf(data).OnCloseRequested();
}

// The page's beforeunload asks whether to leave. The host asks the player in
// a box of its own, so that it hears the answer: staying keeps the app
// running, and the quit sequence's bound waits while the box is up.
gboolean OnScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer data) {
    if (webkit_script_dialog_get_dialog_type(dialog) != WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM)
        return FALSE;
    auto& host = *static_cast<GtkHost*>(data);
    host.session->OnQuitEvent(QuitEvent::QuestionOpened);
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
                         const bool stayed = !leave && host.unloading;
                         if (stayed) host.unloading = false;
                         host.session->OnQuitEvent(stayed ? QuitEvent::PlayerStayed
                                                          : QuitEvent::QuestionAnswered);
                     }),
                     &host);
    gtk_widget_show(box);
    return TRUE;
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
// the manifest turned the keys off; F12 and Ctrl+Shift+I open the inspector
// as the other engine's control does, unless the developer tools or the
// browser's keys are off.
gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
    auto& host = *static_cast<GtkHost*>(data);
    const guint modifiers = event->state & gtk_accelerator_get_default_mod_mask();
    const bool enter = event->keyval == GDK_KEY_Return || event->keyval == GDK_KEY_KP_Enter ||
                       event->keyval == GDK_KEY_ISO_Enter;
    const bool inspectorKey = (event->keyval == GDK_KEY_F12 && modifiers == 0) ||
                              (gdk_keyval_to_lower(event->keyval) == GDK_KEY_i &&
                               modifiers == (GDK_CONTROL_MASK | GDK_SHIFT_MASK));
    const GtkHostSettings& settings = host.setup.settings;
    if (inspectorKey && settings.enableDevtools && settings.browserKeys && host.view) {
        webkit_web_inspector_show(webkit_web_view_get_inspector(host.view));
        return TRUE;
    }
    const bool key =
        (event->keyval == GDK_KEY_F11 && modifiers == 0) || (enter && modifiers == GDK_MOD1_MASK);
    return key && host.session->OnFullscreenKey();
}

void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer data) {
    // A document the bridge script could not run in (plain text, say) is
    // shown once it has loaded completely.
    auto& host = *static_cast<GtkHost*>(data);
    if (host.unloading) {
        // The blank page is committed once the page has ended. The view
        // names about:blank from the moment it is asked for, so a page still
        // loading then finishes under that name: its end is not this one.
        if (event != WEBKIT_LOAD_COMMITTED || ViewUri(view) != L"about:blank") return;
        host.unloading = false;
        return host.session->OnQuitEvent(QuitEvent::PageUnloaded);
    }
    if (event != WEBKIT_LOAD_FINISHED) return;
    // With the inspector open its own processes run too, and the page's
    // can't be told from them: those seen last are kept.
    if (!webkit_web_inspector_get_web_view(webkit_web_view_get_inspector(view))) {
        host.pageProcesses.clear();
        for (const EngineProcess& process : RunningEngineProcesses())
            host.pageProcesses.push_back(process.pid);
    }
    host.session->OnNavigationCompleted();
}

// The session decides: before the first document the engine failed to
// start, after it the page crashed.
void OnWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason,
                            gpointer data) {
    // Its successor is not known until the next load.
    static_cast<GtkHost*>(data)->pageProcesses.clear();
    const char* what = reason == WEBKIT_WEB_PROCESS_CRASHED ? "the web process crashed"
                       : reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT
                           ? "the web process ran out of memory"
                           : "the web process was ended";
    SessionOf(data).OnProcessFailed(ProcessFailure::RendererGone, what);
}

// The host's own cancels (a navigation outside the app) are no failures.
void OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer data) {
    if (!error || error->domain == WEBKIT_POLICY_ERROR ||
        g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED))
        return;
    SessionOf(data).OnNavigationCompleted(Quoted(WideOrEmpty(uri)) + ": " +
                                          (error->message ? error->message : ""));
}

void OnWindowDestroyed(GtkWidget*, gpointer data) {
    auto& host = *static_cast<GtkHost*>(data);
    // The host outlives the loop only briefly: no source may call it later.
    for (guint* source :
         {&host.presentSource, &host.sessionTimer, &host.pumpTimer, &host.browserPoll,
          &host.firstSizeTimer, &host.quitSignals[0], &host.quitSignals[1], &host.quitSignals[2]})
        g_clear_handle_id(source, g_source_remove);
    // A loop ended by a failure never closed the browser.
    g_clear_object(&host.context);
    host.window = nullptr;
    host.view = nullptr;
    gtk_main_quit();
}

}  // namespace

void ConnectHostEvents(GtkHost& host) {
    g_signal_connect(host.window, "destroy", G_CALLBACK(OnWindowDestroyed), &host);
    g_signal_connect(host.window, "delete-event", G_CALLBACK(OnDeleteEvent), &host);
    g_signal_connect(host.window, "window-state-event", G_CALLBACK(OnWindowState), &host);
    g_signal_connect(host.window, "key-press-event", G_CALLBACK(OnKeyPress), &host);
    const int quitSignals[] = {SIGTERM, SIGINT, SIGHUP};
    for (size_t i = 0; i < std::size(quitSignals); ++i)
        host.quitSignals[i] = g_unix_signal_add(quitSignals[i], OnQuitSignal, &host);
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
}
