#include "host/page_request.h"

#include "platform/text.h"

std::optional<PageRequest> ReadPageRequest(const std::wstring& text) {
    const std::string utf8 = WideToUtf8(text);
    nlohmann::json document = nlohmann::json::parse(utf8.c_str(), nullptr, false);
    if (!document.is_object()) return std::nullopt;
    const auto type = document.find("type");
    const auto id = document.find("id");
    if (type == document.end() || !type->is_string() ||
        type->get_ref<const std::string&>().find('.') == std::string::npos)
        return std::nullopt;
    if (id == document.end() || !(id->is_number() || id->is_string())) return std::nullopt;
    PageRequest request{*type, *id, {}};
    request.fields = std::move(document);
    return request;
}
