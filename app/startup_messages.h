// The texts of the startup failures, the same on every host.
#pragma once

#include <string>

inline const wchar_t* const LoadFailedMessage =
    L"Failed to load package.json. Check the file is in the same folder as the app.";
inline const wchar_t* const ParseFailedMessage =
    L"Failed to parse package.json. Check the file has valid JSON and that all parameters are "
    L"correct.";

// The start page is a file of www, or the window would only ever say "File
// not found".
inline std::wstring MissingStartPageMessage(const std::wstring& main) {
    return L"The start page \"" + main + L"\" named in package.json is not in the www folder.";
}
