#include "host/gtk/instance_requests.h"

#include <glib-unix.h>

#include "platform/posix/single_instance.h"
#include "platform/single_instance.h"

namespace {

gboolean OnRequest(gint listener, GIOCondition, gpointer data) {
    GtkWindow* window = GTK_WINDOW(data);
    if (TakePresentRequest(listener) && gtk_widget_get_visible(GTK_WIDGET(window)))
        gtk_window_present(window);
    return G_SOURCE_CONTINUE;
}

}  // namespace

guint PresentOnRequest(const InstanceLock& lock, GtkWindow* window) {
    if (lock.PresentListener() < 0) return 0;
    return g_unix_fd_add(static_cast<gint>(lock.PresentListener()), G_IO_IN, OnRequest, window);
}
