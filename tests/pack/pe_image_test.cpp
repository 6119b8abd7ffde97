#include "pack/pe_image.h"

#include <gtest/gtest.h>

#include "pack/bytes.h"
#include "tests/pack/test_image.h"

namespace {

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
    const struct {
        const char* name;
        std::size_t iconBytes;
        std::string certificate;
    } cases[] = {
        {"smaller", 1, {}},
        {"a little larger", 700, {}},
        {"pages larger", 3 * TestSectionAlignment + 5, {}},
        {"signed", 700, std::string(24, 'S')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string original = TestImage(HostResources(), c.certificate);
        PeImage image;
        std::string error;
        ASSERT_TRUE(image.Load(original, error)) << error;
        EXPECT_EQ(image.Signed(), !c.certificate.empty());
        // Read in directory order: types by number, names before numbers.
        EXPECT_EQ(Names(image.resources),
                  (std::vector<std::string>{"3/1/1033=40", "14/MAINICON/1033=20", "16/1/1033=11",
                                            "24/1/1033=11"}));
        image.resources[0].data = std::string(c.iconBytes, 'n');
        image.resources.push_back({{L"", 3}, {L"B", 0}, {L"", 0}, 1252, "named"});
        const std::string written = image.Write();
        ExpectWellFormed(written);

        const std::vector<TestSection> before = SectionsOf(original), after = SectionsOf(written);
        EXPECT_EQ(written.substr(after[0].rawPointer, after[0].rawSize),
                  original.substr(before[0].rawPointer, before[0].rawSize));
        EXPECT_EQ(written.substr(after[2].rawPointer, after[2].rawSize),
                  original.substr(before[2].rawPointer, before[2].rawSize));

        PeImage again;
        ASSERT_TRUE(again.Load(written, error)) << error;
        EXPECT_FALSE(again.Signed());
        EXPECT_EQ(
            Names(again.resources),
            (std::vector<std::string>{"3/B/0=5", "3/1/1033=" + std::to_string(c.iconBytes),
                                      "14/MAINICON/1033=20", "16/1/1033=11", "24/1/1033=11"}));
        EXPECT_EQ(again.resources[0].codePage, 1252u);
        EXPECT_EQ(again.resources[0].data, "named");
    }
}

TEST(PeImage, ImagesARewriteWouldBreakAreRefused) {
    const std::string good = TestImage(HostResources());
    const std::size_t relocHeader = 0x80 + 24 + 240 + 2 * 40;
    const auto changed = [&](auto change) {
        std::string image = good;
        change(image);
        return image;
    };
    const struct {
        const char* name;
        std::string image;
        const char* error;
    } cases[] = {
        {"not an executable", "plain text, long enough to hold a DOS header of sixty-four bytes",
         "not a Windows executable (no MZ header)"},
        {"cut short", good.substr(0, 0x1A0), "the section table is cut short"},
        {"a symbol table after the sections", good + "symbols",
         "data follows the sections (a symbol table?): strip the executable"},
        {"a section after the resources that is not the relocations",
         changed([&](std::string& i) { Put32(i, 0x80 + 24 + 112 + 40, 0); }),
         "a section other than the relocations follows the resources"},
        {"relocations in the resources",
         changed([&](std::string& i) { Put32(i, Get32(i, relocHeader + 20), 0x2000); }),
         "relocations name addresses in the resources"},
        {"resources that point outside themselves",
         changed([&](std::string& i) { Put16(i, Get32(i, relocHeader - 40 + 20) + 14, 0xFFFF); }),
         "the resource section is damaged"},
    };
    for (const auto& c : cases) {
        PeImage image;
        std::string error;
        EXPECT_FALSE(image.Load(c.image, error)) << c.name;
        EXPECT_EQ(error, c.error) << c.name;
    }
}

TEST(PeImage, ChecksumFoldsCarriesSkipsItsFieldAndAddsTheLength) {
    const struct {
        std::string bytes;
        std::size_t field;
        std::uint32_t sum;
    } cases[] = {
        {"\x01\x02\x03", 100, 0x0201 + 0x0003 + 3},
        {"\xFF\xFF\xFF\xFF\x01", 100, 0x0001 + 5},  // each carry comes back in at the bottom
        {"\x01\x02\xAA\xBB\xCC\xDD\x03\x04", 2, 0x0201 + 0x0403 + 8},
        {std::string("\x01\x00\xEE\xEE\xEE\xEE\x02", 7), 2, 0x0001 + 0x0002 + 7},
    };
    for (const auto& c : cases) EXPECT_EQ(ImageChecksum(c.bytes, c.field), c.sum) << c.bytes;
}

}  // namespace
