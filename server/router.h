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

// The path a browser asks for when it is sent to the app origin followed by
// relative: "\\" read as "/", and "." and ".." segments (also escaped as
// "%2e") resolved, never above the origin. Query and fragment are kept.
std::wstring ResolveDotSegments(std::wstring_view relative);

// Whether a path relative to the app origin (the manifest's start page, say)
// names a regular file that the router serves once a browser has resolved
// its dot segments.
bool NamesServedFile(const ContentServer& server, std::wstring_view relative);

// The decoded path of a relative path: query and fragment cut off, percent
// escapes read as UTF-8. False for an ill-formed escaped sequence. A result
// longer than 2,047 units is replaced by the undecoded text.
bool DecodeRequestPath(std::wstring_view relativePath, std::wstring& decoded);

// Whether a decoded path may name a file: not empty, not absolute, no drive,
// device, stream or parent reference, no reserved device name.
bool IsServablePath(std::wstring_view decodedPath);
