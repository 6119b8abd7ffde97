// The loader test double built a second time as a runtime's client library,
// EmbeddedBrowserWebView.dll, so the built-in loader runs the same scenarios
// with the same objects. The version the built-in loader reads comes from
// runtime_double.rc; the scenario and transcript lie beside this DLL as they
// do beside the loader double. Extra transcript line, before the creation's:
//   CreateWebViewEnvironmentWithOptionsInternal checked=1 runtimeType=1 userDataFolder="C:\\x"
//   handler=object
#include "tests/support/loader_double/double.h"

using namespace browser_double;

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE CreateWebViewEnvironmentWithOptionsInternal(
    bool checked, int runtimeType, PCWSTR userDataFolder,
    ICoreWebView2EnvironmentOptions* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler) {
    Record("CreateWebViewEnvironmentWithOptionsInternal checked=" + std::to_string(checked) +
           " runtimeType=" + std::to_string(runtimeType) + " userDataFolder=" +
           Quote(userDataFolder) + " handler=" + (environmentCreatedHandler ? "object" : "null"));
    // The runtime is this library itself, so no folder is looked up: the
    // scenario's installed-runtime answer decides, as for an installed one.
    return StartEnvironmentCreation(nullptr, userDataFolder, environmentOptions,
                                    environmentCreatedHandler);
}

// The environment's objects may still be alive whenever this is asked.
extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return S_FALSE;
}
