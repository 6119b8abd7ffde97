// The running instance hears a second start's present request in the main
// loop (see platform/single_instance.h). UI thread only.
#pragma once

#include <gtk/gtk.h>

class InstanceLock;

// Watches the lock's listening socket and presents window on each request:
// restored if minimized and raised, once it is shown (while the first page
// loads it stays hidden). The lock and the window must outlive the main
// loop. Returns the GLib source, 0 when the lock has no listener.
guint PresentOnRequest(const InstanceLock& lock, GtkWindow* window);
