// The app manifest "package.json": the only configuration of the host.
#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json_fwd.hpp>

#ifdef _WIN32
#include <windows.h>
using IconHandle = HICON;
#else
using IconHandle = void*;
#endif

enum class DistributionMode : std::int32_t { Evergreen = 0, Fixed = 1 };

struct AppConfig {
    std::wstring name;
    std::wstring main;
    std::wstring title;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::wstring icon;
    IconHandle iconHandle = nullptr;
    bool resizable = false;
    std::wstring chromiumArgs;
    DistributionMode distributionMode = DistributionMode::Evergreen;
    bool enableDevtools = false;
    std::wstring installWebView2Message;
    std::wstring downloadingMessage;
    std::wstring installWebView2FailedMessage;
};

extern AppConfig appConfig;

// The caption of the boxes shown before the manifest's own title is known,
// and the default window title.
extern const wchar_t* const DefaultTitle;

// Lookups with a fallback: they never fail; a missing member, a member of the
// wrong type or a container that is not an object yields the fallback.
std::wstring GetStringOr(const nlohmann::json& container, const char* key,
                         const std::wstring& fallback);
std::int32_t GetIntOr(const nlohmann::json& container, const char* key, std::int32_t fallback);
bool GetBoolOr(const nlohmann::json& container, const char* key, bool fallback);

// Fills config from the manifest text, or throws a std::wstring: "invalid
// JSON" for any error of the JSON library (syntax, a number out of range),
// "invalid name" for a name that is missing or does not name exactly one
// folder inside LocalAppData (NamesOneFolder), "invalid distribution mode".
void ParseAppConfig(const std::string& text, AppConfig& config);
