#include "app/startup.h"

#include <cstdint>
#include <optional>

#include "app/manifest.h"
#include "app/manifest_check.h"
#include "host/steam.h"
#include "host/save_files.h"
#include "platform/diagnostics_log.h"
#include "platform/files.h"
#include "platform/single_instance.h"
#include "platform/text.h"
#include "server/content_server.h"
#include "server/router.h"
#include "version.h"

namespace {

const wchar_t* const LoadFailedMessage =
    L"Failed to load package.json. Check the file is in the same folder as the app.";
const wchar_t* const ParseFailedMessage =
    L"Failed to parse package.json. Check the file has valid JSON and that all parameters are "
    L"correct.";

void LogStart(DiagnosticsLog& log, const StartupPlatform& platform, const AppConfig& config) {
    log.Write(
        "Lanternshell " LS_VERSION_TEXT " started: " + Quoted(PathForDisplay(platform.executable)) +
        " in " + Quoted(PathForDisplay(platform.exeFolder)));
    std::string manifest = "manifest: name " + Quoted(config.name);
    if (platform.distributionModes)
        manifest += std::string(", distribution mode ") +
                    (config.distributionMode == DistributionMode::Fixed ? "fixed" : "evergreen");
    log.Write(manifest + ", start page " + Quoted(config.main));
    if (!platform.engineLine.empty()) log.Write(platform.engineLine);
}

// The saves folder the manifest chose, named in the log.
std::wstring ChooseSavesFolder(const StartupPlatform& platform, const AppConfig& config,
                               const std::wstring& userDataFolder, DiagnosticsLog& log) {
    const bool savedGames = config.savesFolder == L"saved-games";
    const std::wstring home = savedGames ? GetSavedGamesHome() : std::wstring();
    const std::wstring folder =
        SavesFolder(userDataFolder, savedGames ? SavesPlace::SavedGames : SavesPlace::UserData,
                    home, config.name);
    if (savedGames && home.empty() && platform.savedGamesFolder)
        log.Write("failed: finding the Saved Games folder: the saves stay in the user data folder");
    log.Write("saves: " + Quoted(PathForDisplay(folder)) +
              (config.mirrorLocalStorage ? ", local storage mirrored there" : ""));
    return folder;
}

}  // namespace

SessionSettings SessionSettingsOf(const StartedApp& app, const wchar_t* origin,
                                  const wchar_t* engineName, SteadyClock clock) {
    SessionSettings settings;
    settings.origin = origin;
    settings.startPage = app.config.main;
    settings.caption = app.config.title;
    settings.engineName = engineName;
    settings.log = &app.log;
    settings.clock = clock;
    settings.dataFolder = app.userDataFolder;
    settings.rememberWindow = app.config.rememberWindow;
    settings.fullscreenKeys = app.config.fullscreenKeys;
    settings.startFullscreen = app.config.fullscreen;
    settings.pageLog = PageLogModeOf(app.config);
    settings.saves = &app.saves;
    settings.steam = app.steam;
    return settings;
}

// Any other text is the manifest check's warning and the default.
PageLogMode PageLogModeOf(const AppConfig& config) {
    return PageLogModeNamed(config.pageLog).value_or(PageLogMode::Errors);
}

BackgroundMode BackgroundModeOf(const AppConfig& config) {
    return BackgroundModeNamed(config.background).value_or(BackgroundMode::Throttle);
}

int RunStartup(const StartupPlatform& platform) {
    const auto fail = [&platform](const std::wstring& text, const std::wstring& caption) {
        platform.showError(text, caption);
        return 1;
    };
    // The manifest always comes from beside the executable, never the
    // current directory.
    const std::string manifest = platform.exeFolder.empty()
                                     ? std::string()
                                     : ReadWholeFile(platform.exeFolder + L"package.json");
    if (manifest.empty()) return fail(LoadFailedMessage, DefaultTitle);
    AppConfig config;
    if (ParseAppConfig(manifest, config) != ManifestError::None)
        return fail(ParseFailedMessage, DefaultTitle);

    std::wstring userDataFolder = platform.userDataFolder;
    if (userDataFolder.empty()) {
        // A new account may not have the data home yet.
        const std::wstring dataHome = GetUserDataHome();
        CreateFolderTree(dataHome);
        userDataFolder = ComposeUserDataFolder(dataHome, config.name);
    }

    // The log lives in the user data folder, which only the instance that
    // runs may touch: until then it holds its lines.
    DiagnosticsLog log;
    log.HoldUntilOpen();
    LogStart(log, platform, config);
    // The manifest's mistakes the host survives by taking a default, so a
    // player's log shows them to the author.
    for (const ManifestFinding& finding : CheckManifestKeys(manifest))
        log.Write("manifest: " + DescribeFinding(finding));

    // Steam first: when it starts the game anew, this start ends before
    // anything else begins.
    std::optional<SteamService> steam;
    if (config.steamAppId > 0) {
        steam.emplace(&log, nullptr);
        if (steam->Start(platform.exeFolder, static_cast<std::uint32_t>(config.steamAppId),
                         config.restartThroughSteam) == SteamStart::Relaunch) {
            log.Open(userDataFolder);
            log.Write("exit code 0");
            return 0;
        }
    }

    // A second start of the same app shows the first and touches nothing:
    // two instances would be two writers of one profile, and of its saves.
    InstanceLock instance;
    std::string instanceProblem;
    if (config.singleInstance && !instance.Claim(userDataFolder, instanceProblem)) {
        AskRunningInstanceToPresent(userDataFolder, 1000);
        return 0;
    }
    log.Open(userDataFolder);
    if (!instanceProblem.empty()) log.Write(instanceProblem);

    int exitCode = 1;
    ContentServer content(platform.exeFolder + ContentFolderName, &log);
    // A start page outside www would only ever show "File not found".
    if (!NamesServedFile(content, config.main)) {
        log.Write("failed: the start page " + Quoted(config.main) + " is not in the www folder");
        fail(L"The start page \"" + config.main +
                 L"\" named in package.json is not in the www folder.",
             config.title);
    } else {
        SaveStore saves(ChooseSavesFolder(platform, config, userDataFolder, log),
                        config.mirrorLocalStorage, &log);
        std::vector<PageService> pageServices{SavesService()};
        // Read once, before the first page restores from it.
        if (config.mirrorLocalStorage)
            pageServices.push_back(LocalStorageMirrorService(saves.ReadMirror()));
        if (steam) pageServices.push_back(SteamPageService(steam->PageState()));
        exitCode = platform.run({config, platform.exeFolder, userDataFolder, content, log, instance,
                                 saves, pageServices, steam ? &*steam : nullptr});
        // Streams the engine still holds keep their own mappings alive.
        content.Mappings().ReleaseMappedViews();
    }
    // Where the run ended without its quit sequence.
    if (steam) steam->Shutdown();
    log.Write("exit code " + std::to_string(exitCode));
    return exitCode;
}
