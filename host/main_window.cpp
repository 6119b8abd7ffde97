#include "host/main_window.h"

#include "host/dpi.h"

MainWindowState MainWindow;

static float dpiScale = 0.0f;

int ScaleForDpi(int logicalPixels) {
    if (dpiScale == 0.0f) {
        HDC screen = GetDC(nullptr);
        dpiScale = static_cast<float>(GetDeviceCaps(screen, LOGPIXELSX)) / 96.0f;
        ReleaseDC(nullptr, screen);
    }
    return ScaleLogicalPixels(logicalPixels, dpiScale);
}
