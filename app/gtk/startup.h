// The Linux startup sequence: display, manifest, data folder, host, loop.
#pragma once

#include <functional>

#include "host/gtk/gtk_host.h"

// Runs the app beside the executable and returns the process's exit code.
// customize, when set, adjusts the host's setup before the host starts; the
// shipped executable passes none.
int RunGtkApp(const std::function<void(GtkHostSetup&)>& customize);
