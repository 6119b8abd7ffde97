// The POSIX side keeps paths in the host's backslash form, like Win32, and
// turns them into native UTF-8 paths only at the system call.
#pragma once

#include <string>

std::string ToNativePath(const std::wstring& path);
