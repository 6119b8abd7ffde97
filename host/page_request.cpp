#include "host/page_request.h"

#include "platform/json_lookup.h"
#include "platform/text.h"

std::optional<PageRequest> ReadPageRequest(const std::wstring& text) {
    nlohmann::json document = ParseJson(WideToUtf8(text));
    if (!document.is_object()) return std::nullopt;
    const auto type = document.find("type");
    const auto id = document.find("id");
    if (type == document.end() || !type->is_string() ||
        type->get_ref<const std::string&>().find('.') == std::string::npos)
        return std::nullopt;
    if (id == document.end() || !(id->is_number() || id->is_string())) return std::nullopt;
    PageRequest request{type->get_ref<const std::string&>(), *id, {}};
    request.fields = std::move(document);
    return request;
}
