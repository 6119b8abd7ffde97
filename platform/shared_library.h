// A library the app ships beside the executable, loaded by its full path so
// that neither a search path nor the current directory can supply another
// copy, and its exports looked up by name, each of which may be missing.
// Windows: LoadLibraryExW, the library's own dependencies taken from its
// folder and the system's. POSIX: dlopen.
#pragma once

#include <string>

class SharedLibrary {
public:
    SharedLibrary() = default;
    ~SharedLibrary() { Unload(); }
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // Loads the library at path, a full path in the host's backslash form,
    // after unloading one loaded before. False when it can't be loaded (a
    // relative path included); error() then says why in the system's words.
    bool Load(const std::wstring& path);
    bool Loaded() const { return handle_ != nullptr; }
    // The export called name, or null when the library has none (or none is
    // loaded).
    void* Find(const char* name) const;
    void Unload();

    const std::string& error() const { return error_; }

private:
    void* handle_ = nullptr;
    std::string error_;
};
