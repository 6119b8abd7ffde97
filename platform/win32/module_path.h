// The full path of a loaded module, for the executable and the tests that
// load libraries from odd places.
#pragma once

#include <string>

// The canonical full path of module (an HMODULE; null is the executable),
// read whole however long it is, with "." and ".." segments removed.
std::wstring GetModulePath(void* module);
