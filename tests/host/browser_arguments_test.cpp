#include "host/browser_arguments.h"

#include <gtest/gtest.h>

namespace {

TEST(BrowserArguments, OursFollowTheManifestsInOrder) {
    constexpr auto High = GpuPreference::HighPerformance, SystemGpu = GpuPreference::SystemDefault;
    const std::wstring run =
        L"--disable-background-timer-throttling --disable-renderer-backgrounding "
        L"--disable-backgrounding-occluded-windows";
    const struct {
        BrowserArgumentSettings settings;
        std::wstring expected;
    } cases[] = {
        {{}, L"--force_high_performance_gpu"},
        {{L"--lang=de", false, SystemGpu, BackgroundMode::Throttle}, L"--lang=de"},
        {{L"", false, SystemGpu, BackgroundMode::Run}, run},
        {{L"--a --b", true, High, BackgroundMode::Run},
         L"--a --b --autoplay-policy=no-user-gesture-required --force_high_performance_gpu " + run},
        // An open quote is closed before ours; an escaped one opens nothing.
        {{L"--user-agent=\"My Game", false, High},
         L"--user-agent=\"My Game\" --force_high_performance_gpu"},
        {{L"--x=\\\"a \\\\\"b\"", false, SystemGpu}, L"--x=\\\"a \\\\\"b\""},
    };
    for (const auto& c : cases) EXPECT_EQ(BrowserArguments(c.settings), c.expected);

    EXPECT_EQ(GpuPreferenceNamed(L"high-performance"), High);
    EXPECT_EQ(GpuPreferenceNamed(L"default"), SystemGpu);
    EXPECT_EQ(BackgroundModeNamed(L"throttle"), BackgroundMode::Throttle);
    EXPECT_EQ(BackgroundModeNamed(L"run"), BackgroundMode::Run);
    EXPECT_FALSE(GpuPreferenceNamed(L"Default") || BackgroundModeNamed(L"run "));
}

}  // namespace
