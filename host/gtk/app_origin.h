// The Linux app origin and its routing, free of the engine's headers: the
// media source in the engine's web process routes through it as well.
#pragma once

#include <optional>
#include <string_view>

#include "server/router.h"

// The app origin of the Linux host. Like the Windows one it never changes
// between releases: what the page stores lives under it.
constexpr wchar_t GtkAppOrigin[] = L"lanternshell://app/";
constexpr char GtkAppScheme[] = "lanternshell";

// Routes a request URI of the Linux origin; any other URI answers 404.
Answer RouteGtkRequest(ContentServer& server, std::wstring_view uri,
                       std::optional<std::wstring_view> range);
