#include "host/page_message.h"

#include <nlohmann/json.hpp>

#include "platform/json_lookup.h"
#include "platform/text.h"

PageMessage ReadPageMessage(const std::wstring& text) {
    PageMessage message;
    // Parsed as a C string, so whatever follows an embedded NUL is never
    // seen; strict: no comments, nothing but white space after the value.
    const nlohmann::json document = ParseJson(WideToUtf8(text));
    // A page message that can't be read is dropped without a trace.
    if (document.is_discarded()) return message;
    const std::wstring type = GetStringOr(document, "type", std::wstring());
    if (type == L"set-fullscreen") {
        message.type = PageMessage::Type::SetFullscreen;
        message.fullscreen = GetBoolOr(document, "fullscreen", false);
    } else if (type == L"close") {
        message.type = PageMessage::Type::Close;
    }
    return message;
}
