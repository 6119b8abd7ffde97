// The installer's signature as the system judges it: the trust result of the
// whole chain and the organisation its signing certificate names.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct InstallerSignature {
    std::uint32_t trustResult = 0;
    std::wstring signerOrganisation;  // empty when unsigned or unnamed
};

// Checks the file at path, open as file for reading and shared with no
// writer, so it can't change between the check and its start. No window is
// shown; revocation is checked for the whole chain, with the system's own
// policy for a revocation server that can't be reached.
InstallerSignature CheckInstallerSignature(const std::wstring& path, HANDLE file);
