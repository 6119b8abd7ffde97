#include "host/gtk/gtk_host.h"

#include <dlfcn.h>
#include <gdk/gdkx.h>

#include <algorithm>

#include "platform/diagnostics_log.h"
#include "platform/dpi.h"
#include "platform/posix/native_path.h"

namespace {

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

// An engine function by name: those after the oldest engine the host runs
// on (2.40) are looked up, so that an older engine still starts.
template <class Function>
Function* EngineFunction(const char* name) {
    return reinterpret_cast<Function*>(dlsym(RTLD_DEFAULT, name));
}

// A hidden page's timers fire at most once a second (measured: a minimized
// window's setInterval of 100 ms at 1 Hz); without the engine's throttling
// they keep their pace (10 Hz). Its switch is a feature of WebKitGTK 2.42
// on; an older engine throttles still, and the log says so.
void KeepTimersWhenHidden(WebKitSettings* settings, DiagnosticsLog* log) {
    constexpr char Throttling[] = "HiddenPageDOMTimerThrottling";
    const auto all = EngineFunction<decltype(webkit_settings_get_all_features)>(
        "webkit_settings_get_all_features");
    const auto length =
        EngineFunction<decltype(webkit_feature_list_get_length)>("webkit_feature_list_get_length");
    const auto get = EngineFunction<decltype(webkit_feature_list_get)>("webkit_feature_list_get");
    const auto identifier =
        EngineFunction<decltype(webkit_feature_get_identifier)>("webkit_feature_get_identifier");
    const auto enable = EngineFunction<decltype(webkit_settings_set_feature_enabled)>(
        "webkit_settings_set_feature_enabled");
    const auto unref =
        EngineFunction<decltype(webkit_feature_list_unref)>("webkit_feature_list_unref");
    bool found = false;
    if (all && length && get && identifier && enable && unref) {
        WebKitFeatureList* features = all();
        for (gsize i = 0; i < length(features) && !found; ++i) {
            WebKitFeature* feature = get(features, i);
            found = g_strcmp0(identifier(feature), Throttling) == 0;
            if (found) enable(settings, feature, FALSE);
        }
        unref(features);
    }
    if (!found && log)
        log->Write(
            "the engine has no switch for its timer throttling: a hidden page's timers "
            "fire at most once a second");
}

void ConfigureSettings(WebKitWebView* view, const GtkHostSettings& host, DiagnosticsLog* log) {
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
    if (host.background == BackgroundMode::Run) KeepTimersWhenHidden(settings, log);
    // Handled here, after the page's own contextmenu handlers have run: the
    // engine's menu is not shown.
    if (!host.contextMenu)
        g_signal_connect(
            view, "context-menu",
            G_CALLBACK(+[](WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*,
                           gpointer) -> gboolean { return TRUE; }),
            nullptr);
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
// Whether the window comes back maximized.
bool PlaceWindow(GtkHost& host) {
    const PlacementDecision placement =
        PlacementOf(host.setup.remembered, ListMonitorAreas(), host.width, host.height,
                    host.setup.settings.resizable, host.setup.log);
    if (!placement.restore) return false;
    ApplyPlacement(host.window, placement, host.tracker);
    host.width = placement.clientWidth;
    host.height = placement.clientHeight;
    if (placement.fullscreen) host.session->SetFullscreen(true);
    return placement.maximized;
}

// Gives the view its first size, the page's first layout, then loads the page.
void LoadAtSize(GtkHost& host, int width, int height) {
    g_clear_signal_handler(&host.firstSizeHandler, host.window);
    g_clear_handle_id(&host.firstSizeTimer, g_source_remove);
    GtkAllocation allocation{0, 0, width, height};
    gtk_widget_size_allocate(GTK_WIDGET(host.view), &allocation);
    if (!host.session->Quitting()) host.session->OnEngineReady();
}

gboolean OnFirstConfigure(GtkWidget*, GdkEventConfigure* event, gpointer data) {
    auto& host = *static_cast<GtkHost*>(data);
    // The window manager configures the normal size first.
    const bool maximized = gdk_window_get_state(event->window) & GDK_WINDOW_STATE_MAXIMIZED;
    if (maximized && (event->width != host.width || event->height != host.height))
        LoadAtSize(host, event->width, event->height);
    return FALSE;
}

// The monitor the hidden window shows on: the one its remembered place lies
// on, else the one the window system opens new windows on.
GdkRectangle FirstMonitorArea(const GtkHost& host) {
    GdkDisplay* display = gdk_display_get_default();
    const WindowRecord& normal = host.tracker.normal;
    GdkMonitor* monitor =
        host.tracker.seen ? gdk_display_get_monitor_at_point(display, normal.x + normal.width / 2,
                                                             normal.y + normal.height / 2)
                          : gdk_display_get_primary_monitor(display);
    if (!monitor) monitor = gdk_display_get_monitor(display, 0);
    GdkRectangle area{0, 0, host.width, host.height};
    if (monitor) gdk_monitor_get_geometry(monitor, &area);
    return area;
}

// The page's first layout has the window's size, though the window shows
// only once the document has loaded. A window that first shows maximized or
// fullscreen gets that size from the window manager, which sizes mapped
// windows only, and GTK gives it to the view once the window is mapped: a
// page laid out before would be resized then. So such a window is mapped
// minimized, out of the player's sight (X11 alone allows it); a fullscreen
// view takes the monitor's size at once, a maximized one the size the window
// manager gives it (or after a second without it, the normal size), and the
// page loads then. The window comes up when the document has loaded.
void LoadAtFirstSize(GtkHost& host, bool maximized) {
    const bool fullscreen = host.session->IsFullscreen();
    if (!(fullscreen || maximized) || !GDK_IS_X11_DISPLAY(gdk_display_get_default()))
        return LoadAtSize(host, host.width, host.height);
    host.mappedMinimized = true;
    gtk_window_iconify(host.window);
    // Showing gives the view the window's normal size first.
    gtk_widget_show(GTK_WIDGET(host.window));
    if (fullscreen) {
        const GdkRectangle screen = FirstMonitorArea(host);
        return LoadAtSize(host, screen.width, screen.height);
    }
    host.firstSizeHandler =
        g_signal_connect(host.window, "configure-event", G_CALLBACK(OnFirstConfigure), &host);
    host.firstSizeTimer = g_timeout_add(
        1000,
        [](gpointer data) -> gboolean {
            auto& host = *static_cast<GtkHost*>(data);
            host.firstSizeTimer = 0;
            LoadAtSize(host, host.width, host.height);
            return G_SOURCE_REMOVE;
        },
        &host);
}

}  // namespace

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
    ConfigureSettings(host.view, settings, host.setup.log);
    if (host.setup.extend) host.setup.extend(host.view, content);

    const int scale = DisplayScale();
    host.width = ClientSize(settings.width, scale);
    host.height = ClientSize(settings.height, scale);
    host.window = CreateWindow(host);
    TrackWindowState(host.window, host.tracker);
    if (host.setup.instance)
        host.presentSource = PresentOnRequest(*host.setup.instance, host.window);
    gtk_container_add(GTK_CONTAINER(host.window), GTK_WIDGET(host.view));
    gtk_widget_show(GTK_WIDGET(host.view));
    const bool maximized = PlaceWindow(host);
    host.session->OnWindowCreated();
    ConnectHostEvents(host);
    // The view holds the content manager from here on.
    g_object_unref(content);
    LoadAtFirstSize(host, maximized);
}
