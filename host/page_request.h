// The page's requests to the host and their replies. The page posts
// {"type":"<service>.<call>","id":ID,...} as a string, like every page
// message; the host answers each with exactly one reply object, posted to
// the page as JSON:
//   {"type":"lanternshell-reply","id":ID,"ok":true,"value":VALUE}
//   {"type":"lanternshell-reply","id":ID,"ok":false,"error":"why"}
// and tells the page of its own events as
//   {"type":"lanternshell-event","name":NAME,"detail":DETAIL}
// which the page's script raises as the window event "lanternshell-NAME".
#pragma once

#include <optional>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/json_lookup.h"

// A request the page posted: its type ("saves.write"), the id its reply
// carries back, and the whole object, for the members of the service's own.
struct PageRequest {
    std::string type;
    nlohmann::json id;
    nlohmann::json fields;
};

// The request a page message holds: a JSON object whose type is a string
// with a "." in it and whose id is a number or a string. Anything else is
// no request (read up to the text's first U+0000, as every page message).
std::optional<PageRequest> ReadPageRequest(const std::wstring& text);

// What a request is answered with: the value its promise resolves to, or the
// reason it is refused, which becomes the message of the Error it rejects with.
struct PageAnswer {
    bool ok = true;
    nlohmann::json value;
    std::string error;

    static PageAnswer Value(nlohmann::json value) { return {true, std::move(value), {}}; }
    static PageAnswer Refused(std::string why) { return {false, nullptr, std::move(why)}; }
};

// The reply to the request with this id, as the text the host posts.
// Members in name order; a save's text that is not UTF-8 has U+FFFD.
inline std::string PageReplyJson(const nlohmann::json& id, const PageAnswer& answer) {
    const std::string type = ",\"type\":\"lanternshell-reply\"";
    const std::string idText = "\"id\":" + JsonText(id);
    if (!answer.ok)
        return "{\"error\":" + JsonText(answer.error) + "," + idText + ",\"ok\":false" + type + "}";
    return "{" + idText + ",\"ok\":true" + type + ",\"value\":" + JsonText(answer.value) + "}";
}

// An event of the host's for the page, as the text the host posts.
inline std::string PageEventJson(const std::string& name, const nlohmann::json& detail) {
    return "{\"detail\":" + JsonText(detail) + ",\"name\":" + JsonText(name) +
           ",\"type\":\"lanternshell-event\"}";
}
