// The host's own way to find and start the browser runtime, used when no
// loader library lies beside the executable. A runtime is a folder whose
// client library, EBWebView\x64\EmbeddedBrowserWebView.dll, creates the
// environment.
#pragma once

#include <string>

#include "platform/win32/webview2.h"

// The client library's creation export. checked is always true; runtimeType
// says where the runtime came from.
using CreateWebViewEnvironmentWithOptionsInternalFunction =
    HRESULT(STDAPICALLTYPE*)(bool checked, int runtimeType, PCWSTR userDataFolder,
                             ICoreWebView2EnvironmentOptions* environmentOptions,
                             ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler);

enum BrowserRuntimeType { InstalledRuntime = 0, FixedRuntime = 1 };

struct BrowserRuntime {
    std::wstring clientLibrary;  // full path
    std::wstring version;        // four numbers
    BrowserRuntimeType type = InstalledRuntime;
};

// The file version of a module's VERSIONINFO (a runtime's client library,
// the executable itself) as four numbers; empty when it has none.
std::wstring FileVersionOf(const std::wstring& path);

// The registry key under which the stable channel records its installed
// runtime, read in the 32-bit view, machine-wide first, then per user.
extern const wchar_t* const InstalledRuntimeKey;

// A usable runtime: with no folder (null or empty) the installed one; with a
// folder, the copy there, a relative folder taken from exeFolder (ending in a
// backslash). The client library must exist and its version must be at least
// TargetCompatibleBrowserVersion.
bool FindBrowserRuntime(const std::wstring& exeFolder, PCWSTR browserExecutableFolder,
                        BrowserRuntime& runtime);

// The loader's two operations on top of FindBrowserRuntime. Without a usable
// runtime both answer HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) (and a null
// version). The client library is loaded by its full path and stays loaded.
HRESULT BuiltinGetAvailableBrowserVersionString(const std::wstring& exeFolder,
                                                PCWSTR browserExecutableFolder,
                                                LPWSTR* versionInfo);
HRESULT BuiltinCreateEnvironmentWithOptions(
    const std::wstring& exeFolder, PCWSTR browserExecutableFolder, PCWSTR userDataFolder,
    ICoreWebView2EnvironmentOptions* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler);
