#include "host/page_scripts.h"

namespace {

// The origin as a script's string literal; the origins are the hosts' own
// constants, but a quote or backslash would still be kept as text.
std::wstring ScriptString(std::wstring_view text) {
    std::wstring out = L"'";
    for (const wchar_t c : text) {
        if (c == L'\'' || c == L'\\') out += L'\\';
        out += c;
    }
    return out + L"'";
}

}  // namespace

std::wstring CloseScript(std::wstring_view origin) {
    // location.origin has no final slash; the origin given has one.
    return L"(() => {\n"
           L"    if (window !== window.top || location.origin + '/' !== " +
           ScriptString(origin) +
           L") return;\n"
           L"    const webview = window.chrome && window.chrome.webview;\n"
           L"    if (!webview) return;\n"
           L"    const post = webview.postMessage.bind(webview);\n"
           L"    window.close = function close() { post('{\"type\":\"close\"}'); };\n"
           L"})();";
}
