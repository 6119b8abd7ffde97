// Whole files as the COM streams the browser control reads.
#pragma once

#include <string>

struct IStream;

// A read stream over the whole file, or null when it can't be opened.
IStream* OpenFileStream(const std::wstring& path);
