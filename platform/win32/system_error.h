// How a failed system call reads in the log.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// "failed: <operation> (Win32 error N)", N being GetLastError's unless given.
inline std::string Win32Failure(std::string_view operation, DWORD error = GetLastError()) {
    return "failed: " + std::string(operation) + " (Win32 error " + std::to_string(error) + ")";
}
