// The process entry: the startup sequence with the shipped inputs.
#include <windows.h>

#include <cstdlib>

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

// An uncaught exception ends the process either way. The library's own
// handler would bring its symbol demangler (about 45 KiB, a tenth of the
// executable) along only to print to a console that a GUI program lacks.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
}  // namespace __gnu_cxx
