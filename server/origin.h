// The origin every app file is served under on Windows. It never changes
// between releases, so what the page stores under it survives updates.
#pragma once

#include <string_view>

constexpr wchar_t AppOrigin[] = L"https://lanternshell.localhost/";

// What follows origin in uri: the path the router reads. A uri outside the
// origin leaves nothing, which the router answers with 404.
inline std::wstring_view PathUnderOrigin(std::wstring_view uri, std::wstring_view origin) {
    return uri.substr(0, origin.size()) == origin ? uri.substr(origin.size()) : std::wstring_view();
}
