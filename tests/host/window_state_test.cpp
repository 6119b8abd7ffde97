#include "host/window_state.h"

#include <gtest/gtest.h>

#include "platform/dpi.h"
#include "platform/files.h"
#include "tests/server/content_folder.h"

namespace {

const MonitorArea Primary{0, 0, 1920, 1040, 1.0f};        // 96 DPI, taskbar below
const MonitorArea RightAt150{1920, 0, 4480, 1400, 1.5f};  // 144 DPI

struct PlacementCase {
    const char* name;
    WindowRecord saved;
    std::vector<MonitorArea> monitors;
    bool resizable;
    PlacementDecision expected;  // note unchecked
};

TEST(WindowState, PlacementRestoresOnlyWhatStillFits) {
    // The manifest asks for 800 x 600.
    // clang-format off
    const PlacementCase cases[] = {
        {"normal", {100, 80, 1000, 700, false, false}, {Primary}, true,
         {true, 100, 80, 1000, 700, false, false, 1.0f, {}}},
        {"maximized", {100, 80, 1000, 700, true, false}, {Primary}, true,
         {true, 100, 80, 1000, 700, true, false, 1.0f, {}}},
        {"fullscreen", {100, 80, 1000, 700, false, true}, {Primary}, true,
         {true, 100, 80, 1000, 700, false, true, 1.0f, {}}},
        {"on no monitor", {5000, 3000, 1000, 700, true, true}, {Primary}, true, {}},
        {"second monitor unplugged", {2000, 100, 1000, 700, false, false}, {Primary}, true, {}},
        {"scaled for the monitor it is on", {2000, 100, 1000, 700, false, false},
         {Primary, RightAt150}, true, {true, 2000, 100, 1500, 1050, false, false, 1.5f, {}}},
        {"only 63 pixels across on the work area", {1857, 100, 1000, 700, false, false},
         {Primary}, true, {}},
        {"64 pixels across and down are enough", {1856, 976, 1000, 700, false, false},
         {Primary}, true, {true, 1856, 976, 1000, 700, false, false, 1.0f, {}}},
        {"smaller than 64 pixels, wholly on it", {10, 10, 40, 30, false, false},
         {Primary}, true, {true, 10, 10, 40, 30, false, false, 1.0f, {}}},
        {"the monitor holding most of it wins", {1500, 100, 1000, 700, false, false},
         {Primary, RightAt150}, true, {true, 1500, 100, 1500, 1050, false, false, 1.5f, {}}},
        {"larger than the work area is cut to it", {0, 0, 3000, 2000, false, false},
         {Primary}, true, {true, 0, 0, 1920, 1040, false, false, 1.0f, {}}},
        {"not resizable: position and fullscreen only", {100, 80, 1000, 700, true, true},
         {Primary}, false, {true, 100, 80, 800, 600, false, true, 1.0f, {}}},
        {"not resizable, judged by the manifest's size", {-2900, 100, 3000, 700, false, false},
         {Primary}, false, {}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const PlacementDecision d = DecidePlacement(c.saved, c.monitors, 800, 600, c.resizable);
        EXPECT_EQ(d.restore, c.expected.restore);
        EXPECT_EQ(d.note.empty(), d.restore) << d.note;
        if (!d.restore) continue;
        EXPECT_EQ(d.x, c.expected.x);
        EXPECT_EQ(d.y, c.expected.y);
        EXPECT_EQ(d.clientWidth, c.expected.clientWidth);
        EXPECT_EQ(d.clientHeight, c.expected.clientHeight);
        EXPECT_EQ(d.maximized, c.expected.maximized);
        EXPECT_EQ(d.fullscreen, c.expected.fullscreen);
        EXPECT_EQ(d.scale, c.expected.scale);
    }
    EXPECT_FALSE(DecidePlacement(std::nullopt, {Primary}, 800, 600, true).restore);
}

TEST(WindowState, HostileTextsAreRefused) {
    const char* const texts[] = {
        "",
        R"({"x":1,"y":2,"width":800,"height":600,"maximized":false)",  // cut short
        R"([1,2,800,600,false,false])",
        R"({"x":"1","y":2,"width":800,"height":600,"maximized":false,"fullscreen":false})",
        R"({"x":1.5,"y":2,"width":800,"height":600,"maximized":false,"fullscreen":false})",
        R"({"x":1,"y":2,"width":800,"height":600,"maximized":0,"fullscreen":false})",
        R"({"x":1,"y":2,"width":800,"maximized":false,"fullscreen":false})",
        R"({"x":1,"y":2,"width":0,"height":600,"maximized":false,"fullscreen":false})",
        R"({"x":1,"y":2,"width":-800,"height":600,"maximized":false,"fullscreen":false})",
        R"({"x":1,"y":2,"width":16385,"height":600,"maximized":false,"fullscreen":false})",
        R"({"x":100001,"y":2,"width":800,"height":600,"maximized":false,"fullscreen":false})",
        R"({"x":1,"y":-4294967296,"width":800,"height":600,"maximized":false,"fullscreen":false})",
        R"({"x":18446744073709551615,"y":2,"width":8,"height":6,"maximized":false,"fullscreen":false})",
        R"({"x":1e400,"y":2,"width":800,"height":600,"maximized":false,"fullscreen":false})",
    };
    for (const char* text : texts) {
        std::string reason;
        EXPECT_FALSE(ParseWindowRecord(text, reason)) << text;
        EXPECT_FALSE(reason.empty()) << text;
    }
}

TEST(WindowState, SavedFileComesBackAndBrokenFilesAreIgnoredWithAReason) {
    ContentFolder content;
    const std::wstring folder = content.HostPath(L"../data");
    ASSERT_TRUE(CreateFolder(folder));
    std::string reason = "stale";
    EXPECT_FALSE(LoadWindowRecord(folder, reason));
    EXPECT_EQ(reason, "") << "a first start is no problem";

    const WindowRecord record{-1200, 40, 1023, 767, true, false};
    ASSERT_TRUE(SaveWindowRecord(folder, record));
    EXPECT_FALSE(content.Exists(L"../data/window.json.tmp"));
    const auto loaded = LoadWindowRecord(folder + L"\\", reason);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(FormatWindowRecord(*loaded), FormatWindowRecord(record));

    const struct {
        const char* name;
        std::string bytes;
        const char* reason;
    } broken[] = {
        {"half written", FormatWindowRecord(record).substr(0, 30), "not valid JSON"},
        {"megabytes of text", std::string(3 << 20, ' ') + FormatWindowRecord(record), "larger"},
        {"binary", std::string("\0\xff\xfe{", 4), "not valid JSON"},
    };
    for (const auto& c : broken) {
        SCOPED_TRACE(c.name);
        content.Write(L"../data/window.json", c.bytes);
        EXPECT_FALSE(LoadWindowRecord(folder, reason));
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
    }
    // A folder where the file should be can't be read, and can't be replaced.
    content.Write(L"../data/window.json", "");
    ASSERT_TRUE(MoveFileReplacing(folder + L"\\window.json", folder + L"\\moved"));
    content.MakeFolder(L"../data/window.json");
    EXPECT_FALSE(LoadWindowRecord(folder, reason));
    EXPECT_NE(reason.find("can't be read"), std::string::npos) << reason;
    EXPECT_FALSE(SaveWindowRecord(folder, record));
    EXPECT_FALSE(content.Exists(L"../data/window.json.tmp"));
}

TEST(WindowState, SizesSurviveTheRoundTripThroughPhysicalPixels) {
    for (const float scale : {1.0f, 1.25f, 1.5f, 1.75f, 2.0f, 2.5f}) {
        for (int logical = 1; logical <= 4000; ++logical) {
            const int physical = ScaleLogicalPixels(logical, scale);
            ASSERT_EQ(LogicalFromPhysical(physical, scale), logical) << scale;
        }
    }
    EXPECT_EQ(LogicalFromPhysical(0, 1.0f), 1);
    EXPECT_EQ(LogicalFromPhysical(50000, 1.0f), 16384);
}

}  // namespace
