// The startup sequence both platforms share: the manifest beside the
// executable, the data folder, the log's first lines, the start-page check,
// the platform's run and the exit line. What differs is handed in.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/browser_arguments.h"
#include "host/page_scripts.h"
#include "host/session.h"

struct AppConfig;
class ContentServer;
class DiagnosticsLog;
class InstanceLock;
class SteamService;
class SaveStore;

// What the platform's own part of the run is given: all of it lives until
// the run returns.
struct StartedApp {
    const AppConfig& config;
    const std::wstring& exeFolder;       // with its trailing backslash
    const std::wstring& userDataFolder;  // exists, or the log says it could not be made
    ContentServer& content;              // serves www beside the executable
    DiagnosticsLog& log;
    // Held by this instance of the app (or not made at all, which the log
    // has said) until the run returns.
    const InstanceLock& instance;
    SaveStore& saves;  // the page's save files, in the folder the manifest chose
    // The members of window.lanternshell the host adds to the app's page.
    const std::vector<PageService>& pageServices;
    // Steam for the page, started when the manifest names a Steam app; else null.
    SteamService* steam;
};

struct StartupPlatform {
    // The executable's full path, for the log; exeFolder is where package.json,
    // www and the icon are looked for. An empty exeFolder means the
    // executable can't tell where it is: there is no manifest then.
    std::wstring executable;
    std::wstring exeFolder;
    // The app's data folder; empty for GetUserDataHome() + "\\" + name.
    std::wstring userDataFolder;
    // Whether the manifest's distribution mode means anything here (the log
    // names it then).
    bool distributionModes = false;
    // Whether the system has a "Saved Games" folder: where it can't be found
    // the log says so.
    bool savedGamesFolder = false;
    // A last line for the log's start (the engine and its version); may be
    // empty.
    std::string engineLine;
    // Shows a startup failure: the error icon, no owner, OK.
    std::function<void(const std::wstring& text, const std::wstring& caption)> showError;
    // The rest of the run: runtime, window, engine and the main loop; the
    // exit code.
    std::function<int(const StartedApp& app)> run;
};

// Runs the app and returns the process's exit code: 1 after a failure that
// has been shown, 0 when the app runs already (it is asked to come to the
// front, and nothing else is touched), else the run's.
int RunStartup(const StartupPlatform& platform);

// The session's settings from the manifest, for an engine serving origin.
SessionSettings SessionSettingsOf(const StartedApp& app, const wchar_t* origin,
                                  const wchar_t* engineName, SteadyClock clock);
// The manifest's settings.page-log, for the session and the host's script,
// and settings.background; a text they don't name takes the default.
PageLogMode PageLogModeOf(const AppConfig& config);
BackgroundMode BackgroundModeOf(const AppConfig& config);
