#include "platform/files.h"

bool CreateFolderTree(const std::wstring& path) {
    // Each parent in turn; those that exist already (the root, a drive)
    // are passed over.
    for (size_t at = path.find(L'\\', 1); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        CreateFolder(path.substr(0, at));
    return CreateFolder(path);
}
