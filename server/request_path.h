// A request's path under the app origin as the router reads it: dot
// segments resolved as a browser resolves them, percent escapes decoded, and
// what a decoded path may name.
#pragma once

#include <string>
#include <string_view>

// The path a browser asks for when it is sent to the app origin followed by
// relative: "\\" read as "/", and "." and ".." segments (also escaped as
// "%2e") resolved, never above the origin. Query and fragment are kept.
std::wstring ResolveDotSegments(std::wstring_view relative);

// The decoded path of a relative path: query and fragment cut off, percent
// escapes read as UTF-8. False for an ill-formed escaped sequence. A result
// longer than 2,047 units is replaced by the undecoded text.
bool DecodeRequestPath(std::wstring_view relativePath, std::wstring& decoded);

// Whether a decoded path may name a file: not empty, not absolute, no drive,
// device, stream or parent reference, no reserved device name.
bool IsServablePath(std::wstring_view decodedPath);
