// The process entry: startup in a fixed order, the message loop, teardown.
#include <windows.h>
#include <objbase.h>
// GDI+ needs the COM declarations that the lean Windows header leaves out.
#include <gdiplus.h>

#include <cstdio>
#include <string>
#include <sys/stat.h>

#include "app/manifest.h"
#include "app/startup.h"
#include "app/text.h"
#include "host/browser_host.h"
#include "host/main_window.h"
#include "platform/win32/webview2_loader.h"
#include "runtime/browser_runtime.h"
#include "server/byte_range.h"

namespace {

const wchar_t* const LoadFailedMessage =
    L"Failed to load package.json. Check the file is in the same folder as the app.";
const wchar_t* const ParseFailedMessage =
    L"Failed to parse package.json. Check the file has valid JSON and that all parameters are "
    L"correct.";

// The manifest always comes from beside the executable, never the current
// directory. An unreadable or empty file gives an empty text.
std::string ReadManifest(const std::wstring& path) {
    std::string text;
    FILE* file = nullptr;
    if (_wfopen_s(&file, path.c_str(), L"rbS") != 0 || !file) return text;
    struct _stat64 status {};
    if (_wstat64(path.c_str(), &status) == 0 && status.st_size > 0) {
        text.assign(static_cast<size_t>(status.st_size), '\0');
        text.resize(fread(text.data(), 1, text.size(), file));
    }
    fclose(file);
    return text;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    ExeFolder = FolderOfPath(GetExecutablePath());

    const std::string manifest = ReadManifest(ExeFolder + L"package.json");
    if (manifest.empty()) return FailStartup(LoadFailedMessage, DefaultTitle);
    try {
        ParseAppConfig(manifest, appConfig);
    } catch (...) {
        return FailStartup(ParseFailedMessage, DefaultTitle);
    }

    const std::wstring userDataFolder =
        ComposeUserDataFolder(GetLocalAppDataFolder(), appConfig.name);

    LoadWindowIcon();

    // The runtime check and the browser control both go through the loader
    // beside the executable, or the built-in one when there is none.
    LoadWebView2Loader(ExeFolder);

    // The shipped host always downloads the vendor's installer from its
    // permanent link.
    const BrowserRuntime runtime =
        EnsureBrowserRuntime(instance, appConfig, userDataFolder, RuntimeInstallerUrl);
    if (!runtime.usable) return 1;

    if (!CreateMainWindow(instance)) return 1;

    // Setup goes on in the control's completions once the loop runs; a
    // failure there ends the loop with exit code 1. The browser starts from
    // the runtime the check settled on: the installed one, or the relative
    // "webview2" that the loader resolves itself.
    ComPtr<ICoreWebView2EnvironmentOptions> options =
        StartBrowserEnvironment(runtime.browserExecutableFolder, userDataFolder);

    // The main window posts the quit message with 0 when it is destroyed.
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }

    // Streams the browser control still holds keep their own mappings alive.
    ReleaseMappedViews();
    if (MainWindow.gdiplusToken) Gdiplus::GdiplusShutdown(MainWindow.gdiplusToken);
    options.Reset();
    return static_cast<int>(message.wParam);
}
