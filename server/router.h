// The content server's router: a request URI under the app origin, and its
// Range header when it has one, become a complete answer. Portable logic;
// the browser-control glue only turns the answer into a response object.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "server/answer.h"
#include "server/content_server.h"

// Answers one request from server's files. relative is the request's address
// after the app origin, as each engine's glue cuts it off (PathUnderOrigin);
// range is the Range header's value when the request has that header. Never
// fails and never reads a file outside server.Root().
Answer RouteRequest(ContentServer& server, std::wstring_view relative,
                    std::optional<std::wstring_view> range);

// Whether a path relative to the app origin (the manifest's start page, say)
// names a regular file that the router serves once a browser has resolved
// its dot segments.
bool NamesServedFile(const ContentServer& server, std::wstring_view relative);
