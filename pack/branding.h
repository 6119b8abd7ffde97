// The game's own icon and version information in a copy of the host's
// executable: the resources Explorer, the taskbar and Task Manager show.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "pack/pe_image.h"

// One image of an icon as a resource holds it: a bitmap as an .ico file
// stores it, or a whole PNG file.
struct IconImage {
    std::uint8_t width = 0;  // 0 for 256 pixels or more
    std::uint8_t height = 0;
    std::uint8_t colors = 0;
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 32;
    std::string data;
};

// The images of an .ico file, or a .png file as one image. False, with why
// in error, when the bytes are not such a file.
bool ReadIconFile(const std::string& bytes, bool png, std::vector<IconImage>& images,
                  std::string& error);

struct Branding {
    std::vector<IconImage> icon;  // none: the executable keeps its own
    std::uint16_t version[4] = {0, 0, 0, 0};
    // The version strings ("FileDescription", "CompanyName"...), in order.
    std::vector<std::pair<std::wstring, std::wstring>> strings;
};

// A version resource (VS_VERSIONINFO) with these numbers as file and
// product version, and these strings for US English in UTF-16.
std::string VersionResource(const std::uint16_t (&version)[4],
                            const std::vector<std::pair<std::wstring, std::wstring>>& strings);

// Replaces the image's icon group "MAINICON" with its images, and its
// version resource; the application manifest and everything else stay. False,
// with why in error, when the image has no such icon group.
bool Brand(PeImage& image, const Branding& branding, std::string& error);
