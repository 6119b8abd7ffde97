// Text conversion and the few paths every part shares. std::wstring holds
// UTF-16 code units on every platform; UTF-8 is used only for JSON texts.
#pragma once

#include <string>
#include <string_view>

// The host's own name on this platform: the caption of the boxes shown
// before the app's title is known, and the title of an app that names none.
extern const wchar_t* const DefaultTitle;

// UTF-8 to UTF-16. Ill-formed input becomes U+FFFD replacement characters;
// empty input, or input the platform refuses, gives an empty string.
std::wstring Utf8ToWide(const std::string& text);

// UTF-16 to UTF-8. Unpaired surrogates become U+FFFD.
std::string WideToUtf8(const std::wstring& text);

// A whole number in decimal. Not std::to_wstring: on Windows that brings in
// the C library's whole wide printf, 10 KiB of the executable.
template <typename Integer>
std::wstring WideDecimal(Integer value) {
    const std::string digits = std::to_string(value);
    return std::wstring(digits.begin(), digits.end());
}

// The UTF-8 sequence at the start of bytes (not empty), by the Unicode rules
// (table 3-7: no overlong forms, no surrogates, nothing past U+10FFFF): its
// code point and length when well formed; else the length of its maximal
// ill-formed subpart, at least 1, which a reader replaces with one U+FFFD.
struct Utf8Sequence {
    bool valid = false;
    char32_t codePoint = 0;
    size_t length = 1;
};
Utf8Sequence ReadUtf8Sequence(std::string_view bytes);

// Appends a code point as UTF-16: one unit, or a surrogate pair past U+FFFF.
void AppendUtf16(std::wstring& text, char32_t codePoint);

// The canonical full path of the running executable, read whole however long
// it is, with "." and ".." segments removed. Cached after the first call.
std::wstring GetExecutablePath();

// The folder under which each app keeps its data, without a trailing
// backslash: %LOCALAPPDATA% on Windows; on Linux $XDG_DATA_HOME when it is
// absolute, else ~/.local/share. Empty when there is none. Cached after the
// first call.
std::wstring GetUserDataHome();

// The Windows "Saved Games" known folder, without a trailing backslash.
// Empty where there is none: on Linux, or when Windows can't say.
std::wstring GetSavedGamesHome();

// A path as the platform writes it (on POSIX with slashes), for the log.
std::wstring PathForDisplay(const std::wstring& path);

// The path up to and including its last backslash; a path without one is
// taken whole.
std::wstring FolderOfPath(const std::wstring& path);

// localAppData + "\\" + name, the name used verbatim as one component.
std::wstring ComposeUserDataFolder(const std::wstring& localAppData, const std::wstring& name);

// Whether both texts are equal with ASCII letters compared in any case; other
// units must match exactly. Schemes, hosts and device names compare so.
bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b);
