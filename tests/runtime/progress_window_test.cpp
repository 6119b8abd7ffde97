// The whole install flow as the user meets it, at the screen's DPI (this
// program is registered once at 96 and once at 144 dots per inch): the notice,
// the progress window's exact look and place, the download from a loopback
// server, the installer run from the user data folder, and startup going on.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/runtime/flow_support.h"

namespace {

struct DpiGeometry {
    int dpi;
    int width, height, margin;
};

const DpiGeometry Geometries[] = {{96, 300, 90, 10}, {144, 450, 135, 15}};

TEST(ProgressWindow, FullInstallAtTheScreensDpi) {
    SetProcessDPIAware();
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    const DpiGeometry* expected = nullptr;
    for (const auto& g : Geometries)
        if (g.dpi == dpi) expected = &g;
    ASSERT_NE(expected, nullptr) << "registered at an unexpected DPI: " << dpi;

    FlowApp flow(
        R"({"name":"dpi-flow","window":{"title":"Garden Setup"},)"
        R"("messages":{"install-webview2":"We need the runtime.","downloading":"Fetching runtime"}})",
        Loader::MissingRuntimeDouble);
    // Served slowly so the bar is seen on its way.
    ServedFile file;
    file.body = SignedInstaller("vendor");
    ASSERT_GT(file.body.size(), 20000u);
    file.chunk = file.body.size() / 8 + 1;
    file.pauseMs = 250;
    LoopbackServer server(file);

    // The menu colour made unlike every other, so the window's background
    // tells which system colour it was drawn with (this prefix is ours).
    const int element = COLOR_MENU;
    const COLORREF previousMenu = GetSysColor(COLOR_MENU);
    const COLORREF menu = RGB(201, 83, 17);
    SetSysColors(1, &element, &menu);

    const FlowRun flowRun = RunFlow(flow, server.Url());
    SetSysColors(1, &element, &previousMenu);
    const RunResult& run = flowRun.run;

    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u);
    ExpectBoxes(run, L"Garden Setup", {{L"We need the runtime.", BoxIcon::Information}});
    EXPECT_EQ(flowRun.events, (std::vector<std::string>{"box", "progress", "main"}));

    ASSERT_TRUE(flowRun.sawProgressWindow);
    const ProgressWindowSeen& seen = flowRun.progress;
    EXPECT_EQ(seen.title, L"Fetching runtime");
    // The system adds WS_CLIPSIBLINGS to every top-level window.
    EXPECT_EQ(seen.style & ~static_cast<LONG_PTR>(WS_CLIPSIBLINGS), 0x10CA0000);
    // The class brush is not readable from another process; its colour shows
    // in the margin around the bar.
    EXPECT_NE(std::find(flowRun.marginColors.begin(), flowRun.marginColors.end(), menu),
              flowRun.marginColors.end());
    const int width = seen.window.right - seen.window.left;
    const int height = seen.window.bottom - seen.window.top;
    EXPECT_EQ(width, expected->width);
    EXPECT_EQ(height, expected->height);
    EXPECT_EQ(seen.window.left, GetSystemMetrics(SM_CXSCREEN) / 2 - expected->width / 2);
    EXPECT_EQ(seen.window.top, GetSystemMetrics(SM_CYSCREEN) / 2 - expected->height / 2);
    EXPECT_EQ(seen.children, 1);
    EXPECT_EQ(seen.bar.left, expected->margin);
    EXPECT_EQ(seen.bar.top, expected->margin);
    EXPECT_EQ(seen.client.right - seen.bar.right, expected->margin);
    EXPECT_EQ(seen.client.bottom - seen.bar.bottom, expected->margin);
    EXPECT_EQ(seen.rangeLow, 0);
    EXPECT_EQ(seen.rangeHigh, 100);

    // The bar went forward with the download, never back.
    bool between = false;
    for (size_t i = 0; i < flowRun.positions.size(); ++i) {
        if (flowRun.positions[i] > 0 && flowRun.positions[i] < 100) between = true;
        if (i > 0) {
            EXPECT_GT(flowRun.positions[i], flowRun.positions[i - 1]);
        }
    }
    EXPECT_TRUE(between) << "positions seen: " << flowRun.positions.size();

    // The download became the installer, which ran once from the user data
    // folder without arguments, and the host waited for it.
    const std::wstring installer = flow.userDataFolder + L"\\Webview2Setup.exe";
    EXPECT_TRUE(ReadFileBytes(installer) == file.body) << "the installer is not the download";
    EXPECT_FALSE(FileExists(flow.userDataFolder + L"\\Webview2Setup.exe.download"));
    const auto runs = ReadInstallerLog(flow.installerLog);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(_wcsicmp(runs[0].path.c_str(), installer.c_str()), 0) << runs[0].path;
    EXPECT_EQ(_wcsicmp(runs[0].currentDirectory.c_str(), flow.userDataFolder.c_str()), 0)
        << runs[0].currentDirectory;
    EXPECT_TRUE(runs[0].commandLine.empty() ||
                _wcsicmp(runs[0].commandLine.c_str(), (L"\"" + installer + L"\"").c_str()) == 0)
        << runs[0].commandLine;
    EXPECT_EQ(server.Requests(), 1);

    // One check before the installation and one after it.
    const auto transcript = VersionQueries(flow.app.root.path());
    ASSERT_EQ(transcript.size(), 2u);
    EXPECT_NE(transcript[0].find("folder=null -> 0x80070002"), std::string::npos) << transcript[0];
    EXPECT_NE(transcript[1].find("folder=null -> 0x00000000"), std::string::npos) << transcript[1];
}

}  // namespace
