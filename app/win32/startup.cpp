#include "app/win32/startup.h"

#include <cstdio>
#include <sys/stat.h>

#include "app/manifest.h"
#include "app/startup_messages.h"
#include "host/win32/browser_host.h"
#include "host/win32/main_window.h"
#include "platform/diagnostics_log.h"
#include "platform/text.h"
#include "platform/win32/builtin_loader.h"
#include "platform/win32/session.h"
#include "platform/win32/webview2_loader.h"
#include "platform/win32/window.h"
#include "runtime/win32/browser_runtime.h"
#include "server/content_server.h"
#include "server/router.h"

namespace {

// The manifest always comes from beside the executable, never the current
// directory. An unreadable or empty file gives an empty text.
std::string ReadManifest(const std::wstring& path) {
    std::string text;
    FILE* file = nullptr;
    if (_wfopen_s(&file, path.c_str(), L"rbS") != 0 || !file) return text;
    struct _stat64 status {};
    if (_wstat64(path.c_str(), &status) == 0 && status.st_size > 0) {
        text.assign(static_cast<size_t>(status.st_size), '\0');
        text.resize(fread(text.data(), 1, text.size(), file));
    }
    fclose(file);
    return text;
}

int FailStartup(const wchar_t* text) {
    ShowMessageBox(text, DefaultTitle, MB_ICONERROR);
    return 1;
}

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

BrowserSettings BrowserSettingsOf(const AppConfig& config, DiagnosticsLog& log) {
    BrowserSettings settings;
    settings.additionalArguments = config.chromiumArgs;
    settings.enableDevtools = config.enableDevtools;
    settings.startPage = config.main;
    settings.failureCaption = config.title;
    settings.log = &log;
    return settings;
}

std::string Quoted(const std::wstring& text) {
    return "\"" + WideToUtf8(text) + "\"";
}

void LogStart(DiagnosticsLog& log, const StartupInputs& inputs, const AppConfig& config) {
    const std::wstring executable = GetExecutablePath();
    const std::wstring version = FileVersionOf(executable);
    log.Write("Lanternshell " +
              (version.empty() ? std::string("(no version)") : WideToUtf8(version)) +
              " started: " + Quoted(executable) + " in " + Quoted(inputs.exeFolder));
    log.Write("manifest: name " + Quoted(config.name) + ", distribution mode " +
              (config.distributionMode == DistributionMode::Fixed ? "fixed" : "evergreen") +
              ", start page " + Quoted(config.main));
}

// Everything after the manifest, with the log open (or not: it never stops
// the app).
int RunHost(const StartupInputs& inputs, const AppConfig& config,
            const std::wstring& userDataFolder, DiagnosticsLog& log) {
    const GdiplusSession gdiplus;
    const HICON icon = LoadWindowIcon(inputs.exeFolder, config.icon);
    if (!config.icon.empty() && icon == LoadIconW(nullptr, IDI_APPLICATION))
        log.Write("failed: loading the window icon " + Quoted(config.icon) +
                  ": the standard icon is used");

    ContentServer content(inputs.exeFolder + ContentFolderName, &log);
    if (!NamesServedFile(content, config.main)) {
        log.Write("failed: the start page " + Quoted(config.main) + " is not in the www folder");
        ShowMessageBox(MissingStartPageMessage(config.main).c_str(), config.title.c_str(),
                       MB_ICONERROR);
        return 1;
    }

    // The runtime check and the browser control both go through the loader
    // beside the executable, or the built-in one when there is none.
    LoadWebView2Loader(inputs.exeFolder);

    RuntimeSettings runtimeSettings = RuntimeSettingsOf(config, icon, log);
    runtimeSettings.exeFolder = inputs.exeFolder;
    const RuntimeCheck runtime =
        EnsureBrowserRuntime(inputs.instance, runtimeSettings, userDataFolder, inputs.installerUrl);
    if (!runtime.usable) return 1;

    MainWindowSettings window = MainWindowSettingsOf(config, icon);
    window.log = &log;
    if (!CreateMainWindow(inputs.instance, window)) return 1;

    // Setup goes on in the control's completions once the loop runs; a
    // failure there ends the loop with exit code 1. The browser starts from
    // the runtime the check settled on: the installed one, or the relative
    // "webview2" that the loader resolves itself.
    ComPtr<ICoreWebView2EnvironmentOptions> options = StartBrowserEnvironment(
        runtime.browserExecutableFolder, userDataFolder, BrowserSettingsOf(config, log), content);

    // The main window posts the quit message with 0 when it is destroyed.
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }

    // Streams the browser control still holds keep their own mappings alive.
    content.Mappings().ReleaseMappedViews();
    options.Reset();
    ReleaseBrowserHost();
    return static_cast<int>(message.wParam);
}

}  // namespace

MainWindowSettings MainWindowSettingsOf(const AppConfig& config, HICON icon) {
    MainWindowSettings settings;
    settings.title = config.title;
    settings.width = config.width;
    settings.height = config.height;
    settings.resizable = config.resizable;
    settings.icon = icon;
    // The window's own failures are told before its title is trusted.
    settings.failureCaption = DefaultTitle;
    return settings;
}

int RunApp(const StartupInputs& inputs) {
    const ComApartment com;

    const std::string manifest = ReadManifest(inputs.exeFolder + L"package.json");
    if (manifest.empty()) return FailStartup(LoadFailedMessage);
    AppConfig config;
    try {
        ParseAppConfig(manifest, config);
    } catch (...) {
        return FailStartup(ParseFailedMessage);
    }

    const std::wstring userDataFolder =
        inputs.userDataFolder.empty() ? ComposeUserDataFolder(GetLocalAppDataFolder(), config.name)
                                      : inputs.userDataFolder;

    // The log lives in the user data folder, so it can start only now.
    DiagnosticsLog log;
    log.Open(userDataFolder);
    LogStart(log, inputs, config);
    const int exitCode = RunHost(inputs, config, userDataFolder, log);
    log.Write("exit code " + std::to_string(exitCode));
    return exitCode;
}
