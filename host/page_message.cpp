#include "host/page_message.h"

#include <nlohmann/json.hpp>

#include "platform/json_lookup.h"
#include "platform/text.h"

std::optional<bool> RequestedFullscreen(const std::wstring& text) {
    try {
        // Parsed as a C string, so whatever follows an embedded NUL is never
        // seen; strict: no comments, nothing but white space after the value.
        const std::string utf8 = WideToUtf8(text);
        const nlohmann::json message = nlohmann::json::parse(utf8.c_str());
        if (GetStringOr(message, "type", std::wstring()) != L"set-fullscreen") return std::nullopt;
        return GetBoolOr(message, "fullscreen", false);
    } catch (...) {
        // A page message that can't be read is dropped without a trace.
        return std::nullopt;
    }
}
