// Rewriting the resources of a Windows executable (a PE/COFF image) in
// portable code, so that branding needs no Windows tool and runs on any
// build server. Only the resource section changes; the sections after it
// that nothing but a data directory points at (the base relocations) move
// up behind it, and the headers follow: section sizes, SizeOfImage, the
// checksum. A certificate table is dropped, since the signature could no
// longer match.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A resource type, name or language: a name when name is not empty, else
// the number id.
struct ResourceId {
    std::wstring name;
    std::uint16_t id = 0;
};
bool operator==(const ResourceId& a, const ResourceId& b);
// The order of a resource directory: names (by their UTF-16 units) before
// numbers (ascending).
bool operator<(const ResourceId& a, const ResourceId& b);

// The usual resource types.
constexpr std::uint16_t IconType = 3;
constexpr std::uint16_t IconGroupType = 14;
constexpr std::uint16_t VersionType = 16;
constexpr std::uint16_t ManifestType = 24;

struct Resource {
    ResourceId type;
    ResourceId name;
    ResourceId language;
    std::uint32_t codePage = 0;
    std::string data;
};

class PeImage {
public:
    // Reads the image and its resources. False, with why in error, when it is
    // no PE image, or one whose layout this rewrite would break.
    bool Load(std::string bytes, std::string& error);

    // Whether the image carried a certificate table (a signature).
    bool Signed() const { return certificateSize_ != 0; }

    // Every resource, in directory order; change them at will before Write.
    std::vector<Resource> resources;

    // The image with resources as its resource section, no certificate
    // table, and consistent headers and checksum.
    std::string Write() const;

private:
    struct Section {
        std::size_t header;  // the offset of its section header
        std::uint32_t virtualSize, virtualAddress, rawSize, rawPointer;
    };
    std::string bytes_;
    std::size_t optionalHeader_ = 0;
    std::size_t directories_ = 0;  // the offset of the data directories
    std::uint32_t fileAlignment_ = 0, sectionAlignment_ = 0;
    std::vector<Section> sections_;
    std::size_t resourceSection_ = 0;  // its index in sections_
    std::uint32_t certificateSize_ = 0;
    std::size_t imageEnd_ = 0;  // the end of the last section's raw data
};

// The image's checksum as the loader computes it: the 16-bit one's
// complement sum of the file, its checksum field (at checksumOffset) read
// as zero, plus the file's length.
std::uint32_t ImageChecksum(const std::string& image, std::size_t checksumOffset);

// The resource section for resources at virtual address base.
std::string ResourceSection(std::vector<Resource> resources, std::uint32_t base);
