// An answer of the content server as the engine glue hands it on: status,
// header text and body, and the pieces every answer's header text is built
// from.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "platform/files.h"

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

// The header line that keeps answers out of the browser's cache.
constexpr std::wstring_view CacheControlLine = L"Cache-Control: no-store";

// A text and the number written after it in a header line.
struct HeaderNumber {
    std::wstring_view before;
    uint64_t value;
};

// A found file's header text: the lines every one starts with (Cache-Control,
// Content-Type, Accept-Ranges), then the numbers in order. The text is
// reserved once at its final length, so building it allocates once.
void FoundHeaders(std::wstring& headers, std::wstring_view type,
                  std::initializer_list<HeaderNumber> numbers);
