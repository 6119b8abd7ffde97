// The read loop of ReadWholeFile, shared by the platform files.
#pragma once

#include "platform/files.h"

// Appends what readChunk(buffer, size) gives (a count, 0 at the end, below 0
// when reading fails) until the end. Judged by what is read, one chunk past
// the limit at most, not by the size the file claimed when it was opened;
// bytes is emptied unless the result is Read.
template <class ReadChunk>
FileReadResult ReadInChunks(ReadChunk readChunk, uint64_t maxBytes, std::string& bytes) {
    char buffer[16384];
    for (int64_t count; (count = readChunk(buffer, sizeof buffer)) != 0;) {
        if (count < 0 || bytes.size() + static_cast<uint64_t>(count) > maxBytes) {
            bytes.clear();
            return count < 0 ? FileReadResult::Unreadable : FileReadResult::TooLarge;
        }
        bytes.append(buffer, static_cast<size_t>(count));
    }
    return FileReadResult::Read;
}
