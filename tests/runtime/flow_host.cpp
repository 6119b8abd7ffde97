// The host's startup up to its main window, with one difference from the
// shipped executable: the installer address comes from the command line
//   flow_host.exe "<user data folder>" "<installer address>"
// so the install flow runs against a server of the test's own. Placed in an
// app folder beside package.json and, unless the built-in loader is tested,
// the loader double.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
// GDI+ needs the COM declarations that the lean Windows header leaves out.
#include <gdiplus.h>

#include <fstream>
#include <iterator>
#include <string>

#include "app/manifest.h"
#include "app/text.h"
#include "host/main_window.h"
#include "platform/win32/webview2_loader.h"
#include "runtime/browser_runtime.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // What the shipped executable's manifest declares.
    SetProcessDPIAware();

    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments || count != 3) return 2;
    const std::wstring userDataFolder = arguments[1];
    const std::wstring installerUrl = arguments[2];
    LocalFree(arguments);

    ExeFolder = FolderOfPath(GetExecutablePath());
    std::ifstream in((ExeFolder + L"package.json").c_str(), std::ios::binary);
    try {
        ParseAppConfig(std::string(std::istreambuf_iterator<char>(in), {}), appConfig);
    } catch (...) {
        return 3;
    }
    LoadWindowIcon();
    LoadWebView2Loader(ExeFolder);
    const BrowserRuntime runtime =
        EnsureBrowserRuntime(instance, appConfig, userDataFolder, installerUrl);
    if (!runtime.usable) return 1;
    if (!CreateMainWindow(instance)) return 1;
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (MainWindow.gdiplusToken) Gdiplus::GdiplusShutdown(MainWindow.gdiplusToken);
    return static_cast<int>(message.wParam);
}
