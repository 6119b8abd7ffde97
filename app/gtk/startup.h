// The Linux startup sequence: display, manifest, data folder, host, loop.
#pragma once

#include <functional>
#include <string>

#include "host/gtk/app_window.h"

struct AppConfig;

// The host's settings from the manifest; exeFolder (with its trailing
// backslash) is where the icon's path starts.
GtkHostSettings GtkHostSettingsOf(const AppConfig& config, const std::wstring& exeFolder);

// Runs the app beside the executable and returns the process's exit code.
// customize, when set, adjusts the host's setup before the host starts; the
// shipped executable passes none.
int RunGtkApp(const std::function<void(GtkHostSetup&)>& customize);
