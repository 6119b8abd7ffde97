#include "app/gtk/startup.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtk/gtk.h>

#include "app/manifest.h"
#include "platform/text.h"
#include "platform/posix/native_path.h"
#include "server/content_server.h"
#include "server/router.h"

namespace {

const wchar_t* const LoadFailedMessage =
    L"Failed to load package.json. Check the file is in the same folder as the app.";
const wchar_t* const ParseFailedMessage =
    L"Failed to parse package.json. Check the file has valid JSON and that all parameters are "
    L"correct.";

// The start page is a file of www, or the window would only ever say "File
// not found".
std::wstring MissingStartPageMessage(const std::wstring& main) {
    return L"The start page \"" + main + L"\" named in package.json is not in the www folder.";
}

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
    // The app takes no command line, so GTK is not shown one either.
    if (!gtk_init_check(nullptr, nullptr)) {
        std::fprintf(stderr, "Lanternshell could not open the graphical display.\n");
        return 1;
    }

    // The manifest always comes from beside the executable, never the
    // current directory: an executable that can't name its own path (one
    // run from memory or deleted) has no manifest.
    const std::wstring executable = GetExecutablePath();
    if (executable.empty()) return FailStartup(LoadFailedMessage, DefaultTitle);
    const std::wstring exeFolder = FolderOfPath(executable);
    const std::string manifest = ReadManifest(exeFolder + L"package.json");
    if (manifest.empty()) return FailStartup(LoadFailedMessage, DefaultTitle);
    AppConfig config;
    try {
        ParseAppConfig(manifest, config);
    } catch (...) {
        return FailStartup(ParseFailedMessage, DefaultTitle);
    }

    ContentServer server(exeFolder + ContentFolderName);
    if (!NamesServedFile(server, config.main))
        return FailStartup(MissingStartPageMessage(config.main), config.title);
    GtkHost host;
    host.setup.settings = GtkHostSettingsOf(config, exeFolder);
    host.setup.server = &server;
    // Without XDG_DATA_HOME and HOME, GLib finds the home folder itself.
    std::wstring dataHome = GetLocalAppDataFolder();
    if (dataHome.empty()) dataHome = Utf8ToWide(g_get_user_data_dir());
    host.setup.dataFolder = ToNativePath(ComposeUserDataFolder(dataHome, config.name));
    if (customize) customize(host.setup);

    StartGtkHost(host);
    gtk_main();

    // Streams the engine still holds keep their own mappings alive.
    server.Mappings().ReleaseMappedViews();
    return host.exitCode;
}
