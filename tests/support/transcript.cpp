#include "tests/support/transcript.h"

#include <cstdio>

#include "platform/text.h"

std::string QuoteBytes(const std::string& bytes) {
    std::string out = "\"";
    for (char c : bytes) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20 || u == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string TranscriptQuote(const std::wstring& text) {
    return QuoteBytes(WideToUtf8(text));
}

void AppendLine(const std::wstring& path, const std::string& line) {
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::string bytes = line + "\n";
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    FlushFileBuffers(file);
    CloseHandle(file);
}

std::string Hex(HRESULT value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

void Fnv1aHash::Add(const char* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i)
        value_ = (value_ ^ static_cast<unsigned char>(bytes[i])) * 1099511628211ull;
}

std::string Fnv1aHash::Text() const {
    char text[20];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value_));
    return text;
}

std::string Fnv1a(const std::string& bytes) {
    Fnv1aHash hash;
    hash.Add(bytes.data(), bytes.size());
    return hash.Text();
}
