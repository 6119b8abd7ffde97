#include "app/gtk/startup.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtk/gtk.h>

#include "version.h"

#include "app/manifest.h"
#include "app/startup_messages.h"
#include "host/gtk/media_plugin.h"
#include "platform/diagnostics_log.h"
#include "platform/text.h"
#include "platform/posix/native_path.h"
#include "server/content_server.h"
#include "server/router.h"

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// Failures go to standard error as well, where a terminal or a launcher's
// log keeps them.
int FailStartup(const std::wstring& text, const std::wstring& caption) {
    std::fprintf(stderr, "%s\n", WideToUtf8(text).c_str());
    ShowErrorDialog(text, caption);
    return 1;
}

// The whole file, or an empty text when it can't be read or is empty.
std::string ReadManifest(const std::wstring& path) {
    std::string text;
    FILE* file = std::fopen(ToNativePath(path).c_str(), "rb");
    if (!file) return text;
    char buffer[65536];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, count);
    std::fclose(file);
    return text;
}

std::string Quoted(const std::wstring& text) {
    return "\"" + WideToUtf8(text) + "\"";
}

// $XDG_DATA_HOME/<name>, or ~/.local/share/<name>; made with its parents,
// which a new account may not have yet, so that the log can start in it.
std::wstring UserDataFolder(const std::wstring& name) {
    std::wstring dataHome = GetLocalAppDataFolder();
    // Without an absolute XDG_DATA_HOME and HOME, GLib finds the home folder
    // in the user database.
    if (dataHome.empty()) {
        gchar* fallback = g_build_filename(g_get_home_dir(), ".local", "share", nullptr);
        dataHome = Utf8ToWide(fallback);
        g_free(fallback);
    }
    g_mkdir_with_parents(ToNativePath(dataHome).c_str(), 0700);
    return ComposeUserDataFolder(dataHome, name);
}

void LogStart(DiagnosticsLog& log, const std::wstring& executable, const std::wstring& exeFolder,
              const AppConfig& config) {
    log.Write("Lanternshell " LS_VERSION_TEXT " started: " +
              Quoted(Utf8ToWide(ToNativePath(executable))) + " in " +
              Quoted(Utf8ToWide(ToNativePath(exeFolder))));
    log.Write("manifest: name " + Quoted(config.name) + ", start page " + Quoted(config.main));
    log.Write("engine: WebKitGTK " + std::to_string(webkit_get_major_version()) + "." +
              std::to_string(webkit_get_minor_version()) + "." +
              std::to_string(webkit_get_micro_version()));
}

// Everything after the manifest, with the log open (or not: it never stops
// the app).
int RunHost(const std::wstring& exeFolder, const std::wstring& userDataFolder,
            const AppConfig& config, DiagnosticsLog& log,
            const std::function<void(GtkHostSetup&)>& customize) {
    ContentServer server(exeFolder + ContentFolderName, &log);
    if (!NamesServedFile(server, config.main)) {
        log.Write("failed: the start page " + Quoted(config.main) + " is not in the www folder");
        return FailStartup(MissingStartPageMessage(config.main), config.title);
    }
    GtkHost host;
    host.setup.settings = GtkHostSettingsOf(config, exeFolder);
    host.setup.server = &server;
    host.setup.dataFolder = ToNativePath(userDataFolder);
    host.setup.log = &log;
    if (customize) customize(host.setup);

    StartGtkHost(host);
    gtk_main();

    // Streams the engine still holds keep their own mappings alive.
    server.Mappings().ReleaseMappedViews();
    return host.exitCode;
}

}  // namespace

GtkHostSettings GtkHostSettingsOf(const AppConfig& config, const std::wstring& exeFolder) {
    GtkHostSettings settings;
    settings.title = config.title;
    settings.width = config.width;
    settings.height = config.height;
    // As on Windows, the manifest's path is appended to the executable's
    // folder as it stands.
    if (!config.icon.empty()) settings.iconPath = exeFolder + config.icon;
    settings.resizable = config.resizable;
    settings.browserKeys = config.browserKeys;
    settings.contextMenu = config.contextMenu;
    settings.autoplay = config.autoplay;
    settings.enableDevtools = config.enableDevtools;
    settings.startPage = config.main;
    return settings;
}

int RunGtkApp(const std::function<void(GtkHostSetup&)>& customize) {
    if (!IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY")) {
        std::fprintf(stderr,
                     "Lanternshell needs a graphical desktop, but neither DISPLAY nor "
                     "WAYLAND_DISPLAY is set.\n");
        return 1;
    }
    // The manifest always comes from beside the executable, never the
    // current directory: an executable that can't name its own path (one
    // run from memory or deleted) has no manifest.
    const std::wstring executable = GetExecutablePath();
    const std::wstring exeFolder = FolderOfPath(executable);
    // Before GTK starts any thread: the engine's processes inherit it.
    if (!executable.empty()) ExportMediaEnvironment(exeFolder, exeFolder + ContentFolderName);

    // The app takes no command line, so GTK is not shown one either.
    if (!gtk_init_check(nullptr, nullptr)) {
        std::fprintf(stderr, "Lanternshell could not open the graphical display.\n");
        return 1;
    }

    if (executable.empty()) return FailStartup(LoadFailedMessage, DefaultTitle);
    const std::string manifest = ReadManifest(exeFolder + L"package.json");
    if (manifest.empty()) return FailStartup(LoadFailedMessage, DefaultTitle);
    AppConfig config;
    try {
        ParseAppConfig(manifest, config);
    } catch (...) {
        return FailStartup(ParseFailedMessage, DefaultTitle);
    }

    // The log lives in the user data folder, so it can start only now.
    const std::wstring userDataFolder = UserDataFolder(config.name);
    DiagnosticsLog log;
    log.Open(userDataFolder);
    LogStart(log, executable, exeFolder, config);
    const int exitCode = RunHost(exeFolder, userDataFolder, config, log, customize);
    log.Write("exit code " + std::to_string(exitCode));
    return exitCode;
}
