#include "host/gtk/gtk_host.h"

#include <functional>
#include <utility>

#include "host/gtk/engine_processes.h"
#include "host/gtk/media_plugin.h"
#include "host/page_scripts.h"

namespace {

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

// The inspector, when open, is closed before the view, and its own web
// process ended: the page's process, which it watches, then ends as soon as
// without it. Neither of the inspector's processes holds the page's data, so
// they are not waited for (see GtkHost::pageProcesses).
void CloseInspector(WebKitWebView* view) {
    WebKitWebInspector* inspector = webkit_web_view_get_inspector(view);
    if (WebKitWebViewBase* tools = webkit_web_inspector_get_web_view(inspector))
        webkit_web_view_terminate_web_process(WEBKIT_WEB_VIEW(tools));
    webkit_web_inspector_close(inspector);
}

// Closes the view, lets its web process end, then lets go of the web context,
// whose end ends the network process, which writes the page's storage as it
// ends. Dropping the context while the web process ran lost every save of
// the run about once in eighty runs: each is waited for, and the session's
// bound ends the wait.
void EndBrowser(GtkHost& host) {
    if (host.window) gtk_widget_hide(GTK_WIDGET(host.window));
    // A hung page's process would spin on, past the app, and hold the
    // network process back: the page's saves are lost with it anyway.
    if (host.view && host.pageHung) webkit_web_view_terminate_web_process(host.view);
    if (host.view) CloseInspector(host.view);
    if (host.view) gtk_widget_destroy(GTK_WIDGET(host.view));
    host.view = nullptr;
    host.browserPoll = g_timeout_add(
        20,
        [](gpointer data) -> gboolean {
            auto& host = *static_cast<GtkHost*>(data);
            // A web process that does not end gets three fifths of the
            // session's bound, the network process, which holds the saves,
            // the rest: on a busy machine the web process took up to 0.85 s
            // to end, a first run longer, and letting go of the context
            // before it has ended can lose the page's storage.
            const bool webLate = g_get_monotonic_time() - host.browserClosedUs >=
                                 std::int64_t{BrowserExitTimeoutMs} * 1000 * 3 / 5;
            const auto running = RunningEngineProcesses();
            const auto& page = host.pageProcesses;
            if (host.context && (webLate || !PageProcessRunning(running, page, "WebKitWebProces")))
                g_clear_object(&host.context);
            if (PageProcessRunning(running, page, "WebKit")) return G_SOURCE_CONTINUE;
            host.browserPoll = 0;
            host.session->OnQuitEvent(QuitEvent::BrowserExited);
            return G_SOURCE_REMOVE;
        },
        &host);
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
        if (host_.mappedMinimized) gtk_window_deiconify(host_.window);
        host_.mappedMinimized = false;
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
    // unload handlers run; the blank page's commit ends it (host_events).
    // The engine's try_close runs beforeunload only: the other handlers then
    // ran as the view was destroyed and lost their saves in one run of four.
    bool UnloadPage() override {
        if (!host_.view) {
            host_.session->OnQuitEvent(QuitEvent::PageUnloaded);
            return true;
        }
        host_.unloading = true;
        webkit_web_view_load_uri(host_.view, "about:blank");
        return true;
    }

    void CloseBrowser() override {
        // Still unloading, the page did not end within its bound.
        host_.pageHung = host_.unloading;
        host_.unloading = false;
        host_.browserClosedUs = g_get_monotonic_time();
        // Not in a signal handler of the view: the engine still uses it then.
        Later([&host = host_] { EndBrowser(host); });
    }

    void StartTimer(int ms) override {
        StopTimer();
        host_.sessionTimer = g_timeout_add(
            static_cast<guint>(ms),
            [](gpointer data) -> gboolean {
                auto& host = *static_cast<GtkHost*>(data);
                host.sessionTimer = 0;
                host.session->OnQuitEvent(QuitEvent::TimerRanOut);
                return G_SOURCE_REMOVE;
            },
            &host_);
    }

    void StopTimer() override { g_clear_handle_id(&host_.sessionTimer, g_source_remove); }

    void StartPump(int ms) override {
        g_clear_handle_id(&host_.pumpTimer, g_source_remove);
        host_.pumpTimer = g_timeout_add(
            static_cast<guint>(ms),
            [](gpointer data) -> gboolean {
                static_cast<GtkHost*>(data)->session->OnPump();
                return G_SOURCE_CONTINUE;
            },
            &host_);
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

    void PostToPage(const std::string& json) override { ::PostToPage(host_, json); }

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
