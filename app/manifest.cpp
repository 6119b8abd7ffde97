#include "app/manifest.h"

#include <cmath>
#include <limits>

#include <nlohmann/json.hpp>

#include "app/text.h"
#include "platform/folder_name.h"

AppConfig appConfig;

const wchar_t* const DefaultTitle = L"Windows Lanternshell";

namespace {

const wchar_t* const DefaultInstallMessage =
    L"This app requires the Microsoft Edge WebView2 runtime. It will be downloaded and "
    L"installed for you now.";
const wchar_t* const DefaultInstallFailedMessage =
    L"Failed to install the Microsoft Edge WebView2 runtime. Check that you have permission to "
    L"install it, and that your Internet connection is working. Run the app again to try again.";

const nlohmann::json* FindMember(const nlohmann::json& container, const char* key) {
    if (!container.is_object()) return nullptr;
    const auto found = container.find(key);
    return found == container.end() ? nullptr : &*found;
}

}  // namespace

std::wstring GetStringOr(const nlohmann::json& container, const char* key,
                         const std::wstring& fallback) {
    const auto* member = FindMember(container, key);
    if (!member || !member->is_string()) return fallback;
    return Utf8ToWide(member->get_ref<const std::string&>());
}

std::int32_t GetIntOr(const nlohmann::json& container, const char* key, std::int32_t fallback) {
    const auto* member = FindMember(container, key);
    if (!member) return fallback;
    if (member->is_number_unsigned())
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(member->get<std::uint64_t>()));
    if (member->is_number_integer())
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(member->get<std::int64_t>()));
    if (member->is_number_float()) {
        // Truncation toward zero; anything outside the 32-bit range (or NaN)
        // gives the integer indefinite value, as the processor's conversion does.
        const double value = std::trunc(member->get<double>());
        if (!(value >= -2147483648.0 && value <= 2147483647.0))
            return std::numeric_limits<std::int32_t>::min();
        return static_cast<std::int32_t>(value);
    }
    return fallback;
}

bool GetBoolOr(const nlohmann::json& container, const char* key, bool fallback) {
    const auto* member = FindMember(container, key);
    if (!member || !member->is_boolean()) return fallback;
    return member->get<bool>();
}

namespace {

void ReadAppConfig(const std::string& text, AppConfig& config) {
    // The text ends at its first NUL, as a C string would.
    nlohmann::json document = nlohmann::json::parse(text.c_str());

    // The name becomes the user data folder inside LocalAppData, where the
    // browser profile and the downloaded installer go: it must name exactly
    // one folder there, never a path that climbs out or a device.
    config.name = GetStringOr(document, "name", L"");
    if (!NamesOneFolder(config.name)) throw std::wstring(L"invalid name");
    config.main = GetStringOr(document, "main", L"index.html");

    const nlohmann::json& window = document["window"];
    config.title = GetStringOr(window, "title", DefaultTitle);
    config.width = GetIntOr(window, "width", 1024);
    config.height = GetIntOr(window, "height", 768);
    config.icon = GetStringOr(window, "icon", L"");
    config.resizable = GetBoolOr(window, "resizable", true);

    config.chromiumArgs = GetStringOr(document, "chromium-args", L"");

    const nlohmann::json& settings = document["settings"];
    const std::wstring mode = GetStringOr(settings, "distribution-mode", L"evergreen");
    if (mode == L"evergreen")
        config.distributionMode = DistributionMode::Evergreen;
    else if (mode == L"fixed")
        config.distributionMode = DistributionMode::Fixed;
    else
        throw std::wstring(L"invalid distribution mode");
    config.enableDevtools = GetBoolOr(settings, "enable-devtools", true);

    const nlohmann::json& messages = document["messages"];
    config.installWebView2Message =
        GetStringOr(messages, "install-webview2", DefaultInstallMessage);
    config.downloadingMessage = GetStringOr(messages, "downloading", L"Downloading...");
    config.installWebView2FailedMessage =
        GetStringOr(messages, "install-webview2-failed", DefaultInstallFailedMessage);
}

}  // namespace

void ParseAppConfig(const std::string& text, AppConfig& config) {
    try {
        ReadAppConfig(text, config);
    } catch (const nlohmann::json::exception&) {
        // Not only syntax: a number too large for a double (1e400) is the
        // library's out_of_range.
        throw std::wstring(L"invalid JSON");
    }
}
