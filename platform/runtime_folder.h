// Where a browser runtime keeps its client library and whether its version is
// new enough. Plain text logic, so it builds and is tested on both sides.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// The oldest runtime with every interface the host calls.
extern const wchar_t* const TargetCompatibleBrowserVersion;

using BrowserVersion = std::array<uint32_t, 4>;

// Reads exactly four dot-separated decimal numbers ("120.0.2210.91"). Anything
// else (signs, blanks, empty parts, a number past 32 bits) is refused.
bool ParseBrowserVersion(const std::wstring& text, BrowserVersion& version);
std::wstring BrowserVersionText(const BrowserVersion& version);
// Four numbers at least TargetCompatibleBrowserVersion, compared number by
// number. Text that is no version at all is not usable either.
bool IsUsableBrowserVersion(const std::wstring& text);

// "X:\..." or "\\server\...": a path that names one place whatever the
// current directory and drive are.
bool IsFullPath(const std::wstring& path);
// A relative runtime folder belongs to the executable's folder (which ends in
// a backslash), never to the current directory.
std::wstring ResolveRuntimeFolder(const std::wstring& exeFolder, const std::wstring& folder);
// The client library inside a runtime folder (trailing separators ignored).
std::wstring ClientLibraryPath(const std::wstring& runtimeFolder);
// The folder's last component, trailing separators ignored: an installed
// runtime's folder is named after its version.
std::wstring LastPathComponent(const std::wstring& folder);
