#include "app/gtk/startup.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <gtk/gtk.h>

#include "app/manifest.h"
#include "app/startup.h"
#include "host/gtk/media_plugin.h"
#include "platform/diagnostics_log.h"
#include "platform/posix/native_path.h"
#include "platform/text.h"
#include "server/content_server.h"

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

std::int64_t MonotonicMilliseconds() {
    return g_get_monotonic_time() / 1000;
}

std::string EngineLine() {
    return "engine: WebKitGTK " + std::to_string(webkit_get_major_version()) + "." +
           std::to_string(webkit_get_minor_version()) + "." +
           std::to_string(webkit_get_micro_version());
}

int RunHost(const StartedApp& app, const std::function<void(GtkHostSetup&)>& customize) {
    GtkHost host;
    const AppConfig& config = app.config;
    GtkHostSettings& settings = host.setup.settings;
    settings.title = config.title;
    settings.width = config.width;
    settings.height = config.height;
    // As on Windows, the manifest's path is appended to the executable's
    // folder as it stands.
    if (!config.icon.empty()) settings.iconPath = app.exeFolder + config.icon;
    settings.resizable = config.resizable;
    settings.contextMenu = config.contextMenu;
    settings.autoplay = config.autoplay;
    settings.enableDevtools = config.enableDevtools;
    settings.browserKeys = config.browserKeys;
    settings.pageLog = PageLogModeOf(config);
    settings.background = BackgroundModeOf(config);
    host.setup.server = &app.content;
    host.setup.dataFolder = ToNativePath(app.userDataFolder);
    host.setup.log = &app.log;
    host.setup.instance = &app.instance;
    host.setup.remembered = RememberedWindow(config.rememberWindow, app.userDataFolder, &app.log);
    host.setup.pageServices = &app.pageServices;
    if (customize) customize(host.setup);
    const std::unique_ptr<Engine> engine = MakeGtkEngine(host);
    Session session(
        SessionSettingsOf(app, GtkAppOrigin, WebKitGtkEngineName, &MonotonicMilliseconds), *engine);
    host.session = &session;
    StartGtkHost(host);
    gtk_main();
    return session.ExitCode();
}

}  // namespace

int RunGtkApp(const std::function<void(GtkHostSetup&)>& customize) {
    if (!IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY")) {
        std::fprintf(stderr,
                     "Lanternshell needs a graphical desktop, but neither DISPLAY nor "
                     "WAYLAND_DISPLAY is set.\n");
        return 1;
    }
    StartupPlatform platform;
    // An executable that can't name its own path (one run from memory or
    // deleted) has no manifest: never the current directory's.
    platform.executable = GetExecutablePath();
    if (!platform.executable.empty()) platform.exeFolder = FolderOfPath(platform.executable);
    // Before GTK starts any thread: the engine's processes inherit it.
    if (!platform.exeFolder.empty())
        ExportMediaEnvironment(platform.exeFolder, platform.exeFolder + ContentFolderName);

    // The app takes no command line, so GTK is not shown one either.
    if (!gtk_init_check(nullptr, nullptr)) {
        std::fprintf(stderr, "Lanternshell could not open the graphical display.\n");
        return 1;
    }
    platform.engineLine = EngineLine();
    // Failures go to standard error as well, where a terminal or a
    // launcher's log keeps them.
    platform.showError = [](const std::wstring& text, const std::wstring& caption) {
        std::fprintf(stderr, "%s\n", WideToUtf8(text).c_str());
        ShowErrorDialog(text, caption);
    };
    platform.run = [&customize](const StartedApp& app) { return RunHost(app, customize); };
    return RunStartup(platform);
}
