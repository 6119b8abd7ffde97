#include "host/win32/environment_options.h"

#include <string>

namespace {

// Read by the control, possibly on a thread of its own.
class EnvironmentOptions final : public ComObjectBase<ICoreWebView2EnvironmentOptions> {
public:
    HRESULT STDMETHODCALLTYPE get_AdditionalBrowserArguments(LPWSTR* value) override {
        return CopyToCoTaskMem(additionalBrowserArguments_.c_str(), value);
    }
    HRESULT STDMETHODCALLTYPE put_AdditionalBrowserArguments(LPCWSTR value) override {
        return Store(value, additionalBrowserArguments_);
    }
    HRESULT STDMETHODCALLTYPE get_Language(LPWSTR* value) override {
        return CopyToCoTaskMem(language_.c_str(), value);
    }
    HRESULT STDMETHODCALLTYPE put_Language(LPCWSTR value) override {
        return Store(value, language_);
    }
    HRESULT STDMETHODCALLTYPE get_TargetCompatibleBrowserVersion(LPWSTR* value) override {
        return CopyToCoTaskMem(targetCompatibleBrowserVersion_.c_str(), value);
    }
    HRESULT STDMETHODCALLTYPE put_TargetCompatibleBrowserVersion(LPCWSTR value) override {
        return Store(value, targetCompatibleBrowserVersion_);
    }
    HRESULT STDMETHODCALLTYPE get_AllowSingleSignOnUsingOSPrimaryAccount(BOOL* allow) override {
        if (!allow) return E_POINTER;
        *allow = allowSingleSignOn_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_AllowSingleSignOnUsingOSPrimaryAccount(BOOL allow) override {
        allowSingleSignOn_ = allow ? TRUE : FALSE;
        return S_OK;
    }

private:
    // A null text stands for the empty one.
    static HRESULT Store(LPCWSTR value, std::wstring& field) {
        field = value ? value : L"";
        return S_OK;
    }

    std::wstring additionalBrowserArguments_;
    std::wstring language_;
    std::wstring targetCompatibleBrowserVersion_ = TargetCompatibleBrowserVersion;
    BOOL allowSingleSignOn_ = FALSE;
};

}  // namespace

ComPtr<ICoreWebView2EnvironmentOptions> CreateEnvironmentOptions() {
    ComPtr<ICoreWebView2EnvironmentOptions> options;
    *options.ReleaseAndGetAddressOf() = new EnvironmentOptions();
    return options;
}
