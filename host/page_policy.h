// The host's policy towards the page, as pure decisions on URI texts, so that
// they build and are tested on every platform.
#pragma once

#include <string_view>

// Whether uri lies under the app origin: an exact, case-sensitive prefix
// test with no decoding or parsing. The origin without its final slash does
// not match.
bool IsAppOriginUri(std::wstring_view uri);

// Whether a new-window request for uri may go to the shell's "open" verb:
// only http, https and mailto (scheme in any case), never the app origin
// (whose pages mean nothing outside the host), and never a text that could
// break out of the quoted argument a protocol handler receives (a double
// quote or a control character). Everything else is dropped, because the
// shell would otherwise start local programs, open files or run custom
// protocol handlers on the page's behalf.
bool OpensInShell(std::wstring_view uri);
