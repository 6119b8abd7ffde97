#include "platform/files.h"

#include <cstdint>

bool CreateFolderTree(const std::wstring& path) {
    // Each parent in turn; those that exist already (the root, a drive)
    // are passed over.
    for (size_t at = path.find(L'\\', 1); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        CreateFolder(path.substr(0, at));
    return CreateFolder(path);
}

std::string ReadWholeFile(const std::wstring& path) {
    std::string bytes;
    ReadWholeFile(path, UINT64_MAX, bytes);
    return bytes;
}

bool WriteFileReplacing(const std::wstring& path, const std::string& bytes) {
    std::string failure;
    return WriteFileDurably(path, bytes, {}, failure);
}
