#include "host/page_policy.h"

#include "platform/text.h"

bool IsAppOriginUri(std::wstring_view uri, std::wstring_view origin) {
    return uri.substr(0, origin.size()) == origin;
}

bool OpensInShell(std::wstring_view uri, std::wstring_view origin) {
    // Scheme and host are case-insensitive, so any spelling of the app
    // origin is still the app origin here.
    if (EqualsIgnoringAsciiCase(uri.substr(0, origin.size()), origin)) return false;
    for (const wchar_t unit : uri)
        if (unit < 0x20 || unit == 0x7F || unit == L'"') return false;
    const size_t colon = uri.find(L':');
    if (colon == std::wstring_view::npos) return false;
    const std::wstring_view scheme = uri.substr(0, colon + 1);
    for (const std::wstring_view allowed : {L"http:", L"https:", L"mailto:"})
        if (EqualsIgnoringAsciiCase(scheme, allowed)) return true;
    return false;
}
