// A small PE32+ image laid out as the linker lays out the host's: headers,
// code, resources, then base relocations, each section aligned.
#pragma once

#include <string>
#include <vector>

#include "pack/pe_image.h"

// With certificate appended as a signature's table when not empty.
std::string TestImage(const std::vector<Resource>& resources, const std::string& certificate = {});

// What a host executable holds: the icon group MAINICON with its one image,
// a version and the application manifest.
std::vector<Resource> HostResources();
