// The host's policy towards the page, as pure decisions on URI texts, so that
// they build and are tested on every platform.
#pragma once

#include <string_view>

// Each host serves the app under an origin of its own (origin: scheme, host
// and the final slash), and both apply the same rules to it.

// Whether uri lies under origin: an exact, case-sensitive prefix test with no
// decoding or parsing. The origin without its final slash does not match.
bool IsAppOriginUri(std::wstring_view uri, std::wstring_view origin);

// Whether a new-window request for uri may go to the user's default programs:
// only http, https and mailto (scheme in any case), never the app origin
// (whose pages mean nothing outside the host), and never a text that could
// break out of the quoted argument a protocol handler receives (a double
// quote or a control character). Everything else is dropped, because the
// desktop would otherwise start local programs, open files or run custom
// protocol handlers on the page's behalf.
bool OpensInShell(std::wstring_view uri, std::wstring_view origin);
