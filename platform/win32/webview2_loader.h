// The browser control's loader: the vendor's loader library when it lies
// beside the executable, loaded by full path so that neither the search path
// nor the current directory can supply another copy; otherwise the host's own
// built-in path (builtin_loader.h). Callers use the two free functions below
// and never learn which one serves.
#pragma once

#include <string>

#include "platform/win32/webview2.h"

struct WebView2LoaderModule {
    HMODULE module = nullptr;
    CreateCoreWebView2EnvironmentWithOptionsFunction createEnvironmentWithOptions = nullptr;
    GetAvailableCoreWebView2BrowserVersionStringFunction getAvailableBrowserVersionString = nullptr;
    // No usable loader library: the built-in path serves, resolving a
    // relative runtime folder against exeFolder.
    bool builtin = false;
    std::wstring exeFolder;
};

// Filled by LoadWebView2Loader on the UI thread before any browser call, and
// only read afterwards; empty until then.
extern WebView2LoaderModule WebView2Loader;

// Loads folder + "WebView2Loader.dll" (folder, the executable's, ends in a
// backslash) and looks up both exports by name. True when the module and both
// exports are there. Otherwise nothing of it stays loaded, the built-in path
// takes over and the answer is false; a later call tries the library again.
// A call after success changes nothing.
bool LoadWebView2Loader(const std::wstring& folder);

// The vendor loader's two exports (GetAvailableCoreWebView2BrowserVersionString
// and CreateCoreWebView2EnvironmentWithOptions) through whichever loader
// LoadWebView2Loader settled on. Before any call of it they answer
// HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND) and, for the version, null.
HRESULT LoaderGetBrowserVersion(PCWSTR browserExecutableFolder, LPWSTR* versionInfo);
HRESULT LoaderCreateEnvironment(
    PCWSTR browserExecutableFolder, PCWSTR userDataFolder,
    ICoreWebView2EnvironmentOptions* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler);
