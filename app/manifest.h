// The app manifest "package.json": the only configuration of the host.
#pragma once

#include <cstdint>
#include <string>

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
    bool singleInstance = true;  // settings.single-instance: a second start shows the first
    bool browserKeys = true;     // the browser's own shortcuts (reload, find, zoom...)
    bool contextMenu = true;     // the browser's context menu
    bool autoplay = false;       // media with sound may start without a click
    bool fullscreenKeys = true;  // F11 and Alt+Enter switch fullscreen
    std::wstring installWebView2Message =
        L"This app requires the Microsoft Edge WebView2 runtime. It will be downloaded and "
        L"installed for you now.";
    std::wstring downloadingMessage = L"Downloading...";
    std::wstring installWebView2FailedMessage =
        L"Failed to install the Microsoft Edge WebView2 runtime. Check that you have permission "
        L"to install it, and that your Internet connection is working. Run the app again to try "
        L"again.";
};

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
