// Media of the app origin on Linux. The engine plays <video> and <audio> in
// its web process through GStreamer, whose own sources know only the network
// schemes, so a GStreamer plugin of ours beside the executable gives that
// pipeline a source for the app origin. It routes every read through the
// content server there. The host's part is the environment the web process
// inherits: where the plugin is, that the scheme may be played, and the app's
// content folder.
#pragma once

#include <gio/gio.h>

#include <string>

// The plugin's folder beside the executable, with its backslash. A folder of
// its own: GStreamer scans every file below a plugin path.
constexpr wchar_t MediaPluginFolderName[] = L"lanternshell-media\\";

// Names the content folder (a native path) for the plugin in the web process.
constexpr char MediaRootVariable[] = "LANTERNSHELL_MEDIA_ROOT";

// Exports the variables above and the engine's allowance for the scheme,
// keeping any values the user had. Call before any thread starts, which is
// before GTK is initialised; the web process inherits them.
void ExportMediaEnvironment(const std::wstring& exeFolder, const std::wstring& contentFolder);

// A launch context for programs started on the page's behalf (the user's
// browser, mail program): the environment as the user had it, without the
// variables exported for the web process. The caller owns it.
GAppLaunchContext* CreateUserLaunchContext();
