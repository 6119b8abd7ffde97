#include "host/fullscreen.h"
#include "host/page_message.h"

void HandlePageMessage(const std::wstring& text) {
    if (const std::optional<bool> fullscreen = RequestedFullscreen(text))
        SetFullscreen(*fullscreen);
}
