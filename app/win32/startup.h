// The whole run of the host, from reading the manifest to the end of the
// message loop. WinMain calls it with the shipped inputs; the runtime flow
// tests call it with their own.
#pragma once

#include <windows.h>

#include <string>

#include "host/win32/win32_host.h"

struct AppConfig;

struct StartupInputs {
    HINSTANCE instance = nullptr;
    // Where package.json, www, the icon, the loader library and a fixed
    // runtime are looked for; ends in a backslash.
    std::wstring exeFolder;
    // Where a missing runtime's installer is downloaded from.
    std::wstring installerUrl;
    // The browser data folder; empty means %LOCALAPPDATA%\<manifest name>.
    std::wstring userDataFolder;
};

// Runs the host on the calling thread, which becomes the UI thread, and
// returns the process's exit code: 0 when the window was closed, 1 after a
// failure that has been shown in a message box.
int RunApp(const StartupInputs& inputs);

// The host's settings from the manifest and the loaded icon.
Win32HostSettings HostSettingsOf(const AppConfig& config, HICON icon, DiagnosticsLog* log);
