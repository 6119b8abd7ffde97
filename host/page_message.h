// Messages the page posts to the host: one JSON object per message, of which
// only "set-fullscreen" means anything.
#pragma once

#include <optional>
#include <string>

// The mode a message asks for: true for fullscreen, false for windowed, or
// nothing when the text is not a "set-fullscreen" object. The text is read
// only up to its first U+0000. Never throws.
std::optional<bool> RequestedFullscreen(const std::wstring& text);
