// A small PE32+ image laid out as the linker lays out the host's: headers,
// code, resources, then base relocations, each section aligned; and the
// rules any image must keep, read back from its headers.
#pragma once

#include <string>
#include <vector>

#include "pack/pe_image.h"

constexpr std::uint32_t TestSectionAlignment = 0x1000;
constexpr std::uint32_t TestFileAlignment = 0x200;

// With certificate appended as a signature's table when not empty.
std::string TestImage(const std::vector<Resource>& resources, const std::string& certificate = {});

// The resources a host executable holds: the icon group MAINICON with one
// image, a version and the application manifest.
std::vector<Resource> HostResources();

struct TestSection {
    std::string name;
    std::uint32_t virtualSize, virtualAddress, rawSize, rawPointer;
};
std::vector<TestSection> SectionsOf(const std::string& image);

// Alignment, contiguous addresses, SizeOfImage, the resource and relocation
// directories, the checksum, no certificate table and nothing past the
// last section.
void ExpectWellFormed(const std::string& image);
