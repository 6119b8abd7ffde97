#include "platform/shared_library.h"

#include <dlfcn.h>

#include "platform/posix/native_path.h"

bool SharedLibrary::Load(const std::wstring& path) {
    Unload();
    const std::string native = ToNativePath(path);
    // dlopen searches for a name without a slash and takes a relative path
    // from the current directory: only a full path names one file.
    if (native.empty() || native[0] != '/') {
        error_ = "not a full path: " + native;
        return false;
    }
    handle_ = dlopen(native.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_) {
        error_.clear();
        return true;
    }
    const char* why = dlerror();
    error_ = why ? why : "dlopen failed";
    return false;
}

void* SharedLibrary::Find(const char* name) const {
    return handle_ ? dlsym(handle_, name) : nullptr;
}

void SharedLibrary::Unload() {
    if (handle_) dlclose(handle_);
    handle_ = nullptr;
}
