// Recording stand-ins for the browser control's objects, for the tests of
// the host's handlers.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "platform/win32/webview2.h"
#include "tests/support/com_object.h"

// An environment that refuses everything; tests override what they watch.
class FakeEnvironment : public Fake<ICoreWebView2Environment> {
public:
    HRESULT STDMETHODCALLTYPE CreateCoreWebView2Controller(
        HWND, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateWebResourceResponse(
        IStream*, int, LPCWSTR, LPCWSTR, ICoreWebView2WebResourceResponse**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_BrowserVersionString(LPWSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE add_NewBrowserVersionAvailable(
        ICoreWebView2NewBrowserVersionAvailableEventHandler*, EventRegistrationToken*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE remove_NewBrowserVersionAvailable(EventRegistrationToken) override {
        return E_NOTIMPL;
    }
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
    std::wstring text = answer.text ? L"\"" + *answer.text + L"\"" : L"(none)";
    char result[16];
    snprintf(result, sizeof result, " 0x%08X", static_cast<unsigned>(answer.result));
    return std::string(text.begin(), text.end()) + result;
}
