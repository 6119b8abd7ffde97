// The install flow's other roads, through the flow host (the host's startup
// with a loopback installer address): unknown length, the window closed
// early, an installer that installs nothing, a download that fails, the user
// data folder already there, and the built-in loader.
#include <gtest/gtest.h>

#include "platform/text.h"
#include "tests/runtime/flow_support.h"

namespace {

const char* const Manifest = R"({"name":"flow","window":{"title":"Flow Test"}})";

std::wstring Installer(const FlowApp& flow) {
    return flow.userDataFolder + L"\\Webview2Setup.exe";
}

ServedFile InstallerFile() {
    ServedFile file;
    file.body = ReadFileBytes(FakeInstallerPath());
    return file;
}

TEST(InstallFlow, UnknownLengthLeavesTheBarAtZeroAndStillInstalls) {
    FlowApp flow(Manifest, Loader::MissingRuntimeDouble);
    ServedFile file = InstallerFile();
    file.announceLength = false;
    file.chunk = file.body.size() / 6 + 1;
    file.pauseMs = 200;
    LoopbackServer server(file);
    FlowOptions options;
    options.environment = flow.InstallerEnvironment(true);
    // A failing exit code says nothing: only the runtime check decides.
    options.environment.push_back(L"LS_FAKE_INSTALLER_EXIT=1603");
    const FlowRun flowRun = RunFlow(flow, server.Url(), options);
    EXPECT_FALSE(flowRun.run.timedOut);
    EXPECT_EQ(flowRun.run.exitCode, 0u);
    ExpectBoxes(flowRun.run, L"Flow Test", {{DefaultNoticeText, BoxIcon::Information}});
    ASSERT_TRUE(flowRun.sawProgressWindow);
    EXPECT_EQ(flowRun.progress.title, L"Downloading...");
    EXPECT_EQ(flowRun.positions, std::vector<int>{0});
    EXPECT_TRUE(ReadFileBytes(Installer(flow)) == file.body) << "the installer is not the download";
    EXPECT_EQ(ReadInstallerLog(flow.installerLog).size(), 1u);
    // The installer's exit code reaches only the log.
    ExpectLinesInOrder(LogEvents(flow.userDataFolder),
                       {"no runtime installed, asked through the vendor's loader library (error ",
                        "downloading the runtime installer from " + WideToUtf8(server.Url()),
                        "download complete: " + WideToUtf8(Installer(flow)),
                        "runtime installer started", "runtime installer ended with exit code 1603",
                        "runtime installed found: version ", "exit code 0"});
}

TEST(InstallFlow, ClosingTheProgressWindowEarlyStillDownloadsAndInstalls) {
    FlowApp flow(Manifest, Loader::MissingRuntimeDouble);
    ServedFile file = InstallerFile();
    file.holdAt = file.body.size() / 3;
    LoopbackServer server(file);
    FlowOptions options;
    // A slow installer: the runtime only appears if the host waits for it.
    options.environment = flow.InstallerEnvironment(true);
    options.environment.push_back(L"LS_FAKE_INSTALLER_SLEEP=1500");
    bool goneBeforeRelease = false;
    options.onProgressWindow = [&](HWND window) {
        PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        for (int i = 0; i < 200 && IsWindow(window); ++i) Sleep(25);
        goneBeforeRelease = !IsWindow(window);
        // The download is still held; nothing may have been started yet.
        EXPECT_FALSE(FileExists(flow.installerLog));
        server.Release();
    };
    const FlowRun flowRun = RunFlow(flow, server.Url(), options);
    EXPECT_TRUE(goneBeforeRelease);
    EXPECT_FALSE(flowRun.run.timedOut);
    EXPECT_EQ(flowRun.run.exitCode, 0u);
    ExpectBoxes(flowRun.run, L"Flow Test", {{DefaultNoticeText, BoxIcon::Information}});
    EXPECT_EQ(flowRun.events, (std::vector<std::string>{"box", "progress", "main"}));
    EXPECT_TRUE(ReadFileBytes(Installer(flow)) == file.body) << "the installer is not the download";
    EXPECT_EQ(ReadInstallerLog(flow.installerLog).size(), 1u);
}

TEST(InstallFlow, InstallerThatInstallsNothingEndsInTheFailureBox) {
    FlowApp flow(R"({"name":"flow","window":{"title":"Flow Test"},"messages":)"
                 R"({"install-webview2-failed":"No runtime, sorry."}})",
                 Loader::MissingRuntimeDouble);
    LoopbackServer server(InstallerFile());
    FlowOptions options;
    options.environment = flow.InstallerEnvironment(false);
    const FlowRun flowRun = RunFlow(flow, server.Url(), options);
    EXPECT_FALSE(flowRun.run.timedOut);
    EXPECT_EQ(flowRun.run.exitCode, 1u);
    ExpectBoxes(
        flowRun.run, L"Flow Test",
        {{DefaultNoticeText, BoxIcon::Information}, {L"No runtime, sorry.", BoxIcon::Error}});
    EXPECT_EQ(flowRun.events, (std::vector<std::string>{"box", "progress", "box"}));
    EXPECT_EQ(ReadInstallerLog(flow.installerLog).size(), 1u);
    EXPECT_EQ(VersionQueries(flow.app.root.path()).size(), 2u);
}

// A failed download must not run whatever lies at the installer's path: here
// a working installer planted there earlier, which would provide the runtime.
// A page served in place of the program counts as a failed download.
TEST(InstallFlow, FailedDownloadStartsNothing) {
    struct Case {
        const char* name;
        bool plant;
        const char* servedPage;  // null: nothing listens at the address
    };
    const Case cases[] = {
        {"unreachable, nothing planted", false, nullptr},
        {"unreachable, installer planted", true, nullptr},
        {"sign-in page, installer planted", true, "<html><body>Sign in first</body></html>"},
        {"empty answer, nothing planted", false, ""},
    };
    const std::string noProgram = "failed: the download arrived but is no program";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FlowApp flow(Manifest, Loader::MissingRuntimeDouble);
        const std::string planted = ReadFileBytes(FakeInstallerPath());
        if (c.plant) {
            MakeFolders(flow.userDataFolder);
            WriteFileBytes(Installer(flow), planted);
        }
        ServedFile page;
        if (c.servedPage) page.body = c.servedPage;
        LoopbackServer server(page);
        FlowOptions options;
        options.environment = flow.InstallerEnvironment(true);
        const std::wstring url = c.servedPage ? server.Url() : UnreachableUrl();
        const FlowRun flowRun = RunFlow(flow, url, options);
        EXPECT_FALSE(flowRun.run.timedOut);
        EXPECT_EQ(flowRun.run.exitCode, 1u);
        ExpectBoxes(
            flowRun.run, L"Flow Test",
            {{DefaultNoticeText, BoxIcon::Information}, {DefaultFailureText, BoxIcon::Error}});
        EXPECT_EQ(flowRun.events, (std::vector<std::string>{"box", "progress", "box"}));
        EXPECT_EQ(server.Requests(), c.servedPage ? 1 : 0);
        EXPECT_FALSE(FileExists(flow.installerLog));
        EXPECT_FALSE(FileExists(flow.marker));
        EXPECT_FALSE(FileExists(flow.userDataFolder + L"\\Webview2Setup.exe.download"));
        if (c.plant)
            EXPECT_TRUE(ReadFileBytes(Installer(flow)) == planted) << "the planted file changed";
        else
            EXPECT_FALSE(FileExists(Installer(flow)));
        const auto log = LogEvents(flow.userDataFolder);
        ExpectLinesInOrder(log,
                           {"downloading the runtime installer from " + WideToUtf8(url),
                            c.servedPage ? noProgram : "failed: the download (error 0x8",
                            "the runtime is still missing after the installation", "exit code 1"});
        for (const auto& line : log) {
            EXPECT_EQ(line.rfind("download complete", 0), std::string::npos) << line;
            EXPECT_EQ(line.rfind("runtime installer", 0), std::string::npos) << line;
        }
    }
}

// A download that arrived whole but can't take the installer's place (a
// folder stands there) is not run from where it lies; the log tells the
// Win32 error of the move.
TEST(InstallFlow, ADownloadThatCannotTakeTheInstallersPlaceStartsNothing) {
    FlowApp flow(Manifest, Loader::MissingRuntimeDouble);
    MakeFolders(Installer(flow));
    LoopbackServer server(InstallerFile());
    FlowOptions options;
    options.environment = flow.InstallerEnvironment(true);
    const FlowRun flowRun = RunFlow(flow, server.Url(), options);
    EXPECT_FALSE(flowRun.run.timedOut);
    EXPECT_EQ(flowRun.run.exitCode, 1u);
    ExpectBoxes(flowRun.run, L"Flow Test",
                {{DefaultNoticeText, BoxIcon::Information}, {DefaultFailureText, BoxIcon::Error}});
    EXPECT_EQ(server.Requests(), 1);
    EXPECT_FALSE(FileExists(flow.installerLog));
    EXPECT_FALSE(FileExists(flow.userDataFolder + L"\\Webview2Setup.exe.download"));
    ExpectLinesInOrder(LogEvents(flow.userDataFolder),
                       {"downloading the runtime installer from " + WideToUtf8(server.Url()),
                        "failed: moving the download to the installer's place (Win32 error 5)",
                        "the runtime is still missing after the installation", "exit code 1"});
}

TEST(InstallFlow, ExistingUserDataFolderIsUsedAndOldInstallerReplaced) {
    FlowApp flow(Manifest, Loader::MissingRuntimeDouble);
    MakeFolders(flow.userDataFolder);
    WriteFileBytes(Installer(flow), "an installer left from an earlier run");
    WriteFileBytes(flow.userDataFolder + L"\\keep.txt", "kept");
    LoopbackServer server(InstallerFile());
    FlowOptions options;
    options.environment = flow.InstallerEnvironment(true);
    const FlowRun flowRun = RunFlow(flow, server.Url(), options);
    EXPECT_EQ(flowRun.run.exitCode, 0u);
    ExpectBoxes(flowRun.run, L"Flow Test", {{DefaultNoticeText, BoxIcon::Information}});
    EXPECT_TRUE(ReadFileBytes(Installer(flow)) == ReadFileBytes(FakeInstallerPath()))
        << "the installer is not the download";
    EXPECT_EQ(ReadFileBytes(flow.userDataFolder + L"\\keep.txt"), "kept");
    EXPECT_EQ(ReadInstallerLog(flow.installerLog).size(), 1u);
}

// No loader library anywhere: the built-in loader finds the runtime the fake
// installer registers for the current user.
TEST(InstallFlow, BuiltinLoaderFindsTheRuntimeTheInstallerRegisters) {
    FlowApp flow(Manifest, Loader::Builtin);
    ASSERT_FALSE(FileExists(flow.app.root / L"WebView2Loader.dll"));
    RegisterInstalledRuntime(L"HKLM", L"");
    RegisterInstalledRuntime(L"HKCU", L"");
    // Laid out already, but it only counts once registered.
    TempFolder runtimes(L"runtimes");
    const std::wstring runtimeFolder = runtimes / L"120.0.2210.91";
    InstallRuntimeDouble(runtimeFolder);
    LoopbackServer server(InstallerFile());
    FlowOptions options;
    options.environment = flow.InstallerEnvironment(false);
    options.environment.push_back(L"LS_FAKE_INSTALLER_REGISTER=" + runtimeFolder);
    const FlowRun flowRun = RunFlow(flow, server.Url(), options);
    RegisterInstalledRuntime(L"HKCU", L"");
    EXPECT_FALSE(flowRun.run.timedOut);
    EXPECT_EQ(flowRun.run.exitCode, 0u);
    ExpectBoxes(flowRun.run, L"Flow Test", {{DefaultNoticeText, BoxIcon::Information}});
    EXPECT_EQ(flowRun.events, (std::vector<std::string>{"box", "progress", "main"}));
    EXPECT_EQ(ReadInstallerLog(flow.installerLog).size(), 1u);
}

}  // namespace
