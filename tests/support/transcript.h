// The notation of the browser control double's transcript, shared by the
// double that writes it and the tests that read it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

// Bytes in double quotes, with backslash escapes for quotes, backslashes and
// control characters.
std::string QuoteBytes(const std::string& bytes);
// A text as UTF-8 in that notation.
std::string TranscriptQuote(const std::wstring& text);
// An HRESULT as 0x%08X.
std::string Hex(HRESULT value);

// Appends line and a line feed to the file at path, flushed at once: the
// program writing it may end at any point.
void AppendLine(const std::wstring& path, const std::string& line);

// The 64-bit FNV-1a hash, fed in pieces, written as 16 lower-case hex digits.
class Fnv1aHash {
public:
    void Add(const char* bytes, size_t count);
    std::string Text() const;

private:
    uint64_t value_ = 1469598103934665603ull;
};
std::string Fnv1a(const std::string& bytes);
