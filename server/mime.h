// Content types by file extension.
#pragma once

#include <map>
#include <string>
#include <string_view>

// Lower-case extension with its dot -> content type; filled before the entry
// point runs and only read afterwards.
extern const std::map<std::wstring, std::wstring, std::less<>> MimeTable;

extern const std::wstring DefaultMimeType;  // "application/octet-stream"

// The content type for a decoded path: the text from its last "." (which may
// lie in a folder name), lower-cased in A-Z only, looked up exactly. The
// result lives as long as the table, so callers copy it only if they keep it.
const std::wstring& LookupMimeType(std::wstring_view decodedPath);
