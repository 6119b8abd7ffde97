// Recording stand-ins for the browser control's objects, for the tests of
// the host's handlers.
#pragma once

#include <optional>
#include <string>

#include "platform/win32/webview2.h"
#include "tests/support/com_object.h"
#include "tests/support/transcript.h"

// An environment that refuses everything; tests override what they watch.
class FakeEnvironment : public Fake<ICoreWebView2Environment> {
public:
    LS_UNCALLED(CreateCoreWebView2Controller, HWND,
                ICoreWebView2CreateCoreWebView2ControllerCompletedHandler*)
    LS_UNCALLED(CreateWebResourceResponse, IStream*, int, LPCWSTR, LPCWSTR,
                ICoreWebView2WebResourceResponse**)
    LS_UNCALLED(get_BrowserVersionString, LPWSTR*)
    LS_UNCALLED_EVENT(NewBrowserVersionAvailable,
                      ICoreWebView2NewBrowserVersionAvailableEventHandler)
};

// A text getter's answer: its result and the text it hands out (none: null).
struct TextAnswer {
    HRESULT result = S_OK;
    std::optional<std::wstring> text;

    HRESULT Give(LPWSTR* out) const {
        *out = nullptr;
        if (text) CopyToCoTaskMem(text->c_str(), out);
        return result;
    }
};

inline TextAnswer Text(const wchar_t* text) {
    return {S_OK, std::wstring(text)};
}
inline const TextAnswer NoText{S_OK, std::nullopt};
inline const TextAnswer FailedText{E_FAIL, std::nullopt};
// A failure that still hands out a text, which must not be trusted.
inline const TextAnswer FailedWithText{E_INVALIDARG,
                                       std::wstring(L"https://lanternshell.localhost/")};

inline std::string Name(const TextAnswer& answer) {
    return (answer.text ? TranscriptQuote(*answer.text) : "(none)") + " " + Hex(answer.result);
}
