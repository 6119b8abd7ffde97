#include "platform/runtime_folder.h"

#include "platform/text.h"

const wchar_t* const TargetCompatibleBrowserVersion = L"113.0.1774.30";

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

std::wstring WithoutTrailingSeparators(const std::wstring& path) {
    size_t end = path.size();
    while (end > 0 && IsSeparator(path[end - 1])) --end;
    return path.substr(0, end);
}

}  // namespace

bool ParseBrowserVersion(const std::wstring& text, BrowserVersion& version) {
    BrowserVersion parsed{};
    size_t part = 0, digits = 0;
    uint64_t value = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == L'.') {
            if (digits == 0 || part == parsed.size()) return false;
            parsed[part++] = static_cast<uint32_t>(value);
            value = 0;
            digits = 0;
        } else if (text[i] >= L'0' && text[i] <= L'9') {
            value = value * 10 + static_cast<uint64_t>(text[i] - L'0');
            if (value > UINT32_MAX) return false;
            ++digits;
        } else {
            return false;
        }
    }
    if (part != parsed.size()) return false;
    version = parsed;
    return true;
}

std::wstring BrowserVersionText(const BrowserVersion& version) {
    std::wstring text;
    for (size_t i = 0; i < version.size(); ++i) {
        if (i) text += L'.';
        text += WideDecimal(version[i]);
    }
    return text;
}

bool IsUsableBrowserVersion(const std::wstring& text) {
    BrowserVersion version{}, target{};
    ParseBrowserVersion(TargetCompatibleBrowserVersion, target);
    return ParseBrowserVersion(text, version) && version >= target;
}

bool IsFullPath(const std::wstring& path) {
    const bool drive =
        path.size() >= 3 &&
        ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
        path[1] == L':' && IsSeparator(path[2]);
    const bool unc =
        path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]) && !IsSeparator(path[2]);
    return drive || unc;
}

std::wstring ResolveRuntimeFolder(const std::wstring& exeFolder, const std::wstring& folder) {
    return IsFullPath(folder) ? folder : exeFolder + folder;
}

std::wstring ClientLibraryPath(const std::wstring& runtimeFolder) {
    return WithoutTrailingSeparators(runtimeFolder) +
           L"\\EBWebView\\x64\\EmbeddedBrowserWebView.dll";
}

std::wstring LastPathComponent(const std::wstring& folder) {
    const std::wstring trimmed = WithoutTrailingSeparators(folder);
    size_t start = trimmed.size();
    while (start > 0 && !IsSeparator(trimmed[start - 1])) --start;
    return trimmed.substr(start);
}
