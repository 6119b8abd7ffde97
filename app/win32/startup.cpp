#include "app/win32/startup.h"

#include <memory>

#include "app/manifest.h"
#include "app/startup.h"
#include "host/win32/browser_setup.h"
#include "host/win32/main_window.h"
#include "host/win32/window_placement.h"
#include "host/window_state.h"
#include "platform/diagnostics_log.h"
#include "platform/text.h"
#include "platform/win32/com_and_gdiplus.h"
#include "platform/win32/single_instance.h"
#include "platform/win32/webview2_loader.h"
#include "platform/win32/window.h"
#include "runtime/win32/browser_runtime.h"
#include "server/content_server.h"
#include "server/origin.h"

namespace {

RuntimeSettings RuntimeSettingsOf(const AppConfig& config, HICON icon, DiagnosticsLog& log) {
    RuntimeSettings settings;
    settings.distributionMode = config.distributionMode;
    settings.caption = config.title;
    settings.installMessage = config.installWebView2Message;
    settings.downloadingMessage = config.downloadingMessage;
    settings.installFailedMessage = config.installWebView2FailedMessage;
    settings.icon = icon;
    settings.log = &log;
    return settings;
}

// Everything after the start-page check.
int RunHost(const StartupInputs& inputs, const StartedApp& app) {
    const AppConfig& config = app.config;
    const GdiplusSession gdiplus;
    const HICON icon = LoadWindowIcon(app.exeFolder, config.icon);
    if (!config.icon.empty() && icon == LoadIconW(nullptr, IDI_APPLICATION))
        LogIconNotLoaded(app.log, config.icon, {});

    // The runtime check and the browser control both go through the loader
    // beside the executable, or the built-in one when there is none.
    LoadWebView2Loader(app.exeFolder);

    RuntimeSettings runtimeSettings = RuntimeSettingsOf(config, icon, app.log);
    runtimeSettings.exeFolder = app.exeFolder;
    const RuntimeCheck runtime = EnsureBrowserRuntime(inputs.instance, runtimeSettings,
                                                      app.userDataFolder, inputs.installerUrl);
    if (!runtime.usable) return 1;

    // Ends after the session and the engine, letting go of the window and
    // the control's objects before COM ends.
    Win32Host host;
    host.settings = HostSettingsOf(config, icon, &app.log);
    host.settings.pageServices = &app.pageServices;
    host.content = &app.content;
    if (!CreateMainWindow(inputs.instance, host)) return 1;
    // A second start finds this window by its mark.
    MarkInstanceWindow(host.window, app.userDataFolder);

    // Where the last run left the window, while it is still hidden; the
    // engine shows it so the first time.
    const std::optional<WindowRecord> saved =
        RememberedWindow(config.rememberWindow, app.userDataFolder, &app.log);
    const PlacementDecision placement = PlacementOf(saved, ListMonitorAreas(), config.width,
                                                    config.height, config.resizable, &app.log);
    ApplyPlacement(host.window, placement);
    const std::unique_ptr<Engine> engine = MakeWebView2Engine(host, placement);
    Session session(SessionSettingsOf(app, AppOrigin, WebView2EngineName, &SteadyMilliseconds),
                    *engine);
    host.session = &session;
    session.OnWindowCreated();
    host.firstBounds = FirstClientRect(host.window, placement);
    // Setup goes on in the control's completions once the loop runs. The
    // browser starts from the runtime the check settled on: the installed
    // one, or the relative "webview2" that the loader resolves itself.
    StartBrowser(host, runtime.browserExecutableFolder, app.userDataFolder);

    // The main window posts the quit message when it is destroyed.
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return session.ExitCode();
}

}  // namespace

Win32HostSettings HostSettingsOf(const AppConfig& config, HICON icon, DiagnosticsLog* log) {
    Win32HostSettings settings;
    settings.title = config.title;
    settings.width = config.width;
    settings.height = config.height;
    settings.resizable = config.resizable;
    settings.icon = icon;
    settings.arguments.manifestArguments = config.chromiumArgs;
    settings.arguments.autoplay = config.autoplay;
    // Any other text is the manifest check's warning and the default.
    settings.arguments.gpu =
        GpuPreferenceNamed(config.gpu).value_or(GpuPreference::HighPerformance);
    settings.arguments.background = BackgroundModeOf(config);
    settings.enableDevtools = config.enableDevtools;
    settings.browserKeys = config.browserKeys;
    settings.contextMenu = config.contextMenu;
    settings.pageLog = PageLogModeOf(config);
    settings.log = log;
    return settings;
}

int RunApp(const StartupInputs& inputs) {
    const ComApartment com;
    StartupPlatform platform;
    platform.executable = GetExecutablePath();
    platform.exeFolder = inputs.exeFolder;
    platform.userDataFolder = inputs.userDataFolder;
    platform.distributionModes = true;
    platform.savedGamesFolder = true;
    platform.showError = [](const std::wstring& text, const std::wstring& caption) {
        ShowMessageBox(text.c_str(), caption.c_str(), MB_ICONERROR);
    };
    platform.run = [&inputs](const StartedApp& app) { return RunHost(inputs, app); };
    return RunStartup(platform);
}
