// The real executable when the download fails. Its address is the vendor's
// link, which no test can serve; this prefix sends every Internet request
// through a "proxy" on loopback that notes the request and hangs up. That
// shows where the executable asks, and makes the download fail at once (the
// download call itself reports success with an empty file then).
#include <gtest/gtest.h>

#include "platform/text.h"
#include "tests/runtime/flow_support.h"

namespace {

const wchar_t* const InternetSettings =
    L"\"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\"";

TEST(DownloadFailure, NothingIsStartedAndTheFailureBoxEndsStartup) {
    ServedFile refuse;
    refuse.refuse = true;
    LoopbackServer proxy(refuse);
    const std::wstring url = proxy.Url();
    const std::wstring address = url.substr(7, url.find(L'/', 7) - 7);
    ASSERT_EQ(
        RunReg(L"add " + std::wstring(InternetSettings) + L" /v ProxyEnable /t REG_DWORD /d 1 /f"),
        0u);
    ASSERT_EQ(RunReg(L"add " + std::wstring(InternetSettings) + L" /v ProxyServer /t REG_SZ /d " +
                     address + L" /f"),
              0u);

    const std::string name = "ls-download-failure-" + std::to_string(GetCurrentProcessId());
    AppFolder app(R"({"name":")" + name + R"(","window":{"title":"Failing Download"}})");
    InstallLoaderDouble(app.root.path(), R"({"runtime":false})");
    // A working installer planted where the download would go: running it
    // would be running a program nobody downloaded.
    const std::wstring userDataFolder =
        ComposeUserDataFolder(GetUserDataHome(), std::wstring(name.begin(), name.end()));
    CreateDirectoryW(userDataFolder.c_str(), nullptr);
    const std::wstring planted = userDataFolder + L"\\Webview2Setup.exe";
    const std::string plantedBytes = ReadFileBytes(FakeInstallerPath());
    WriteFileBytes(planted, plantedBytes);
    TempFolder logs(L"logs");
    RunOptions options;
    options.environment = {L"LS_FAKE_INSTALLER_LOG=" + (logs / L"installer-log.txt")};
    bool progressWindow = false;
    options.onWindow = [&](HWND window) {
        if (ClassOf(window) == L"WebView2Setup") progressWindow = true;
    };
    const RunResult run = RunProgram(app.exe, options);

    RunReg(L"add " + std::wstring(InternetSettings) + L" /v ProxyEnable /t REG_DWORD /d 0 /f");
    const auto requests = proxy.RequestLines();
    const std::string plantedAfter = ReadFileBytes(planted);
    const bool partialLeft = FileExists(userDataFolder + L"\\Webview2Setup.exe.download");
    const auto log = LogEvents(userDataFolder);
    RemoveTree(userDataFolder);

    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 1u);
    // The proxy's hang-up leaves an empty download: no program.
    ExpectBoxes(run, L"Failing Download",
                {{DefaultNoticeText, BoxIcon::Information},
                 {std::wstring(DefaultFailureText) +
                      L"\n\nWhat was downloaded is not the installer: the network may want you to "
                      L"sign in first.",
                  BoxIcon::Error}});
    EXPECT_TRUE(progressWindow);
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests[0].rfind("CONNECT go.microsoft.com:443 ", 0), 0u) << requests[0];
    EXPECT_FALSE(FileExists(logs / L"installer-log.txt"));
    EXPECT_TRUE(plantedAfter == plantedBytes)
        << "the planted installer changed: " << plantedAfter.size() << " bytes";
    EXPECT_FALSE(partialLeft);
    // The log beside the profile says where the download came from and how
    // it ended, and that nothing was started.
    ExpectLinesInOrder(log, {"Lanternshell ", "manifest: name \"" + name + "\"",
                             "no runtime installed, asked through the vendor's loader library",
                             "downloading the runtime installer from "
                             "https://go.microsoft.com/fwlink/p/?LinkId=2124703",
                             "failed: the download",
                             "the runtime is still missing after the installation", "exit code 1"});
    for (const auto& line : log)
        EXPECT_EQ(line.rfind("runtime installer", 0), std::string::npos) << line;
}

}  // namespace
