#include "host/win32/page_message.h"

#include "host/page_message.h"
#include "host/win32/fullscreen.h"

void HandlePageMessage(const std::wstring& text) {
    if (const std::optional<bool> fullscreen = RequestedFullscreen(text))
        SetFullscreen(*fullscreen);
}
