// The content server's router: a request URI under the app origin, and its
// Range header when it has one, become a complete answer. Portable logic;
// the browser-control glue only turns the answer into a response object.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "server/content_server.h"
#include "server/origin.h"

// The body of every 404, without a terminator.
constexpr char NotFoundBody[] = "File not found";
constexpr size_t NotFoundBodyLength = sizeof NotFoundBody - 1;

enum class BodyKind {
    None,          // no body at all (416, 500)
    NotFoundText,  // the bytes of NotFoundBody
    WholeFile,     // a read stream over the file at filePath
    FileRange,     // length bytes from offset within the mapped view
};

struct AnswerBody {
    BodyKind kind = BodyKind::None;
    std::wstring filePath;                   // WholeFile
    std::shared_ptr<const MappedFile> view;  // FileRange: keeps the mapping alive
    uint64_t offset = 0;
    uint64_t length = 0;
};

struct Answer {
    int status = 404;
    const wchar_t* reasonPhrase = L"Not Found";  // a static text
    // The header lines joined with LF: no CR, no LF after the last line.
    std::wstring headers;
    AnswerBody body;
};

// The number of bytes an answer's body holds.
inline uint64_t BodyLength(const AnswerBody& body) {
    return body.kind == BodyKind::NotFoundText ? NotFoundBodyLength : body.length;
}

// Calls visit(name, value) for each "Name: value" line of an answer's header
// text, for glue that hands the headers over one by one.
template <class Visit>
void ForEachHeaderLine(std::wstring_view headers, Visit&& visit) {
    size_t start = 0;
    while (start < headers.size()) {
        const size_t end = std::min(headers.find(L'\n', start), headers.size());
        const std::wstring_view line = headers.substr(start, end - start);
        start = end + 1;
        const size_t colon = line.find(L':');
        if (colon == std::wstring_view::npos) continue;
        const size_t value = std::min(line.find_first_not_of(L' ', colon + 1), line.size());
        visit(line.substr(0, colon), line.substr(value));
    }
}

// Answers one request from server's files. uri is the full request URI;
// range is the Range header's value when the request has that header. Never
// fails and never reads a file outside server.Root().
Answer RouteRequest(ContentServer& server, std::wstring_view uri,
                    std::optional<std::wstring_view> range);

// Where a path relative to the app origin leads by the router's rules: its
// decoded path, and the file that names inside server.Root(). False when it
// names nothing the router would serve (an ill-formed escape, a path that
// climbs out, a device...). Does not look at the disk.
bool ResolveContentPath(const ContentServer& server, std::wstring_view relative,
                        std::wstring& decoded, std::wstring& filePath);

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
