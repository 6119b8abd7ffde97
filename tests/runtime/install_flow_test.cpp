// The install flow's other roads, through the flow host (the host's startup
// with a loopback installer address): unknown length, the window closed
// early, an installer that installs nothing, a download that fails, an
// installer whose signature is refused, a shipped installer, the user data
// folder already there, and the built-in loader.
#include <gtest/gtest.h>

#include "platform/text.h"
#include "tests/runtime/flow_support.h"

namespace {

const char* const Manifest = R"({"name":"flow","window":{"title":"Flow Test"}})";

std::wstring Installer(const FlowApp& flow) {
    return flow.userDataFolder + L"\\Webview2Setup.exe";
}

// The installer as the vendor would serve it: signed for its organisation.
ServedFile InstallerFile() {
    ServedFile file;
    file.body = SignedInstaller("vendor");
    return file;
}

// The failure box: the manifest's text and the reason's line.
std::wstring FailureBox(const std::wstring& reason) {
    return std::wstring(DefaultFailureText) + L"\n\n" + reason;
}

// A run that ended well, having shown the notice before the download only.
void ExpectInstalled(const FlowRun& flowRun) {
    EXPECT_FALSE(flowRun.run.timedOut);
    EXPECT_EQ(flowRun.run.exitCode, 0u);
    ExpectBoxes(flowRun.run, L"Flow Test", {{DefaultNoticeText, BoxIcon::Information}});
}

TEST(InstallFlow, UnknownLengthLeavesTheBarAtZeroAndStillInstalls) {
    FlowApp flow(Manifest, Loader::MissingRuntimeDouble);
    ServedFile file = InstallerFile();
    file.announceLength = false;
    file.chunk = file.body.size() / 6 + 1;
    file.pauseMs = 200;
    LoopbackServer server(file);
    FlowOptions options;
    // A failing exit code says nothing: only the runtime check decides.
    options.environment = {L"LS_FAKE_INSTALLER_EXIT=1603"};
    const FlowRun flowRun = RunFlow(flow, server.Url(), options);
    ExpectInstalled(flowRun);
    ASSERT_TRUE(flowRun.sawProgressWindow);
    EXPECT_EQ(flowRun.progress.title, L"Downloading...");
    EXPECT_EQ(flowRun.positions, std::vector<int>{0});
    EXPECT_TRUE(ReadFileBytes(Installer(flow)) == file.body) << "the installer is not the download";
    EXPECT_EQ(ReadInstallerLog(flow.installerLog).size(), 1u);
    // The installer's exit code reaches only the log.
    ExpectLinesInOrder(
        LogEvents(flow.userDataFolder),
        {"no runtime installed, asked through the vendor's loader library (error ",
         "downloading the runtime installer from " + WideToUtf8(server.Url()),
         "signature of the runtime installer: trust result 0x00000000: trusted, "
         "signed by \"Microsoft Corporation\"",
         "download complete: " + WideToUtf8(Installer(flow)), "runtime installer started",
         "runtime installer ended with exit code 1603 (0x00000643)",
         "runtime installed found: version ", "exit code 0"});
}

TEST(InstallFlow, ClosingTheProgressWindowEarlyStillDownloadsAndInstalls) {
    FlowApp flow(Manifest, Loader::MissingRuntimeDouble);
    ServedFile file = InstallerFile();
    file.holdAt = file.body.size() / 3;
    LoopbackServer server(file);
    FlowOptions options;
    // A slow installer: the runtime only appears if the host waits for it.
    options.environment = {L"LS_FAKE_INSTALLER_SLEEP=1500"};
    bool goneBeforeRelease = false;
    options.onProgressWindow = [&](HWND window) {
        PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        for (DWORD waited = 0; waited < ScaledMs(5000) && IsWindow(window); waited += 25) Sleep(25);
        goneBeforeRelease = !IsWindow(window);
        // The download is still held; nothing may have been started yet.
        EXPECT_FALSE(FileExists(flow.installerLog));
        server.Release();
    };
    const FlowRun flowRun = RunFlow(flow, server.Url(), options);
    EXPECT_TRUE(goneBeforeRelease);
    ExpectInstalled(flowRun);
    EXPECT_EQ(flowRun.events, (std::vector<std::string>{"box", "progress", "main"}));
    EXPECT_TRUE(ReadFileBytes(Installer(flow)) == file.body) << "the installer is not the download";
    EXPECT_EQ(ReadInstallerLog(flow.installerLog).size(), 1u);
}

// The box names the installer's exit code, with the vendor's meaning.
TEST(InstallFlow, InstallerThatInstallsNothingEndsInTheFailureBox) {
    const struct {
        const wchar_t* exit;
        const char* logged;
        const wchar_t* reason;
    } cases[] = {
        {L"0", "0 (0x00000000)", L"The installer ended without installing the runtime."},
        {L"2147754387",
         "2147754387 (0x80042193: the download server refused the runtime (HTTP 403))",
         L"The installer failed (error 0x80042193): the download server refused the runtime "
         L"(HTTP 403)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.logged);
        FlowApp flow(R"({"name":"flow","window":{"title":"Flow Test"},"messages":)"
                     R"({"install-webview2-failed":"No runtime, sorry."}})",
                     Loader::MissingRuntimeDouble);
        LoopbackServer server(InstallerFile());
        FlowOptions options;
        options.installs = false;
        options.environment = {std::wstring(L"LS_FAKE_INSTALLER_EXIT=") + c.exit};
        const FlowRun flowRun = RunFlow(flow, server.Url(), options);
        EXPECT_FALSE(flowRun.run.timedOut);
        EXPECT_EQ(flowRun.run.exitCode, 1u);
        ExpectBoxes(flowRun.run, L"Flow Test",
                    {{DefaultNoticeText, BoxIcon::Information},
                     {L"No runtime, sorry.\n\n" + std::wstring(c.reason), BoxIcon::Error}});
        EXPECT_EQ(flowRun.events, (std::vector<std::string>{"box", "progress", "box"}));
        EXPECT_EQ(ReadInstallerLog(flow.installerLog).size(), 1u);
        EXPECT_EQ(VersionQueries(flow.app.root.path()).size(), 2u);
        ExpectLinesInOrder(LogEvents(flow.userDataFolder),
                           {std::string("runtime installer ended with exit code ") + c.logged,
                            "the runtime is still missing after the installation"});
    }
}

// A failed download must not run whatever lies at the installer's path: here
// a working installer planted there earlier, which would provide the runtime.
// A page served in place of the program counts as a failed download, and so
// do a program handed over with a refusal and one the vendor did not sign as
// it is (unsigned, another organisation's, changed after signing), which is
// deleted.
TEST(InstallFlow, FailedDownloadStartsNothing) {
    struct Case {
        const char* name;
        bool plant, serve;  // serve false: nothing listens at the address
        std::string body;
        int status;
        const char* logged;
        const wchar_t* reason;  // its beginning
    };
    const char* const noProgram = "failed: the download arrived but is no program";
    const wchar_t* const notInstaller = L"What was downloaded is not the installer";
    const Case cases[] = {
        {"unreachable, nothing planted", false, false, "", 200, "failed: the download (error 0x8",
         L"The installer could not be downloaded"},
        {"unreachable, installer planted", true, false, "", 200, "failed: the download (error 0x8",
         L"The installer could not be downloaded"},
        {"sign-in page, installer planted", true, true, "<html><body>Sign in first</body></html>",
         200, noProgram, notInstaller},
        {"empty answer, nothing planted", false, true, "", 200, noProgram, notInstaller},
        {"refused with a program", false, true, SignedInstaller("vendor"), 403,
         "failed: the download: the server answered HTTP 403",
         L"The download server refused the download (HTTP 403)."},
        {"unsigned", true, true, ReadFileBytes(FakeInstallerPath()), 200,
         "failed: the installer is not signed (trust result 0x800B0100: no signature); not run, "
         "deleted",
         L"The installer is not signed, so it was not run."},
        {"foreign", true, true, SignedInstaller("foreign"), 200,
         "failed: the installer is signed by \"Other Games Ltd\", not \"Microsoft Corporation\"",
         L"The installer is not signed by Microsoft, so it was not run."},
        {"tampered", false, true, Tampered(SignedInstaller("vendor")), 200,
         "failed: the installer's signature does not match its content (trust result 0x80096010",
         L"The installer was changed after it was signed, so it was not run."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FlowApp flow(Manifest, Loader::MissingRuntimeDouble);
        const std::string planted = SignedInstaller("vendor");
        if (c.plant) {
            MakeFolders(flow.userDataFolder);
            WriteFileBytes(Installer(flow), planted);
        }
        ServedFile page;
        page.body = c.body;
        page.status = c.status;
        LoopbackServer server(page);
        const std::wstring url = c.serve ? server.Url() : UnreachableUrl();
        const FlowRun flowRun = RunFlow(flow, url);
        EXPECT_FALSE(flowRun.run.timedOut);
        EXPECT_EQ(flowRun.run.exitCode, 1u);
        ASSERT_EQ(flowRun.run.boxes.size(), 2u);
        EXPECT_EQ(flowRun.run.boxes[1].text.rfind(FailureBox(c.reason), 0), 0u)
            << WideToUtf8(flowRun.run.boxes[1].text);
        EXPECT_EQ(flowRun.events, (std::vector<std::string>{"box", "progress", "box"}));
        EXPECT_EQ(server.Requests(), c.serve ? 1 : 0);
        EXPECT_FALSE(FileExists(flow.installerLog));
        EXPECT_FALSE(FileExists(flow.marker));
        EXPECT_FALSE(FileExists(flow.userDataFolder + L"\\Webview2Setup.exe.download"));
        if (c.plant)
            EXPECT_TRUE(ReadFileBytes(Installer(flow)) == planted) << "the planted file changed";
        else
            EXPECT_FALSE(FileExists(Installer(flow)));
        const auto log = LogEvents(flow.userDataFolder);
        ExpectLinesInOrder(log,
                           {"downloading the runtime installer from " + WideToUtf8(url), c.logged,
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
    const FlowRun flowRun = RunFlow(flow, server.Url());
    EXPECT_FALSE(flowRun.run.timedOut);
    EXPECT_EQ(flowRun.run.exitCode, 1u);
    ExpectBoxes(flowRun.run, L"Flow Test",
                {{DefaultNoticeText, BoxIcon::Information},
                 {FailureBox(L"The installer could not be started."), BoxIcon::Error}});
    EXPECT_EQ(server.Requests(), 1);
    EXPECT_FALSE(FileExists(flow.installerLog));
    EXPECT_FALSE(FileExists(flow.userDataFolder + L"\\Webview2Setup.exe.download"));
    ExpectLinesInOrder(LogEvents(flow.userDataFolder),
                       {"downloading the runtime installer from " + WideToUtf8(server.Url()),
                        "failed: moving the download to the installer's place (Win32 error 5)",
                        "the runtime is still missing after the installation", "exit code 1"});
}

// A shipped installer is checked like a download and run where it lies,
// with nothing downloaded and no progress window; the standalone installer
// goes first. One that fails its check is left where it is, unstarted.
TEST(InstallFlow, ShippedInstallerIsUsedWithNoDownload) {
    const wchar_t* const bootstrapper = L"MicrosoftEdgeWebview2Setup.exe";
    const wchar_t* const standalone = L"MicrosoftEdgeWebView2RuntimeInstallerX64.exe";
    const struct {
        const char* name;
        std::vector<std::pair<const wchar_t*, std::string>> shipped;
        const wchar_t* runs;  // null: nothing may run
    } cases[] = {
        {"bootstrapper", {{bootstrapper, SignedInstaller("vendor")}}, bootstrapper},
        {"both",
         {{bootstrapper, SignedInstaller("vendor")}, {standalone, SignedInstaller("vendor")}},
         standalone},
        {"unsigned", {{bootstrapper, ReadFileBytes(FakeInstallerPath())}}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FlowApp flow(Manifest, Loader::MissingRuntimeDouble);
        const std::wstring folder = flow.app.root / L"webview2-installer\\";
        MakeFolders(folder);
        for (const auto& [name, bytes] : c.shipped) WriteFileBytes(folder + name, bytes);
        // Served as well, so a download would show.
        LoopbackServer server(InstallerFile());
        const FlowRun flowRun = RunFlow(flow, server.Url());
        EXPECT_EQ(server.Requests(), 0);
        EXPECT_FALSE(flowRun.sawProgressWindow);
        EXPECT_FALSE(FileExists(Installer(flow)));
        for (const auto& [name, bytes] : c.shipped)
            EXPECT_TRUE(ReadFileBytes(folder + name) == bytes) << "a shipped installer changed";
        const auto log = LogEvents(flow.userDataFolder);
        const auto runs = ReadInstallerLog(flow.installerLog);
        if (c.runs) {
            ExpectInstalled(flowRun);
            EXPECT_EQ(flowRun.events, (std::vector<std::string>{"box", "main"}));
            ASSERT_EQ(runs.size(), 1u);
            EXPECT_EQ(_wcsicmp(runs[0].path.c_str(), (folder + c.runs).c_str()), 0)
                << WideToUtf8(runs[0].path);
            ExpectLinesInOrder(log, {"using the shipped runtime installer ",
                                     "signature of the runtime installer: trust result 0x00000000",
                                     "runtime installer started", "runtime installed found: "});
        } else {
            EXPECT_FALSE(flowRun.run.timedOut);
            EXPECT_EQ(flowRun.run.exitCode, 1u);
            ExpectBoxes(
                flowRun.run, L"Flow Test",
                {{DefaultNoticeText, BoxIcon::Information},
                 {FailureBox(L"The installer is not signed, so it was not run."), BoxIcon::Error}});
            EXPECT_TRUE(runs.empty());
            ExpectLinesInOrder(log, {"using the shipped runtime installer ",
                                     "failed: the installer is not signed (trust result "
                                     "0x800B0100: no signature); not run, left where it is: ",
                                     "the runtime is still missing after the installation"});
        }
    }
}

TEST(InstallFlow, ExistingUserDataFolderIsUsedAndOldInstallerReplaced) {
    FlowApp flow(Manifest, Loader::MissingRuntimeDouble);
    MakeFolders(flow.userDataFolder);
    WriteFileBytes(Installer(flow), "an installer left from an earlier run");
    WriteFileBytes(flow.userDataFolder + L"\\keep.txt", "kept");
    LoopbackServer server(InstallerFile());
    const FlowRun flowRun = RunFlow(flow, server.Url());
    ExpectInstalled(flowRun);
    EXPECT_TRUE(ReadFileBytes(Installer(flow)) == SignedInstaller("vendor"))
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
    options.installs = false;
    options.environment = {L"LS_FAKE_INSTALLER_REGISTER=" + runtimeFolder};
    const FlowRun flowRun = RunFlow(flow, server.Url(), options);
    RegisterInstalledRuntime(L"HKCU", L"");
    ExpectInstalled(flowRun);
    EXPECT_EQ(flowRun.events, (std::vector<std::string>{"box", "progress", "main"}));
    EXPECT_EQ(ReadInstallerLog(flow.installerLog).size(), 1u);
}

}  // namespace
