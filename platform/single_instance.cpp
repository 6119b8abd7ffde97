#include "platform/single_instance.h"

#include <cstdio>

#include "platform/text.h"

std::string InstanceKey(const std::wstring& comparableFolder) {
    std::wstring folder = comparableFolder;
    while (folder.size() > 1 && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const char byte : WideToUtf8(folder)) {
        hash ^= static_cast<unsigned char>(byte);
        hash *= 0x100000001b3ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}
