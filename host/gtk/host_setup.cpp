#include "host/gtk/gtk_host.h"

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
    ConfigureSettings(host.view, settings);
    if (host.setup.extend) host.setup.extend(host.view, content);

    const int scale = DisplayScale();
    host.width = ClientSize(settings.width, scale);
    host.height = ClientSize(settings.height, scale);
    host.window = CreateWindow(host);
    TrackWindowState(host.window, host.tracker);
    PlaceWindow(host);
    if (host.setup.instance)
        host.presentSource = PresentOnRequest(*host.setup.instance, host.window);
    gtk_container_add(GTK_CONTAINER(host.window), GTK_WIDGET(host.view));
    gtk_widget_show(GTK_WIDGET(host.view));
    // The page lays out at the window's size from the start, as it does on
    // Windows, though the window is shown only once the document has loaded.
    GtkAllocation allocation{0, 0, host.width, host.height};
    gtk_widget_size_allocate(GTK_WIDGET(host.view), &allocation);
    ConnectHostEvents(host);
    // The view holds the content manager from here on.
    g_object_unref(content);

    host.session->OnEngineReady();
}
