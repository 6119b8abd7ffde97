#include "app/manifest.h"

#include <nlohmann/json.hpp>

#include "platform/folder_name.h"
#include "platform/json_lookup.h"

ManifestError ParseAppConfig(const std::string& text, AppConfig& config) {
    // The text ends at its first NUL, as a C string would. Not only syntax
    // fails: a number too large for a double (1e400) is out of range.
    const nlohmann::json document = nlohmann::json::parse(text.c_str(), nullptr, false);
    if (document.is_discarded()) return ManifestError::InvalidJson;
    const auto section = [&document](const char* key) -> const nlohmann::json& {
        static const nlohmann::json none;
        const auto found = document.find(key);
        return found == document.end() ? none : *found;
    };
    // Every value the manifest leaves out, or gives with the wrong type.
    const AppConfig defaults;

    // The name becomes the user data folder inside LocalAppData, where the
    // browser profile and the downloaded installer go: it must name exactly
    // one folder there, never a path that climbs out or a device.
    config.name = GetStringOr(document, "name", L"");
    if (!NamesOneFolder(config.name)) return ManifestError::InvalidName;
    config.main = GetStringOr(document, "main", defaults.main);

    const nlohmann::json& window = section("window");
    config.title = GetStringOr(window, "title", defaults.title);
    config.width = GetIntOr(window, "width", defaults.width);
    config.height = GetIntOr(window, "height", defaults.height);
    config.icon = GetStringOr(window, "icon", defaults.icon);
    config.resizable = GetBoolOr(window, "resizable", defaults.resizable);
    config.rememberWindow = GetBoolOr(window, "remember", defaults.rememberWindow);
    config.fullscreen = GetBoolOr(window, "fullscreen", defaults.fullscreen);

    config.chromiumArgs = GetStringOr(document, "chromium-args", defaults.chromiumArgs);

    const nlohmann::json& settings = section("settings");
    // No text there is the default mode; a text naming neither refuses the manifest.
    const std::wstring mode = GetStringOr(settings, "distribution-mode", L"evergreen");
    if (mode != L"evergreen" && mode != L"fixed") return ManifestError::InvalidDistributionMode;
    config.distributionMode =
        mode == L"fixed" ? DistributionMode::Fixed : DistributionMode::Evergreen;
    config.enableDevtools = GetBoolOr(settings, "enable-devtools", defaults.enableDevtools);
    config.singleInstance = GetBoolOr(settings, "single-instance", defaults.singleInstance);
    config.browserKeys = GetBoolOr(settings, "browser-keys", defaults.browserKeys);
    config.contextMenu = GetBoolOr(settings, "context-menu", defaults.contextMenu);
    config.autoplay = GetBoolOr(settings, "autoplay", defaults.autoplay);
    config.fullscreenKeys = GetBoolOr(settings, "fullscreen-keys", defaults.fullscreenKeys);

    const nlohmann::json& messages = section("messages");
    config.installWebView2Message =
        GetStringOr(messages, "install-webview2", defaults.installWebView2Message);
    config.downloadingMessage = GetStringOr(messages, "downloading", defaults.downloadingMessage);
    config.installWebView2FailedMessage =
        GetStringOr(messages, "install-webview2-failed", defaults.installWebView2FailedMessage);
    return ManifestError::None;
}
