// Text conversion and the few paths every part shares. std::wstring holds
// UTF-16 code units on every platform; UTF-8 is used only for JSON texts.
#pragma once

#include <string>
#include <string_view>

// UTF-8 to UTF-16. Ill-formed input becomes U+FFFD replacement characters;
// empty input, or input the platform refuses, gives an empty string.
std::wstring Utf8ToWide(const std::string& text);

// UTF-16 to UTF-8. Unpaired surrogates become U+FFFD.
std::string WideToUtf8(const std::wstring& text);

// The canonical full path of the running executable, read whole however long
// it is, with "." and ".." segments removed. Cached after the first call.
std::wstring GetExecutablePath();

// The user's local application data folder, without a trailing backslash.
// Cached after the first call.
std::wstring GetLocalAppDataFolder();

// The path up to and including its last backslash; a path without one is
// taken whole.
std::wstring FolderOfPath(const std::wstring& path);

// localAppData + "\\" + name, the name used verbatim as one component.
std::wstring ComposeUserDataFolder(const std::wstring& localAppData, const std::wstring& name);

// Whether both texts are equal with ASCII letters compared in any case; other
// units must match exactly. Schemes, hosts and device names compare so.
bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b);
