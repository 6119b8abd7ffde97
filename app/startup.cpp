#include "app/startup.h"

#include <windows.h>

int FailStartup(const wchar_t* text, const wchar_t* caption) {
    MessageBoxW(nullptr, text, caption, MB_OK | MB_ICONERROR);
    return 1;
}
