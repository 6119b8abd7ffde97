// The read loop of ReadWholeFile, shared by the platform files.
#pragma once

#include <cstdint>
#include <string>

#include "platform/files.h"

// Appends what readChunk(buffer, size) gives (a count, 0 at the end, below 0
// when reading fails) until the end. Judged by what is read, one chunk past
// the limit at most, not by the size the file claimed when it was opened.
// bytes is left empty unless the result is Read.
template <class ReadChunk>
FileReadResult ReadInChunks(ReadChunk readChunk, uint64_t maxBytes, std::string& bytes) {
    FileReadResult result = FileReadResult::Read;
    char buffer[16384];
    for (;;) {
        const int64_t count = readChunk(buffer, sizeof buffer);
        if (count <= 0) {
            if (count < 0) result = FileReadResult::Unreadable;
            break;
        }
        if (bytes.size() + static_cast<uint64_t>(count) > maxBytes) {
            result = FileReadResult::TooLarge;
            break;
        }
        bytes.append(buffer, static_cast<size_t>(count));
    }
    if (result != FileReadResult::Read) bytes.clear();
    return result;
}
