#include "platform/shared_library.h"

#include <windows.h>

#include "platform/text.h"

// The system's text for error, without its line break, and its number.
static std::string SystemErrorText(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text ? text : L"", length);
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L' ' || message.back() == L'.'))
        message.pop_back();
    return (message.empty() ? "" : WideToUtf8(message) + " ") + "(Win32 error " +
           std::to_string(error) + ")";
}

static bool IsFullPath(const std::wstring& path) {
    const bool drive = path.size() > 2 && path[1] == L':' && path[2] == L'\\';
    return drive || path.rfind(L"\\\\", 0) == 0;
}

bool SharedLibrary::Load(const std::wstring& path) {
    Unload();
    if (!IsFullPath(path)) {
        error_ = "not a full path: " + WideToUtf8(path);
        return false;
    }
    // A library that is broken, or lacks a dependency, must fail the call,
    // not stop the start behind a system box.
    DWORD oldMode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &oldMode);
    // Its dependencies come from its own folder and the system's, never the
    // current directory.
    HMODULE module = LoadLibraryExW(
        path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    DWORD error = module ? 0 : GetLastError();
    // A system without those flags (Windows 7 before its 2011 update) refuses
    // them; the altered search path starts from the library's folder too.
    if (!module && error == ERROR_INVALID_PARAMETER) {
        module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        error = module ? 0 : GetLastError();
    }
    SetThreadErrorMode(oldMode, nullptr);
    handle_ = module;
    error_ = module ? "" : SystemErrorText(error);
    return module != nullptr;
}

void* SharedLibrary::Find(const char* name) const {
    if (!handle_) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void SharedLibrary::Unload() {
    if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
    handle_ = nullptr;
}
