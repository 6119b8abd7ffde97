// Byte-range answers and the mappings they are served from.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/files.h"

struct Answer;

// A satisfiable range: first <= last < file size, both inclusive.
struct ByteRange {
    bool present = false;  // false: no range (416)
    uint64_t first = 0;
    uint64_t last = 0;
};

// Reads a Range value (already trimmed) against a file size. An end past
// the file is clamped to its last byte, and so is a suffix longer than the
// file; anything unreadable or unsatisfiable gives no range.
ByteRange ParseByteRange(std::wstring_view value, uint64_t size);

// The value without leading and trailing white space (U+0009..U+000D, U+0020).
std::wstring_view TrimRangeValue(std::wstring_view value);

// Decoded path -> the mapping of that file, made on the first partial
// request for it and reused until ReleaseMappedViews.
extern std::map<std::wstring, std::shared_ptr<const MappedFile>, std::less<>> MappedFileCache;

// The cached mapping for key, or a new one of filePath; null when the file
// can't be mapped (nothing is cached then, so the next request tries again).
std::shared_ptr<const MappedFile> GetMappedView(std::wstring_view key,
                                                const std::wstring& filePath);

// Drops the cache's references. A view is unmapped once no body stream holds
// it any more, so streams still held by the browser control stay readable.
void ReleaseMappedViews();

// Finishes a found file's answer from its Range value: 206, 416 or 500, the
// header text starting with the three lines every found file gets.
void AnswerRangeRequest(std::wstring_view rangeValue, uint64_t size, std::wstring_view type,
                        std::wstring_view decodedPath, std::wstring&& filePath, Answer& answer);

// Header text shared by the router and the range branch. Each answer's text
// is reserved once at its final length, so building it allocates once.
void StartFoundHeaders(std::wstring& headers, std::wstring_view type, size_t extraUnits);
void AppendDecimal(std::wstring& text, uint64_t value);
size_t DecimalLength(uint64_t value);
