// The app manifest "package.json": the only configuration of the host.
#pragma once

#include <cstdint>
#include <string>
#include <cstddef>
#include <variant>

#include <nlohmann/json_fwd.hpp>

#include "platform/text.h"
#include "runtime/distribution_mode.h"

// What the manifest says; a value-initialised AppConfig holds the defaults of
// a manifest that gives nothing but its name.
struct AppConfig {
    std::wstring name;
    std::wstring main = L"index.html";
    std::wstring title = DefaultTitle;
    std::int32_t width = 1024;
    std::int32_t height = 768;
    std::wstring icon;
    bool resizable = true;
    bool rememberWindow = false;  // window.remember: restore the window's place and size
    bool fullscreen = false;      // window.fullscreen: starts fullscreen
    std::wstring chromiumArgs;
    DistributionMode distributionMode = DistributionMode::Evergreen;
    bool enableDevtools = true;
    bool singleInstance = true;        // settings.single-instance: a second start shows the first
    bool browserKeys = true;           // the browser's own shortcuts (reload, find, zoom...)
    bool contextMenu = true;           // the browser's context menu
    bool autoplay = false;             // media with sound may start without a click
    bool fullscreenKeys = true;        // F11 and Alt+Enter switch fullscreen
    std::wstring pageLog = L"errors";  // settings.page-log: errors, all or off
    std::wstring gpu = L"high-performance";   // settings.gpu: high-performance or default
    std::wstring background = L"throttle";    // settings.background: throttle or run
    std::wstring savesFolder = L"user-data";  // saves.folder: user-data or saved-games
    bool mirrorLocalStorage = false;          // saves.mirror-local-storage
    std::int32_t steamAppId = 0;              // steam.app-id: Steam is on when positive
    bool restartThroughSteam = true;          // steam.restart-through-steam
    std::wstring installWebView2Message =
        L"This app requires the Microsoft Edge WebView2 runtime. It will be downloaded and "
        L"installed for you now.";
    std::wstring downloadingMessage = L"Downloading...";
    std::wstring installWebView2FailedMessage =
        L"Failed to install the Microsoft Edge WebView2 runtime. Check that you have permission "
        L"to install it, and that your Internet connection is working. Run the app again to try "
        L"again.";
    // What the pack tool brands a copy of the executable with; the host
    // itself reads none of them.
    std::wstring version;         // up to four numbers separated by dots
    std::wstring packExecutable;  // pack.executable: the packed executable's file name
    std::wstring packCompany;     // pack.company
    std::wstring packCopyright;   // pack.copyright
};

// Where a key's value goes; which member type it names is the value's type:
// a text, an integer (any JSON number, truncated), a flag, or a text that
// must name a distribution mode.
using ManifestTarget = std::variant<std::wstring AppConfig::*, std::int32_t AppConfig::*,
                                    bool AppConfig::*, DistributionMode AppConfig::*>;

// What a key's value must be beyond its type.
enum class ManifestRule {
    None,
    FolderName,  // required: it names the data folder, so NamesOneFolder
    Version,     // VersionNumbers reads it; only the check says when it doesn't
    FileName,    // one file name (the folder-name rules); only the check says when it isn't
    OneOf,       // one of the key's choices; any other text takes the default
};

// One key of the manifest. Every key is one row of ManifestKeys, from which
// both ParseAppConfig and the check are made, so they can't disagree; its
// default is the value of a default AppConfig.
struct ManifestKey {
    const char* path;  // "name", or a section's key after the section: "window.title"
    ManifestTarget target;
    ManifestRule rule = ManifestRule::None;
    const char* choices = nullptr;  // OneOf: the texts allowed, separated by "|"
};

// Whether text is one of a OneOf key's choices.
bool IsManifestChoice(const ManifestKey& key, const std::string& text);

// The rows, in the order the host reads them.
struct ManifestKeyTable {
    const ManifestKey* first;
    std::size_t count;
    const ManifestKey* begin() const { return first; }
    const ManifestKey* end() const { return first + count; }
};
ManifestKeyTable ManifestKeys();

// The value at key.path in a parsed manifest, or null when it (or its
// section) is missing or its section is not an object.
const nlohmann::json* FindManifestValue(const nlohmann::json& document, const ManifestKey& key);

// The manifest text as JSON, read as the host reads it (to its first NUL);
// a discarded value when it is not JSON.
nlohmann::json ReadManifestJson(const std::string& text);

// Whether value has the key's type, so the host reads it rather than
// taking the default.
bool FitsManifestType(const nlohmann::json& value, const ManifestKey& key);

// "1.2.3" as {1, 2, 3, 0}: one to four decimal numbers from 0 to 65535
// separated by dots, nothing else. False for any other text.
bool VersionNumbers(const std::wstring& text, std::uint16_t (&numbers)[4]);

// Which rule a manifest breaks.
enum class ManifestError {
    None,
    InvalidJson,              // any error of the JSON reader: syntax, a number out of range
    InvalidName,              // missing, or not exactly one folder inside the data folder
    InvalidDistributionMode,  // a text other than "evergreen" or "fixed"
};

// Fills config from the manifest text, or says which rule the text breaks;
// config is then left partly filled. Never throws.
ManifestError ParseAppConfig(const std::string& text, AppConfig& config);
