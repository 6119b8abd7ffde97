// The real executable's runtime check on the roads that download nothing: a
// runtime already there (through the loader double and the built-in loader),
// fixed mode, and a user data folder that can't be created.
#include <gtest/gtest.h>

#include "platform/text.h"
#include "tests/runtime/flow_support.h"

namespace {

const wchar_t* const FixedText =
    L"This app is set to \"fixed\" distribution mode, but the WebView2 control failed to "
    L"initialize. Check there is a valid fixed distribution of Microsoft Edge WebView2 runtime in "
    L"the \"webview2\" subfolder.";

struct Seen {
    RunResult run;
    bool progressWindow = false;
    bool mainWindow = false;
};

// Runs the executable, closing its main window as soon as it exists.
Seen RunHost(const std::wstring& exe) {
    Seen seen;
    bool closed = false;
    RunOptions options;
    options.onWindow = [&](HWND window) {
        const std::wstring windowClass = ClassOf(window);
        if (windowClass == L"WebView2Setup") seen.progressWindow = true;
        if (windowClass == L"WindowsLanternshell" && !closed) {
            closed = true;
            seen.mainWindow = true;
            PostMessageW(window, WM_CLOSE, 0, 0);
        }
    };
    seen.run = RunProgram(exe, options);
    return seen;
}

std::string Manifest(const std::string& name, const std::string& mode) {
    return R"({"name":")" + name + R"(","window":{"title":"Runtime Check"},)" +
           R"("settings":{"distribution-mode":")" + mode + "\"}}";
}

std::string UniqueName(const std::string& hint) {
    return "ls-" + hint + "-" + std::to_string(GetCurrentProcessId());
}

std::wstring UserDataFolderOf(const std::string& name) {
    return ComposeUserDataFolder(GetUserDataHome(), std::wstring(name.begin(), name.end()));
}

TEST(RuntimeCheck, InstalledRuntimeGoesStraightToTheWindow) {
    const std::string name = UniqueName("present");
    AppFolder app(Manifest(name, "evergreen"));
    InstallLoaderDouble(app.root.path());
    const Seen seen = RunHost(app.exe);
    EXPECT_FALSE(seen.run.timedOut);
    EXPECT_EQ(seen.run.exitCode, 0u);
    EXPECT_TRUE(seen.run.boxes.empty());
    EXPECT_FALSE(seen.progressWindow);
    EXPECT_TRUE(seen.mainWindow);
    const auto queries = VersionQueries(app.root.path());
    ASSERT_EQ(queries.size(), 1u);
    EXPECT_NE(queries[0].find("folder=null -> 0x00000000"), std::string::npos) << queries[0];
    EXPECT_FALSE(FileExists(UserDataFolderOf(name) + L"\\Webview2Setup.exe"));
}

TEST(RuntimeCheck, BuiltinLoaderFindsARegisteredRuntime) {
    const std::string name = UniqueName("builtin");
    AppFolder app(Manifest(name, "evergreen"));
    TempFolder runtimes(L"runtimes");
    const std::wstring folder = runtimes / L"120.0.2210.91";
    InstallRuntimeDouble(folder);
    RegisterInstalledRuntime(L"HKLM", L"");
    RegisterInstalledRuntime(L"HKCU", folder);
    const Seen seen = RunHost(app.exe);
    RegisterInstalledRuntime(L"HKCU", L"");
    EXPECT_EQ(seen.run.exitCode, 0u);
    EXPECT_TRUE(seen.run.boxes.empty());
    EXPECT_FALSE(seen.progressWindow);
    EXPECT_TRUE(seen.mainWindow);
}

TEST(RuntimeCheck, FixedModeAsksForTheRelativeFolderAndNeverInstalls) {
    struct Case {
        const char* name;
        bool present;
    };
    for (const Case c : {Case{"runtime there", true}, Case{"no runtime", false}}) {
        SCOPED_TRACE(c.name);
        const std::string name = UniqueName(c.present ? "fixed-there" : "fixed-missing");
        AppFolder app(Manifest(name, "fixed"));
        // No installed runtime either, so a fall back to evergreen would show.
        InstallLoaderDouble(app.root.path(), std::string(R"({"runtime":false,"fixedRuntime":)") +
                                                 (c.present ? "true" : "false") + "}");
        const Seen seen = RunHost(app.exe);
        EXPECT_FALSE(seen.run.timedOut);
        EXPECT_FALSE(seen.progressWindow);
        // Nothing downloaded: the folder holds the diagnostics log only.
        EXPECT_FALSE(FileExists(UserDataFolderOf(name) + L"\\Webview2Setup.exe"));
        EXPECT_FALSE(FileExists(UserDataFolderOf(name) + L"\\Webview2Setup.exe.download"));
        EXPECT_TRUE(FileExists(UserDataFolderOf(name) + L"\\Lanternshell.log"));
        const auto queries = VersionQueries(app.root.path());
        ASSERT_EQ(queries.size(), 1u);
        EXPECT_NE(queries[0].find("folder=\"webview2\" -> "), std::string::npos) << queries[0];
        if (c.present) {
            EXPECT_EQ(seen.run.exitCode, 0u);
            EXPECT_TRUE(seen.run.boxes.empty());
            EXPECT_TRUE(seen.mainWindow);
        } else {
            EXPECT_EQ(seen.run.exitCode, 1u);
            EXPECT_FALSE(seen.mainWindow);
            ExpectBoxes(seen.run, L"Runtime Check", {{FixedText, BoxIcon::Error}});
        }
    }
}

TEST(RuntimeCheck, UserDataFolderThatCannotBeCreatedGivesTwoBoxes) {
    // A file stands where the folder belongs.
    const std::string name = UniqueName("blocked");
    AppFolder app(Manifest(name, "evergreen"));
    WriteFileBytes(UserDataFolderOf(name), "not a folder");
    InstallLoaderDouble(app.root.path(), R"({"runtime":false})");
    const Seen seen = RunHost(app.exe);
    EXPECT_FALSE(seen.run.timedOut);
    EXPECT_EQ(seen.run.exitCode, 1u);
    EXPECT_FALSE(seen.progressWindow);
    EXPECT_FALSE(seen.mainWindow);
    ExpectBoxes(seen.run, L"Runtime Check",
                {{DefaultNoticeText, BoxIcon::Information},
                 {L"Failed to create user data directory", BoxIcon::Error},
                 {DefaultFailureText, BoxIcon::Error}});
    EXPECT_EQ(VersionQueries(app.root.path()).size(), 2u);
    DeleteFileW(UserDataFolderOf(name).c_str());
}

}  // namespace
