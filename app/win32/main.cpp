// The process entry: the startup sequence with the shipped inputs.
#include <windows.h>

#include "app/win32/startup.h"
#include "platform/text.h"
#include "runtime/win32/browser_runtime.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    StartupInputs inputs;
    inputs.instance = instance;
    inputs.exeFolder = FolderOfPath(GetExecutablePath());
    // The shipped host always downloads the vendor's installer from its
    // permanent link.
    inputs.installerUrl = RuntimeInstallerUrl;
    return RunApp(inputs);
}
