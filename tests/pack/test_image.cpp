#include "tests/pack/test_image.h"

#include <gtest/gtest.h>

#include "pack/bytes.h"

namespace {

constexpr std::size_t Pe = 0x80, Optional = Pe + 24, Directories = Optional + 112;
constexpr std::size_t Table = Optional + 240;

std::uint32_t Align(std::uint32_t value, std::uint32_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

}  // namespace

std::string TestImage(const std::vector<Resource>& resources, const std::string& certificate) {
    std::string image(0x400, '\0');
    image.replace(0, 2, "MZ");
    Put32(image, 0x3C, Pe);
    image.replace(Pe, 4, std::string("PE\0\0", 4));
    Put16(image, Pe + 4, 0x8664);
    Put16(image, Pe + 6, 3);
    Put16(image, Pe + 20, 240);
    Put16(image, Optional, 0x20B);
    Put32(image, Optional + 32, TestSectionAlignment);
    Put32(image, Optional + 36, TestFileAlignment);
    Put32(image, Optional + 60, 0x400);
    Put32(image, Optional + 108, 16);

    const std::string rsrc = ResourceSection(resources, 0x2000);
    std::string reloc;  // one block: page 0x1000, a 64-bit fixup at 8, padding
    for (const std::uint32_t field : {0x1000u, 12u}) Append32(reloc, field);
    Append16(reloc, 0xA008);
    Append16(reloc, 0);
    const std::uint32_t relocAddress =
        Align(0x2000 + static_cast<std::uint32_t>(rsrc.size()), 0x1000);
    const struct {
        const char* name;
        std::string data;
        std::uint32_t address;
    } sections[] = {{".text", std::string(16, '\xC3'), 0x1000},
                    {".rsrc", rsrc, 0x2000},
                    {".reloc", reloc, relocAddress}};
    for (std::size_t i = 0; i < 3; ++i) {
        const std::size_t header = Table + i * 40;
        image.replace(header, std::string(sections[i].name).size(), sections[i].name);
        Put32(image, header + 8, static_cast<std::uint32_t>(sections[i].data.size()));
        Put32(image, header + 12, sections[i].address);
        Put32(image, header + 16,
              Align(static_cast<std::uint32_t>(sections[i].data.size()), 0x200));
        Put32(image, header + 20, static_cast<std::uint32_t>(image.size()));
        image += sections[i].data;
        image.resize(Align(static_cast<std::uint32_t>(image.size()), 0x200), '\0');
    }
    Put32(image, Directories + 16, 0x2000);
    Put32(image, Directories + 20, static_cast<std::uint32_t>(rsrc.size()));
    Put32(image, Directories + 40, relocAddress);
    Put32(image, Directories + 44, 12);
    Put32(image, Optional + 56, relocAddress + 0x1000);
    if (!certificate.empty()) {
        Put32(image, Directories + 32, static_cast<std::uint32_t>(image.size()));
        Put32(image, Directories + 36, static_cast<std::uint32_t>(certificate.size()));
        image += certificate;
    }
    Put32(image, Optional + 64, ImageChecksum(image, Optional + 64));
    return image;
}

std::vector<Resource> HostResources() {
    std::string group;
    for (const std::uint32_t field : {0u, 1u, 1u}) Append16(group, field);
    group += std::string("\x20\x20\0\0", 4);
    Append16(group, 1);
    Append16(group, 32);
    Append32(group, 40);
    Append16(group, 1);
    return {{{L"", IconType}, {L"", 1}, {L"", 0x409}, 0, std::string(40, 'i')},
            {{L"", IconGroupType}, {L"MAINICON", 0}, {L"", 0x409}, 0, group},
            {{L"", VersionType}, {L"", 1}, {L"", 0x409}, 0, "old version"},
            {{L"", ManifestType}, {L"", 1}, {L"", 0x409}, 0, "<assembly/>"}};
}

std::vector<TestSection> SectionsOf(const std::string& image) {
    std::vector<TestSection> sections;
    for (std::size_t i = 0; i < Get16(image, Pe + 6); ++i) {
        const std::size_t at = Table + i * 40;
        sections.push_back({image.substr(at, 8).c_str(), Get32(image, at + 8),
                            Get32(image, at + 12), Get32(image, at + 16), Get32(image, at + 20)});
    }
    return sections;
}

void ExpectWellFormed(const std::string& image) {
    const std::vector<TestSection> sections = SectionsOf(image);
    ASSERT_EQ(sections.size(), 3u);
    std::uint32_t next = 0x1000;
    for (const TestSection& s : sections) {
        SCOPED_TRACE(s.name);
        EXPECT_EQ(s.virtualAddress, next);
        EXPECT_EQ(s.rawSize % TestFileAlignment, 0u);
        EXPECT_EQ(s.rawPointer % TestFileAlignment, 0u);
        EXPECT_GE(s.rawSize, s.virtualSize);
        next = Align(s.virtualAddress + s.virtualSize, TestSectionAlignment);
    }
    EXPECT_EQ(Get32(image, Optional + 56), next);  // SizeOfImage
    EXPECT_EQ(image.size(), sections.back().rawPointer + sections.back().rawSize);
    EXPECT_EQ(Get32(image, Directories + 16), sections[1].virtualAddress);
    EXPECT_EQ(Get32(image, Directories + 20), sections[1].virtualSize);
    EXPECT_EQ(Get32(image, Directories + 40), sections[2].virtualAddress);
    EXPECT_EQ(Get32(image, Directories + 32), 0u);
    EXPECT_EQ(Get32(image, Directories + 36), 0u);
    EXPECT_EQ(Get32(image, Optional + 64), ImageChecksum(image, Optional + 64));
}
