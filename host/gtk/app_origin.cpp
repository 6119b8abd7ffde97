#include "host/gtk/app_origin.h"

#include <string>

Answer RouteGtkRequest(ContentServer& server, std::wstring_view uri,
                       std::optional<std::wstring_view> range) {
    const std::wstring_view origin(GtkAppOrigin);
    // The router reads paths relative to the Windows origin, so the request
    // is put on that origin; a URI of the scheme but not of the app's host
    // keeps no path and answers 404.
    std::wstring routed(AppOrigin);
    if (uri.substr(0, origin.size()) == origin) routed.append(uri.substr(origin.size()));
    return RouteRequest(server, routed, range);
}

void* HoldMapping(const std::shared_ptr<const MappedFile>& view) {
    return new std::shared_ptr<const MappedFile>(view);
}

void ReleaseMapping(void* holder) {
    delete static_cast<std::shared_ptr<const MappedFile>*>(holder);
}
