// A test double of the browser control's loader library, built from the
// binary interface alone, so the real host runs end to end without a browser.
//
// Scenario: "loader-scenario.json" in this DLL's own folder (missing or
// unreadable: every default, which means a runtime is present, creation
// succeeds and no event is raised). Keys of the runtime query:
//   "runtime"        bool, default true: an installed runtime is present.
//   "runtimeMarker"  path, absolute or relative to this DLL's folder: when
//                    given, a runtime is present also while that file exists.
//   "fixedRuntime"   bool: whether a runtime is present in a given folder
//                    ("webview2" in fixed mode); when absent a folder is
//                    judged exactly like the installed runtime.
//   "version"        text, default "120.0.2210.91".
// Creation failures are described in environment.cpp, events in view.cpp.
//
// Transcript: "loader-transcript.txt" beside this DLL, UTF-8, one line per
// call the host makes, appended and flushed at once (the host may die at any
// point). A line is the call's name, then its arguments as name=value, then
// " -> " and what the double answered. Texts are written in double quotes
// with \\, \", \n, \r, \t and \xNN escapes; a null text is written null;
// HRESULTs as 0x%08X.
//   GetAvailableCoreWebView2BrowserVersionString folder=null -> 0x00000000 version="120.0.2210.91"
//   GetAvailableCoreWebView2BrowserVersionString folder="webview2" -> 0x80070002 version=null
//   CreateCoreWebView2EnvironmentWithOptions folder=null userDataFolder="C:\\x" options=object
//   handler=object -> 0x00000000
//   Options.get_AdditionalBrowserArguments -> 0x00000000 value=""
// Completions and events delivered to the host's handlers appear as
// "Invoke ..."/"Raise ..." before and "Return ... -> hr" after the handler.
#include "tests/support/loader_double/double.h"

using namespace browser_double;

namespace {

bool FileThere(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool RuntimePresent(const nlohmann::json& scenario, PCWSTR folder) {
    if (folder && scenario.contains("fixedRuntime") && scenario["fixedRuntime"].is_boolean())
        return scenario["fixedRuntime"].get<bool>();
    bool present = GetBoolOr(scenario, "runtime", true);
    if (!present && scenario.contains("runtimeMarker") && scenario["runtimeMarker"].is_string()) {
        std::wstring marker = Utf8ToWide(scenario["runtimeMarker"].get<std::string>());
        const bool absolute = (marker.size() > 1 && marker[1] == L':') ||
                              (marker.size() > 1 && marker[0] == L'\\' && marker[1] == L'\\');
        if (!absolute) marker = OwnFolder() + marker;
        present = FileThere(marker);
    }
    return present;
}

}  // namespace

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE
    GetAvailableCoreWebView2BrowserVersionString(PCWSTR browserExecutableFolder,
                                                 LPWSTR* versionInfo) {
    const auto scenario = Scenario();
    HRESULT result = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    wchar_t* version = nullptr;
    if (RuntimePresent(scenario, browserExecutableFolder)) {
        version = TaskMemCopy(GetStringOr(scenario, "version", L"120.0.2210.91"));
        result = S_OK;
    }
    Record("GetAvailableCoreWebView2BrowserVersionString folder=" + Quote(browserExecutableFolder) +
           " -> " + Hex(result) + " version=" + Quote(version));
    if (versionInfo)
        *versionInfo = version;
    else
        CoTaskMemFree(version);
    return result;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE CreateCoreWebView2EnvironmentWithOptions(
    PCWSTR browserExecutableFolder, PCWSTR userDataFolder,
    ICoreWebView2EnvironmentOptions* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler) {
    return StartEnvironmentCreation(browserExecutableFolder, userDataFolder, environmentOptions,
                                    environmentCreatedHandler);
}
