// Text and path utilities on Win32.
#include "platform/text.h"
#include "platform/win32/module_path.h"

#include <windows.h>
#include <shlobj.h>

const wchar_t* const DefaultTitle = L"Windows Lanternshell";

std::wstring Utf8ToWide(const std::string& text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    if (units <= 0) return {};
    std::wstring result(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, result.data(), units);
    return result;
}

std::string WideToUtf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return {};
    std::string result(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, result.data(), bytes, nullptr, nullptr);
    return result;
}

// A deep install folder can exceed MAX_PATH, so the buffer grows until the
// whole path fits; a truncated path would never find the manifest.
static std::wstring ReadModulePath(HMODULE module) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        if (buffer.size() >= 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
}

// GetFullPathNameW removes "." and ".." segments and has no MAX_PATH limit.
static std::wstring Canonicalise(const std::wstring& path) {
    if (path.empty()) return path;
    DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return path;
    std::wstring result(needed, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), needed, result.data(), nullptr);
    if (length == 0 || length >= needed) return path;
    result.resize(length);
    return result;
}

std::wstring GetModulePath(void* module) {
    return Canonicalise(ReadModulePath(static_cast<HMODULE>(module)));
}

std::wstring GetExecutablePath() {
    static std::wstring executablePath;
    if (executablePath.empty()) executablePath = GetModulePath(nullptr);
    return executablePath;
}

// A known folder's path; empty when Windows can't say.
static std::wstring KnownFolder(REFKNOWNFOLDERID id) {
    std::wstring path;
    PWSTR folder = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &folder)) && folder) path = folder;
    CoTaskMemFree(folder);
    return path;
}

std::wstring GetUserDataHome() {
    static std::wstring localAppDataFolder;
    if (localAppDataFolder.empty()) localAppDataFolder = KnownFolder(FOLDERID_LocalAppData);
    return localAppDataFolder;
}

std::wstring GetSavedGamesHome() {
    return KnownFolder(FOLDERID_SavedGames);
}

std::wstring PathForDisplay(const std::wstring& path) {
    return path;
}
