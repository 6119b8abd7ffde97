#include "host/gtk/window_placement.h"

#include <glib-unix.h>

#include "platform/posix/single_instance.h"
#include "platform/single_instance.h"

namespace {

GdkWindowState StateOf(GtkWindow* window) {
    GdkWindow* surface = gtk_widget_get_window(GTK_WIDGET(window));
    return surface ? gdk_window_get_state(surface) : GdkWindowState(0);
}

bool IsNormal(GdkWindowState state) {
    return !(state & (GDK_WINDOW_STATE_MAXIMIZED | GDK_WINDOW_STATE_FULLSCREEN |
                      GDK_WINDOW_STATE_ICONIFIED | GDK_WINDOW_STATE_TILED));
}

void Measure(GtkWindow* window, WindowRecord& record) {
    gtk_window_get_position(window, &record.x, &record.y);
    gtk_window_get_size(window, &record.width, &record.height);
}

gboolean OnConfigure(GtkWidget* widget, GdkEvent*, gpointer data) {
    GtkWindow* window = GTK_WINDOW(widget);
    if (IsNormal(StateOf(window))) {
        auto* tracker = static_cast<GtkWindowTracker*>(data);
        Measure(window, tracker->normal);
        tracker->seen = true;
    }
    return FALSE;
}

gboolean OnPresentRequest(gint listener, GIOCondition, gpointer data) {
    GtkWindow* window = GTK_WINDOW(data);
    if (TakePresentRequest(listener) && gtk_widget_get_visible(GTK_WIDGET(window)))
        gtk_window_present(window);
    return G_SOURCE_CONTINUE;
}

}  // namespace

std::vector<MonitorArea> ListMonitorAreas() {
    std::vector<MonitorArea> monitors;
    GdkDisplay* display = gdk_display_get_default();
    const int count = display ? gdk_display_get_n_monitors(display) : 0;
    for (int i = 0; i < count; ++i) {
        GdkRectangle work{};
        gdk_monitor_get_workarea(gdk_display_get_monitor(display, i), &work);
        monitors.push_back({work.x, work.y, work.x + work.width, work.y + work.height, 1.0f});
    }
    return monitors;
}

void TrackWindowState(GtkWindow* window, GtkWindowTracker& tracker) {
    // Only configure events measure: the normal place can't change while the
    // window is maximized or fullscreen, and right after a state change the
    // window's position may still read (0, 0) until the window manager has
    // placed it again, which a quit at that moment would have saved.
    g_signal_connect(window, "configure-event", G_CALLBACK(OnConfigure), &tracker);
}

WindowRecord ReadWindowRecord(GtkWindow* window, const GtkWindowTracker& tracker) {
    const GdkWindowState state = StateOf(window);
    // The last configured normal place: read live, the position can read
    // (0, 0) for a moment while the window manager moves the window.
    WindowRecord record = tracker.normal;
    if (!tracker.seen) Measure(window, record);
    record.maximized = (state & GDK_WINDOW_STATE_MAXIMIZED) != 0;
    record.fullscreen = (state & GDK_WINDOW_STATE_FULLSCREEN) != 0;
    return record;
}

void ApplyPlacement(GtkWindow* window, const PlacementDecision& decision,
                    GtkWindowTracker& tracker) {
    if (!decision.restore) return;
    tracker.normal = {decision.x, decision.y, decision.clientWidth, decision.clientHeight};
    tracker.seen = true;
    gtk_window_set_default_size(window, decision.clientWidth, decision.clientHeight);
    gtk_window_resize(window, decision.clientWidth, decision.clientHeight);
    gtk_window_move(window, decision.x, decision.y);
    if (decision.maximized) gtk_window_maximize(window);
}

guint PresentOnRequest(const InstanceLock& lock, GtkWindow* window) {
    if (lock.PresentListener() < 0) return 0;
    return g_unix_fd_add(static_cast<gint>(lock.PresentListener()), G_IO_IN, OnPresentRequest,
                         window);
}
