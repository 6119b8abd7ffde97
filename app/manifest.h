// The app manifest "package.json": the only configuration of the host.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/distribution_mode.h"

// The caption of the boxes shown before the manifest's own title is known,
// and the default window title.
extern const wchar_t* const DefaultTitle;
// The runtime texts of a manifest that gives none.
extern const wchar_t* const DefaultInstallMessage;
extern const wchar_t* const DefaultInstallFailedMessage;

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
    bool fullscreen = false;  // starts fullscreen
    std::wstring chromiumArgs;
    DistributionMode distributionMode = DistributionMode::Evergreen;
    bool enableDevtools = true;
    bool browserKeys = true;     // the browser's own shortcuts (reload, find, zoom...)
    bool contextMenu = true;     // the browser's context menu
    bool autoplay = false;       // media with sound may start without a click
    bool fullscreenKeys = true;  // F11 and Alt+Enter switch fullscreen
    std::wstring installWebView2Message = DefaultInstallMessage;
    std::wstring downloadingMessage = L"Downloading...";
    std::wstring installWebView2FailedMessage = DefaultInstallFailedMessage;
};

// Fills config from the manifest text, or throws a std::wstring: "invalid
// JSON" for any error of the JSON library (syntax, a number out of range),
// "invalid name" for a name that is missing or does not name exactly one
// folder inside LocalAppData (NamesOneFolder), "invalid distribution mode".
void ParseAppConfig(const std::string& text, AppConfig& config);
