// A test double of the browser control's loader library, built from the
// binary interface alone, so the real host runs end to end without a browser.
//
// Scenario: "loader-scenario.json" in this DLL's own folder (missing or
// unreadable: every default). Keys:
//   "runtime"        bool, default true: an installed runtime is present.
//   "runtimeMarker"  path, absolute or relative to this DLL's folder: when
//                    given, a runtime is present also while that file exists.
//   "fixedRuntime"   bool: whether a runtime is present in a given folder
//                    ("webview2" in fixed mode); when absent a folder is
//                    judged exactly like the installed runtime.
//   "version"        text, default "120.0.2210.91".
//
// Transcript: "loader-transcript.txt" beside this DLL, UTF-8, one line per
// call the host makes, appended and flushed at once (the host may die at any
// point). A line is the call's name, then its arguments as name=value, then
// " -> " and what the double answered. Texts are written in double quotes
// with \\, \", \n, \r, \t and \xNN escapes; a null text is written null;
// HRESULTs as 0x%08X.
//   GetAvailableCoreWebView2BrowserVersionString folder=null -> 0x00000000 version="120.0.2210.91"
//   GetAvailableCoreWebView2BrowserVersionString folder="webview2" -> 0x80070002 version=null
#include <windows.h>
#include <objbase.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/webview2.h"

namespace {

std::wstring OwnFolder() {
    HMODULE self = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&OwnFolder), &self);
    wchar_t buffer[32768];
    const DWORD n = GetModuleFileNameW(self, buffer, 32768);
    std::wstring path(buffer, n);
    return path.substr(0, path.rfind(L'\\') + 1);
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& text) {
    if (text.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

// A text as the transcript writes it.
std::string Quote(const wchar_t* text) {
    if (!text) return "null";
    std::string out = "\"";
    for (char c : Utf8(text)) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\x%02X",
                                  static_cast<unsigned char>(c));
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string Hex(HRESULT value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

void Record(const std::string& line) {
    const std::wstring path = OwnFolder() + L"loader-transcript.txt";
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::string bytes = line + "\n";
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    FlushFileBuffers(file);
    CloseHandle(file);
}

nlohmann::json Scenario() {
    std::ifstream in((OwnFolder() + L"loader-scenario.json").c_str(), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    const auto parsed = nlohmann::json::parse(text, nullptr, false);
    return parsed.is_object() ? parsed : nlohmann::json::object();
}

bool FileThere(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool RuntimePresent(const nlohmann::json& scenario, PCWSTR folder) {
    if (folder && scenario.contains("fixedRuntime") && scenario["fixedRuntime"].is_boolean())
        return scenario["fixedRuntime"].get<bool>();
    bool present = scenario.value("runtime", true);
    if (!present && scenario.contains("runtimeMarker") && scenario["runtimeMarker"].is_string()) {
        std::wstring marker = Wide(scenario["runtimeMarker"].get<std::string>());
        const bool absolute = (marker.size() > 1 && marker[1] == L':') ||
                              (marker.size() > 1 && marker[0] == L'\\' && marker[1] == L'\\');
        if (!absolute) marker = OwnFolder() + marker;
        present = FileThere(marker);
    }
    return present;
}

wchar_t* TaskMemCopy(const std::wstring& text) {
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
    if (copy) memcpy(copy, text.c_str(), bytes);
    return copy;
}

}  // namespace

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE
    GetAvailableCoreWebView2BrowserVersionString(PCWSTR browserExecutableFolder,
                                                 LPWSTR* versionInfo) {
    const auto scenario = Scenario();
    HRESULT result = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    wchar_t* version = nullptr;
    if (RuntimePresent(scenario, browserExecutableFolder)) {
        std::string text = "120.0.2210.91";
        if (scenario.contains("version") && scenario["version"].is_string())
            text = scenario["version"].get<std::string>();
        version = TaskMemCopy(Wide(text));
        result = S_OK;
    }
    Record("GetAvailableCoreWebView2BrowserVersionString folder=" + Quote(browserExecutableFolder) +
           " -> " + Hex(result) + " version=" + Quote(version));
    if (versionInfo)
        *versionInfo = version;
    else
        CoTaskMemFree(version);
    return result;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE CreateCoreWebView2EnvironmentWithOptions(
    PCWSTR browserExecutableFolder, PCWSTR userDataFolder, ICoreWebView2EnvironmentOptions*,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler*) {
    Record("CreateCoreWebView2EnvironmentWithOptions folder=" + Quote(browserExecutableFolder) +
           " userDataFolder=" + Quote(userDataFolder) + " -> " + Hex(E_NOTIMPL));
    return E_NOTIMPL;
}
