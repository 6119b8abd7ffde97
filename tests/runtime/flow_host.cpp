// The host's real startup sequence with two inputs of the test's own: the
// user data folder and the installer address come from the command line
//   flow_host.exe "<user data folder>" "<installer address>"
// so the install flow runs against a server of the test's own. Placed in an
// app folder beside package.json and, unless the built-in loader is tested,
// the loader double.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "app/win32/startup.h"
#include "platform/text.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // What the shipped executable's manifest declares.
    SetProcessDPIAware();

    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments || count != 3) return 2;
    StartupInputs inputs;
    inputs.instance = instance;
    inputs.exeFolder = FolderOfPath(GetExecutablePath());
    inputs.userDataFolder = arguments[1];
    inputs.installerUrl = arguments[2];
    LocalFree(arguments);
    return RunApp(inputs);
}
