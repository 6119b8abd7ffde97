// Byte-range answers: reading the Range value and filling the partial answer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/files.h"

struct Answer;
class ContentServer;

// A satisfiable range: first <= last < file size, both inclusive.
struct ByteRange {
    bool present = false;  // false: no range (416)
    uint64_t first = 0;
    uint64_t last = 0;
};

// Reads a Range value (already trimmed) against a file size. The unit is
// matched in any case. An end past the file is clamped to its last byte, and
// so is a suffix longer than the file; an open-ended range covers at most
// openRangeCap bytes. Anything unreadable or unsatisfiable gives no range.
ByteRange ParseByteRange(std::wstring_view value, uint64_t size, uint64_t openRangeCap);

// The value without leading and trailing white space (U+0009..U+000D, U+0020).
std::wstring_view TrimRangeValue(std::wstring_view value);

// Finishes a found file's answer from its Range value: 206, 416 or 500. A
// partial answer's mapping comes from the server's cache, and an open-ended
// range covers at most the server's cap.
void AnswerRangeRequest(ContentServer& server, std::wstring_view rangeValue,
                        const FileStatus& status, std::wstring_view type, std::wstring&& filePath,
                        Answer& answer);
