// The browser control's loader library, loaded once from the executable's own
// folder by full path, so that neither the search path nor the current
// directory can supply another copy.
#pragma once

#include <string>

#include "platform/webview2.h"

struct WebView2LoaderModule {
    HMODULE module = nullptr;
    CreateCoreWebView2EnvironmentWithOptionsFunction createEnvironmentWithOptions = nullptr;
    GetAvailableCoreWebView2BrowserVersionStringFunction getAvailableBrowserVersionString = nullptr;
};

// Filled by LoadWebView2Loader; empty until then and after a failed load.
extern WebView2LoaderModule WebView2Loader;

// The startup failure shown when the library or one of its exports is missing.
extern const wchar_t* const LoaderMissingMessage;

// Loads folder + "WebView2Loader.dll" (folder ends in a backslash) and looks
// up both exports by name. True when the module and both exports are there;
// on false nothing stays loaded. A second call after success changes nothing.
bool LoadWebView2Loader(const std::wstring& folder);

// The two exports through the loaded module. Before a successful load they
// answer HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND) and, for the version, null.
HRESULT GetAvailableCoreWebView2BrowserVersionString(PCWSTR browserExecutableFolder,
                                                     LPWSTR* versionInfo);
HRESULT CreateCoreWebView2EnvironmentWithOptions(
    PCWSTR browserExecutableFolder, PCWSTR userDataFolder,
    ICoreWebView2EnvironmentOptions* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler);
