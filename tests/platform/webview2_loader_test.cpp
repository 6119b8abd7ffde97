// Loading the browser control's loader library, and the test double's answer
// to the runtime query. The loaded module is process-wide, so the failures
// run before the one successful load.
#include <gtest/gtest.h>

#include "platform/win32/com.h"
#include "platform/win32/webview2_loader.h"
#include "tests/support/harness.h"

namespace {

HRESULT IgnoreEnvironment(HRESULT, ICoreWebView2Environment*) {
    return S_OK;
}

// No usable library: the built-in path answers, and this prefix has no
// runtime for it (folder holds no "webview2" either).
void ExpectBuiltinServes(const std::wstring& folder) {
    EXPECT_EQ(WebView2Loader.module, nullptr);
    EXPECT_TRUE(WebView2Loader.builtin);
    EXPECT_EQ(WebView2Loader.exeFolder, folder);
    auto handler = MakeCallback<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(
        &IgnoreEnvironment);
    for (PCWSTR runtimeFolder : {static_cast<PCWSTR>(nullptr), L"webview2"}) {
        CoTaskMemString version;
        EXPECT_EQ(LoaderGetBrowserVersion(runtimeFolder, version.Put()),
                  HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
        EXPECT_FALSE(version);
        EXPECT_EQ(LoaderCreateEnvironment(runtimeFolder, L"x", nullptr, handler.Get()),
                  HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    }
}

TEST(Loader, MissingLibraryIsNotLookedForInTheCurrentDirectory) {
    // Before any load nothing answers.
    CoTaskMemString version;
    EXPECT_EQ(LoaderGetBrowserVersion(nullptr, version.Put()),
              HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
    EXPECT_FALSE(version);

    TempFolder empty(L"noloader");
    TempFolder current(L"cwd");
    InstallLoaderDouble(current.path());
    wchar_t before[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, before);
    SetCurrentDirectoryW(current.path().c_str());
    const bool loaded = LoadWebView2Loader(empty.path());
    SetCurrentDirectoryW(before);
    EXPECT_FALSE(loaded);
    ExpectBuiltinServes(empty.path());
    EXPECT_TRUE(ReadLoaderTranscript(current.path()).empty());
}

TEST(Loader, LibraryWithoutTheExportsIsRefusedAndUnloaded) {
    TempFolder folder(L"badloader");
    const std::wstring path = folder / L"WebView2Loader.dll";
    ASSERT_TRUE(
        CopyFileW((FolderOfTestProgram() + L"..\\app\\probe.dll").c_str(), path.c_str(), FALSE));
    EXPECT_FALSE(LoadWebView2Loader(folder.path()));
    ExpectBuiltinServes(folder.path());
    EXPECT_EQ(GetModuleHandleW(path.c_str()), nullptr);
}

TEST(Loader, DoubleAnswersTheRuntimeQueryFromItsScenario) {
    TempFolder folder(L"loader");
    InstallLoaderDouble(folder.path());
    ASSERT_TRUE(LoadWebView2Loader(folder.path()));
    ASSERT_NE(WebView2Loader.module, nullptr);
    EXPECT_TRUE(LoadWebView2Loader(folder.path()));  // a second call keeps the module

    const HRESULT notFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    const struct {
        const char* scenario;
        bool markerPresent;
        const wchar_t* folder;
        HRESULT result;
        const wchar_t* version;  // null: none handed out
    } cases[] = {
        {"", false, nullptr, S_OK, L"120.0.2210.91"},
        {R"({"version": "99.1"})", false, nullptr, S_OK, L"99.1"},
        {R"({"runtime": false})", false, nullptr, notFound, nullptr},
        {R"({"runtime": false})", false, L"webview2", notFound, nullptr},
        {R"({"runtime": false, "runtimeMarker": "installed.txt"})", false, nullptr, notFound,
         nullptr},
        {R"({"runtime": false, "runtimeMarker": "installed.txt"})", true, nullptr, S_OK,
         L"120.0.2210.91"},
        {R"({"fixedRuntime": false})", false, L"webview2", notFound, nullptr},
        {R"({"fixedRuntime": false})", false, nullptr, S_OK, L"120.0.2210.91"},
        {R"({"runtime": false, "fixedRuntime": true})", false, L"webview2", S_OK, L"120.0.2210.91"},
        {"not json", false, nullptr, S_OK, L"120.0.2210.91"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        WriteFileBytes(folder / L"loader-scenario.json", c.scenario);
        DeleteFileW((folder / L"installed.txt").c_str());
        if (c.markerPresent) WriteFileBytes(folder / L"installed.txt", "x");
        CoTaskMemString version;
        EXPECT_EQ(LoaderGetBrowserVersion(c.folder, version.Put()), c.result);
        if (c.version) {
            ASSERT_TRUE(version);
            EXPECT_EQ(version.Copy(), c.version);
        } else {
            EXPECT_FALSE(version);
        }
    }
    const auto transcript = ReadLoaderTranscript(folder.path());
    ASSERT_EQ(transcript.size(), std::size(cases));
    EXPECT_EQ(transcript[0],
              "GetAvailableCoreWebView2BrowserVersionString folder=null -> 0x00000000 "
              "version=\"120.0.2210.91\"");
    EXPECT_EQ(transcript[3],
              "GetAvailableCoreWebView2BrowserVersionString folder=\"webview2\" -> 0x80070002 "
              "version=null");
}

}  // namespace
