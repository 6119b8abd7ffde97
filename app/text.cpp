#include "app/text.h"

std::wstring ExeFolder;

std::wstring FolderOfPath(const std::wstring& path) {
    const auto slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(0, slash + 1);
}

std::wstring ComposeUserDataFolder(const std::wstring& localAppData, const std::wstring& name) {
    return localAppData + L"\\" + name;
}
