// Reading the messages the page posts to the host: one JSON object per
// message, of type "set-fullscreen" or "close". What follows from a message
// is the session's.
#pragma once

#include <string>

struct PageMessage {
    enum class Type {
        None,           // not a message the host knows: dropped
        SetFullscreen,  // fullscreen tells the mode asked for
        Close,          // the app's window.close(): quit as the close request does
    };
    Type type = Type::None;
    bool fullscreen = false;
};

// The message a text holds. The text is read only up to its first U+0000;
// anything that is not a JSON object of a known type is None. Never throws.
PageMessage ReadPageMessage(const std::wstring& text);
