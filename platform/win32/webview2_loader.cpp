#include "platform/win32/webview2_loader.h"

#include "platform/win32/builtin_loader.h"

WebView2LoaderModule WebView2Loader;

bool LoadWebView2Loader(const std::wstring& folder) {
    if (WebView2Loader.module) return true;
    WebView2Loader.builtin = true;
    WebView2Loader.exeFolder = folder;
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
    // A library without both exports is no loader; the built-in path still can
    // start the runtime.
    if (!loaded.createEnvironmentWithOptions || !loaded.getAvailableBrowserVersionString) {
        FreeLibrary(module);
        return false;
    }
    WebView2Loader = loaded;
    return true;
}

HRESULT LoaderGetBrowserVersion(PCWSTR browserExecutableFolder, LPWSTR* versionInfo) {
    if (WebView2Loader.getAvailableBrowserVersionString)
        return WebView2Loader.getAvailableBrowserVersionString(browserExecutableFolder,
                                                               versionInfo);
    if (WebView2Loader.builtin)
        return BuiltinGetAvailableBrowserVersionString(WebView2Loader.exeFolder,
                                                       browserExecutableFolder, versionInfo);
    if (versionInfo) *versionInfo = nullptr;
    return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
}

HRESULT LoaderCreateEnvironment(
    PCWSTR browserExecutableFolder, PCWSTR userDataFolder,
    ICoreWebView2EnvironmentOptions* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler) {
    if (WebView2Loader.createEnvironmentWithOptions)
        return WebView2Loader.createEnvironmentWithOptions(
            browserExecutableFolder, userDataFolder, environmentOptions, environmentCreatedHandler);
    if (WebView2Loader.builtin)
        return BuiltinCreateEnvironmentWithOptions(WebView2Loader.exeFolder,
                                                   browserExecutableFolder, userDataFolder,
                                                   environmentOptions, environmentCreatedHandler);
    return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
}
