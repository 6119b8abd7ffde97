#include "tests/pack/test_image.h"

#include "pack/bytes.h"

std::string TestImage(const std::vector<Resource>& resources, const std::string& certificate) {
    constexpr std::size_t Pe = 0x80, Optional = Pe + 24, Directories = Optional + 112;
    std::string image(0x400, '\0');
    image.replace(0, 2, "MZ");
    image.replace(Pe, 4, std::string("PE\0\0", 4));
    for (const auto& [at, value] : {std::pair{Pe + 6, 3}, {Pe + 20, 240}, {Optional, 0x20B}})
        Put16(image, at, value);
    // The header's offset; section and file alignment; SizeOfHeaders; 16 directories.
    for (const auto& [at, value] : {std::pair{std::size_t{0x3C}, Pe},
                                    {Optional + 32, 0x1000},
                                    {Optional + 36, 0x200},
                                    {Optional + 60, 0x400},
                                    {Optional + 108, 16}})
        Put32(image, at, static_cast<std::uint32_t>(value));
    std::string reloc;  // one block: page 0x1000, a 64-bit fixup at 8, padding
    for (const std::uint32_t field : {0x1000u, 12u, 0xA008u}) Append32(reloc, field);
    reloc.resize(12);
    const std::string sections[] = {std::string(16, '\xC3'), ResourceSection(resources, 0x2000),
                                    reloc};
    std::uint32_t address = 0x1000;
    for (std::size_t i = 0; i < 3; ++i) {
        const std::size_t header = Optional + 240 + i * 40;
        const auto size = static_cast<std::uint32_t>(sections[i].size());
        for (const auto& [at, value] : {std::pair{8, size},
                                        {12, address},
                                        {16, (size + 0x1FF) & ~0x1FFu},
                                        {20, static_cast<std::uint32_t>(image.size())}})
            Put32(image, header + at, value);
        image += sections[i];
        image.resize((image.size() + 0x1FF) & ~std::size_t{0x1FF}, '\0');
        if (i > 0) {  // the resource and relocation directories
            Put32(image, Directories + (i == 1 ? 16 : 40), address);
            Put32(image, Directories + (i == 1 ? 20 : 44), size);
        }
        address = (address + size + 0xFFF) & ~0xFFFu;
    }
    Put32(image, Optional + 56, address);  // SizeOfImage
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
    for (const std::uint32_t field : {0u, 1u, 1u, 0x2020u, 0u, 1u, 32u}) Append16(group, field);
    Append32(group, 40);
    Append16(group, 1);
    return {{{L"", IconType}, {L"", 1}, {L"", 0x409}, 0, std::string(40, 'i')},
            {{L"", IconGroupType}, {L"MAINICON", 0}, {L"", 0x409}, 0, group},
            {{L"", VersionType}, {L"", 1}, {L"", 0x409}, 0, "old version"},
            {{L"", ManifestType}, {L"", 1}, {L"", 0x409}, 0, "<assembly/>"}};
}
