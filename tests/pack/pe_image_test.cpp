#include "pack/pe_image.h"

#include <gtest/gtest.h>

#include "pack/bytes.h"
#include "tests/pack/test_image.h"

namespace {

constexpr std::size_t Optional = 0x80 + 24, Directories = Optional + 112, Table = Optional + 240;

std::string Section(const std::string& image, std::size_t index) {
    const std::size_t at = Table + index * 40;
    return image.substr(Get32(image, at + 20), Get32(image, at + 16));
}

// What every image keeps: sections aligned and back to back, SizeOfImage
// and the directories agreeing with them, nothing past them, the checksum.
void ExpectWellFormed(const std::string& image) {
    std::uint32_t next = 0x1000;
    for (std::size_t i = 0; i < 3; ++i) {
        const std::size_t at = Table + i * 40;
        EXPECT_EQ(Get32(image, at + 12), next) << i;
        EXPECT_EQ(Get32(image, at + 16) % 0x200, 0u) << i;
        EXPECT_EQ(Get32(image, at + 20) % 0x200, 0u) << i;
        EXPECT_GE(Get32(image, at + 16), Get32(image, at + 8)) << i;
        next = (Get32(image, at + 12) + Get32(image, at + 8) + 0xFFF) & ~0xFFFu;
    }
    EXPECT_EQ(Get32(image, Optional + 56), next);
    EXPECT_EQ(Get32(image, Directories + 16), Get32(image, Table + 52));  // the resources
    EXPECT_EQ(Get32(image, Directories + 40), Get32(image, Table + 92));  // the relocations
    EXPECT_EQ(image.size(), Get32(image, Table + 100) + Get32(image, Table + 96));
    EXPECT_EQ(Get32(image, Directories + 32) | Get32(image, Directories + 36), 0u);
    EXPECT_EQ(Get32(image, Optional + 64), ImageChecksum(image, Optional + 64));
}

std::vector<std::string> Names(const std::vector<Resource>& resources) {
    std::vector<std::string> names;
    for (const Resource& r : resources)
        names.push_back(std::to_string(r.type.id) + "/" +
                        (r.name.name.empty()
                             ? std::to_string(r.name.id)
                             : std::string(r.name.name.begin(), r.name.name.end())) +
                        "/" + std::to_string(r.language.id) + "=" + std::to_string(r.data.size()));
    return names;
}

TEST(PeImage, ResourcesOfAnySizeKeepTheImageWellFormedAndEverythingElseInPlace) {
    for (const std::size_t iconBytes : {1, 700, 3 * 0x1000 + 5}) {
        for (const std::string certificate : {"", "a signature's table"}) {
            SCOPED_TRACE(std::to_string(iconBytes) + certificate);
            const std::string original = TestImage(HostResources(), certificate);
            PeImage image;
            std::string error;
            ASSERT_TRUE(image.Load(original, error)) << error;
            EXPECT_EQ(image.Signed(), !certificate.empty());
            image.resources[0].data = std::string(iconBytes, 'n');
            image.resources.push_back({{L"", 3}, {L"B", 0}, {L"", 0}, 1252, "named"});
            const std::string written = image.Write();
            ExpectWellFormed(written);
            EXPECT_EQ(Section(written, 0), Section(original, 0));
            EXPECT_EQ(Section(written, 2), Section(original, 2));

            ASSERT_TRUE(image.Load(written, error)) << error;
            EXPECT_FALSE(image.Signed());
            // In directory order: types by number, names before numbers.
            EXPECT_EQ(
                Names(image.resources),
                (std::vector<std::string>{"3/B/0=5", "3/1/1033=" + std::to_string(iconBytes),
                                          "14/MAINICON/1033=20", "16/1/1033=11", "24/1/1033=11"}));
            EXPECT_EQ(image.resources[0].codePage, 1252u);
        }
    }
}

TEST(PeImage, ImagesARewriteWouldBreakAreRefused) {
    const std::string good = TestImage(HostResources());
    const auto changed = [&](std::size_t at, std::uint32_t value) {
        std::string image = good;
        Put32(image, at, value);
        return image;
    };
    const std::size_t resources = Get32(good, Table + 60), relocations = Get32(good, Table + 100);
    const struct {
        std::string image;
        const char* error;
    } cases[] = {
        {std::string(64, 'x'), "not a Windows executable (no MZ header)"},
        {good.substr(0, 0x1A0), "the section table is cut short"},
        {good + "symbols", "data follows the sections (a symbol table?): strip the executable"},
        {changed(Directories + 40, 0),
         "a section other than the relocations follows the resources"},
        {changed(relocations, 0x2000), "relocations name addresses in the resources"},
        {changed(resources + 12, 0xFFFF), "the resource section is damaged"},
    };
    for (const auto& c : cases) {
        PeImage image;
        std::string error;
        EXPECT_FALSE(image.Load(c.image, error));
        EXPECT_EQ(error, c.error);
    }
}

TEST(PeImage, ChecksumFoldsCarriesSkipsItsFieldAndAddsTheLength) {
    EXPECT_EQ(ImageChecksum("\x01\x02\x03", 100), 0x0201u + 0x0003 + 3);
    EXPECT_EQ(ImageChecksum("\xFF\xFF\xFF\xFF\x01", 100), 0x0001u + 5);  // carries come back in
    EXPECT_EQ(ImageChecksum("\x01\x02\xAA\xBB\xCC\xDD\x03\x04", 2), 0x0201u + 0x0403 + 8);
    EXPECT_EQ(ImageChecksum("\x01\xEE\xEE\xEE\xEE\x02", 1), 0x0201u + 6);
}

}  // namespace
