#include "platform/win32/webview2_loader.h"

WebView2LoaderModule WebView2Loader;

const wchar_t* const LoaderMissingMessage =
    L"WebView2Loader.dll is missing or damaged. Reinstall the app.";

bool LoadWebView2Loader(const std::wstring& folder) {
    if (WebView2Loader.module) return true;
    const std::wstring path = folder + L"WebView2Loader.dll";
    // A full path is taken as given: no search path, no current directory.
    HMODULE module = LoadLibraryW(path.c_str());
    if (!module) return false;
    WebView2LoaderModule loaded;
    loaded.module = module;
    loaded.createEnvironmentWithOptions =
        reinterpret_cast<CreateCoreWebView2EnvironmentWithOptionsFunction>(reinterpret_cast<void*>(
            GetProcAddress(module, "CreateCoreWebView2EnvironmentWithOptions")));
    loaded.getAvailableBrowserVersionString =
        reinterpret_cast<GetAvailableCoreWebView2BrowserVersionStringFunction>(
            reinterpret_cast<void*>(
                GetProcAddress(module, "GetAvailableCoreWebView2BrowserVersionString")));
    if (!loaded.createEnvironmentWithOptions || !loaded.getAvailableBrowserVersionString) {
        FreeLibrary(module);
        return false;
    }
    WebView2Loader = loaded;
    return true;
}

HRESULT GetAvailableCoreWebView2BrowserVersionString(PCWSTR browserExecutableFolder,
                                                     LPWSTR* versionInfo) {
    if (!WebView2Loader.getAvailableBrowserVersionString) {
        if (versionInfo) *versionInfo = nullptr;
        return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    }
    return WebView2Loader.getAvailableBrowserVersionString(browserExecutableFolder, versionInfo);
}

HRESULT CreateCoreWebView2EnvironmentWithOptions(
    PCWSTR browserExecutableFolder, PCWSTR userDataFolder,
    ICoreWebView2EnvironmentOptions* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler) {
    if (!WebView2Loader.createEnvironmentWithOptions)
        return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    return WebView2Loader.createEnvironmentWithOptions(
        browserExecutableFolder, userDataFolder, environmentOptions, environmentCreatedHandler);
}
