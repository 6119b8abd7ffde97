// The origin every app file is served under. It never changes between
// releases, so what the page stores under it survives updates.
#pragma once

#include <cstddef>

constexpr wchar_t AppOrigin[] = L"https://lanternshell.localhost/";
constexpr size_t AppOriginLength = sizeof AppOrigin / sizeof AppOrigin[0] - 1;
