// Rules for names that become one component of a Windows path.
#pragma once

#include <string_view>

// Whether Windows opens a device for this path component in any folder and
// with any extension ("con", "con.txt", "Com1 .png", "LPT²").
bool IsReservedDeviceName(std::wstring_view component);

// Whether name names exactly one folder directly inside another on Windows:
// not blank, not "." or "..", no separator, drive or stream colon, wildcard,
// quote, angle bracket, pipe or control character, no trailing dot or space,
// not a reserved device name, and at most 255 units long.
bool NamesOneFolder(std::wstring_view name);
