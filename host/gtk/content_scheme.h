// Serving the app on Linux: a URI scheme of the web context whose requests
// all go through the content server's router.
#pragma once

#include <webkit2/webkit2.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "host/gtk/app_origin.h"
#include "server/router.h"

// Told of every answered request, after the answer is made; UI thread only.
using RequestObserver = std::function<void(
    std::wstring_view uri, const std::optional<std::wstring>& range, const Answer& answer)>;

// Registers the scheme on context as secure and CORS-enabled, so that the
// page gets storage, modules, workers, wasm and media as from https, and
// makes the content folder readable in the engine's sandbox. The server and
// the observer (which may be empty) must outlive the context.
void RegisterContentScheme(WebKitWebContext* context, ContentServer& server,
                           const RequestObserver& observer);
