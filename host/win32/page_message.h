// Acting on the page's messages in the Windows host.
#pragma once

#include <string>

// Acts on one message text from the page: switches fullscreen mode when asked
// to, and silently drops everything else. Never throws.
void HandlePageMessage(const std::wstring& text);
