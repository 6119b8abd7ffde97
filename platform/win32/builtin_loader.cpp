#include "platform/win32/builtin_loader.h"

#include <vector>

#include "platform/runtime_folder.h"
#include "platform/win32/com.h"

const wchar_t* const InstalledRuntimeKey =
    L"SOFTWARE\\Microsoft\\EdgeUpdate\\ClientState\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";

namespace {

bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The REG_SZ "EBWebView" of the runtime key under root; empty when missing.
std::wstring RegisteredRuntimeFolder(HKEY root) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, InstalledRuntimeKey, 0, KEY_READ | KEY_WOW64_32KEY, &key) !=
        ERROR_SUCCESS)
        return {};
    std::wstring folder;
    DWORD bytes = 0;
    if (RegGetValueW(key, nullptr, L"EBWebView", RRF_RT_REG_SZ, nullptr, nullptr, &bytes) ==
            ERROR_SUCCESS &&
        bytes >= sizeof(wchar_t)) {
        std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1);
        bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        if (RegGetValueW(key, nullptr, L"EBWebView", RRF_RT_REG_SZ, nullptr, buffer.data(),
                         &bytes) == ERROR_SUCCESS)
            folder = buffer.data();
    }
    RegCloseKey(key);
    return folder;
}

// The file version of a library's VERSIONINFO, as four numbers; empty when it
// has none.
std::wstring FileVersion(const std::wstring& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return {};
    std::vector<unsigned char> data(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return {};
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
        length < sizeof(VS_FIXEDFILEINFO) || info->dwSignature != 0xFEEF04BD)
        return {};
    return BrowserVersionText({HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                               HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS)});
}

bool FindInstalledRuntime(BrowserRuntime& runtime) {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        const std::wstring folder = RegisteredRuntimeFolder(root);
        // A relative folder would depend on the current directory.
        if (!IsFullPath(folder)) continue;
        const std::wstring version = LastPathComponent(folder);
        const std::wstring library = ClientLibraryPath(folder);
        if (!IsUsableBrowserVersion(version) || !IsFile(library)) continue;
        runtime = {library, version, InstalledRuntime};
        return true;
    }
    return false;
}

bool FindFixedRuntime(const std::wstring& exeFolder, const std::wstring& folder,
                      BrowserRuntime& runtime) {
    const std::wstring library = ClientLibraryPath(ResolveRuntimeFolder(exeFolder, folder));
    if (!IsFullPath(library) || !IsFile(library)) return false;
    const std::wstring version = FileVersion(library);
    if (!IsUsableBrowserVersion(version)) return false;
    runtime = {library, version, FixedRuntime};
    return true;
}

}  // namespace

std::wstring FileVersionOf(const std::wstring& path) {
    return FileVersion(path);
}

bool FindBrowserRuntime(const std::wstring& exeFolder, PCWSTR browserExecutableFolder,
                        BrowserRuntime& runtime) {
    if (!browserExecutableFolder || !*browserExecutableFolder) return FindInstalledRuntime(runtime);
    return FindFixedRuntime(exeFolder, browserExecutableFolder, runtime);
}

HRESULT BuiltinGetAvailableBrowserVersionString(const std::wstring& exeFolder,
                                                PCWSTR browserExecutableFolder,
                                                LPWSTR* versionInfo) {
    if (!versionInfo) return E_POINTER;
    *versionInfo = nullptr;
    BrowserRuntime runtime;
    if (!FindBrowserRuntime(exeFolder, browserExecutableFolder, runtime))
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    return CopyToCoTaskMem(runtime.version.c_str(), versionInfo);
}

HRESULT BuiltinCreateEnvironmentWithOptions(
    const std::wstring& exeFolder, PCWSTR browserExecutableFolder, PCWSTR userDataFolder,
    ICoreWebView2EnvironmentOptions* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler) {
    if (!environmentCreatedHandler) return E_POINTER;
    BrowserRuntime runtime;
    if (!FindBrowserRuntime(exeFolder, browserExecutableFolder, runtime))
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    // The full path alone decides which library loads; the altered search
    // lets the library find its own companions in its folder.
    HMODULE library =
        LoadLibraryExW(runtime.clientLibrary.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!library) {
        const DWORD error = GetLastError();
        return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    const auto create = reinterpret_cast<CreateWebViewEnvironmentWithOptionsInternalFunction>(
        reinterpret_cast<void*>(
            GetProcAddress(library, "CreateWebViewEnvironmentWithOptionsInternal")));
    if (!create) {
        FreeLibrary(library);
        return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    }
    // The library stays loaded: the environment and its callbacks live in it.
    return create(true, runtime.type, userDataFolder, environmentOptions,
                  environmentCreatedHandler);
}
