#include "app/manifest.h"

#include <cstring>

#include <nlohmann/json.hpp>

#include "platform/folder_name.h"
#include "platform/json_lookup.h"

ManifestKeyTable ManifestKeys() {
    using A = AppConfig;
    static const ManifestKey keys[] = {
        {"name", &A::name, ManifestRule::FolderName},
        {"main", &A::main},
        {"version", &A::version, ManifestRule::Version},
        {"window.title", &A::title},
        {"window.width", &A::width},
        {"window.height", &A::height},
        {"window.icon", &A::icon},
        {"window.resizable", &A::resizable},
        {"window.remember", &A::rememberWindow},
        {"window.fullscreen", &A::fullscreen},
        {"chromium-args", &A::chromiumArgs},
        {"settings.distribution-mode", &A::distributionMode},
        {"settings.enable-devtools", &A::enableDevtools},
        {"settings.single-instance", &A::singleInstance},
        {"settings.browser-keys", &A::browserKeys},
        {"settings.context-menu", &A::contextMenu},
        {"settings.autoplay", &A::autoplay},
        {"settings.fullscreen-keys", &A::fullscreenKeys},
        {"settings.page-log", &A::pageLog, ManifestRule::OneOf, "errors|all|off"},
        {"settings.gpu", &A::gpu, ManifestRule::OneOf, "high-performance|default"},
        {"settings.background", &A::background, ManifestRule::OneOf, "throttle|run"},
        {"saves.folder", &A::savesFolder, ManifestRule::OneOf, "user-data|saved-games"},
        {"saves.mirror-local-storage", &A::mirrorLocalStorage},
        {"steam.app-id", &A::steamAppId},
        {"steam.restart-through-steam", &A::restartThroughSteam},
        {"messages.install-webview2", &A::installWebView2Message},
        {"messages.downloading", &A::downloadingMessage},
        {"messages.install-webview2-failed", &A::installWebView2FailedMessage},
        {"pack.executable", &A::packExecutable, ManifestRule::FileName},
        {"pack.company", &A::packCompany},
        {"pack.copyright", &A::packCopyright},
    };
    return {keys, sizeof keys / sizeof keys[0]};
}

const nlohmann::json* FindManifestValue(const nlohmann::json& document, const ManifestKey& key) {
    const nlohmann::json* container = &document;
    const char* name = key.path;
    if (const char* dot = std::strchr(key.path, '.')) {
        if (!document.is_object()) return nullptr;
        const auto section = document.find(std::string(key.path, dot));
        if (section == document.end()) return nullptr;
        container = &*section;
        name = dot + 1;
    }
    if (!container->is_object()) return nullptr;
    const auto found = container->find(name);
    return found == container->end() ? nullptr : &*found;
}

bool FitsManifestType(const nlohmann::json& value, const ManifestKey& key) {
    switch (key.target.index()) {
        case 1:
            return value.is_number();
        case 2:
            return value.is_boolean();
        default:
            return value.is_string();
    }
}

bool VersionNumbers(const std::wstring& text, std::uint16_t (&numbers)[4]) {
    size_t count = 0;
    std::uint32_t value = 0;
    bool digits = false;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == L'.') {
            if (!digits || count == 4) return false;
            numbers[count++] = static_cast<std::uint16_t>(value);
            value = 0;
            digits = false;
        } else if (text[i] >= L'0' && text[i] <= L'9') {
            value = value * 10 + static_cast<std::uint32_t>(text[i] - L'0');
            if (value > 65535) return false;
            digits = true;
        } else {
            return false;
        }
    }
    for (size_t i = count; i < 4; ++i) numbers[i] = 0;
    return true;
}

bool IsManifestChoice(const ManifestKey& key, const std::string& text) {
    for (const char* choice = key.choices; choice && *choice;) {
        const char* end = std::strchr(choice, '|');
        const size_t length = end ? static_cast<size_t>(end - choice) : std::strlen(choice);
        if (text.size() == length && text.compare(0, length, choice, length) == 0) return true;
        choice += length + (end ? 1 : 0);
    }
    return false;
}

nlohmann::json ReadManifestJson(const std::string& text) {
    // The text ends at its first NUL, as a C string would. Not only syntax
    // fails: a number too large for a double (1e400) is out of range.
    return nlohmann::json::parse(text.c_str(), nullptr, false);
}

ManifestError ParseAppConfig(const std::string& text, AppConfig& config) {
    const nlohmann::json document = ReadManifestJson(text);
    if (document.is_discarded()) return ManifestError::InvalidJson;
    // Every value the manifest leaves out, or gives with the wrong type.
    const AppConfig defaults;
    config = defaults;
    for (const ManifestKey& key : ManifestKeys()) {
        const nlohmann::json* value = FindManifestValue(document, key);
        if (value && !FitsManifestType(*value, key)) value = nullptr;
        if (value && key.rule == ManifestRule::OneOf &&
            !IsManifestChoice(key, value->get_ref<const std::string&>()))
            value = nullptr;
        if (const auto* text = std::get_if<std::wstring AppConfig::*>(&key.target)) {
            if (value) config.*(*text) = Utf8ToWide(value->get_ref<const std::string&>());
        } else if (const auto* number = std::get_if<std::int32_t AppConfig::*>(&key.target)) {
            if (value) config.*(*number) = NumberToInt32(*value);
        } else if (const auto* flag = std::get_if<bool AppConfig::*>(&key.target)) {
            if (value) config.*(*flag) = value->get<bool>();
        } else if (value) {
            // A text naming neither mode refuses the manifest.
            const std::string& mode = value->get_ref<const std::string&>();
            if (mode != "evergreen" && mode != "fixed")
                return ManifestError::InvalidDistributionMode;
            config.distributionMode =
                mode == "fixed" ? DistributionMode::Fixed : DistributionMode::Evergreen;
        }
        // The name becomes the user data folder, where the browser profile
        // and the downloaded installer go: it must name exactly one folder
        // there, never a path that climbs out or a device.
        if (key.rule == ManifestRule::FolderName &&
            !NamesOneFolder(config.*std::get<0>(key.target)))
            return ManifestError::InvalidName;
    }
    return ManifestError::None;
}
