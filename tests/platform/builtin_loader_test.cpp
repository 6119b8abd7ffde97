// The built-in loader against the runtime double: fixed runtimes beside the
// executable, installed runtimes from the registry of this test prefix, and
// the creation call through the client library. The registry key is
// rewritten by every case, so this program has a prefix of its own.
#include <gtest/gtest.h>

#include <functional>

#include "platform/win32/com.h"
#include "platform/runtime_folder.h"
#include "platform/win32/builtin_loader.h"
#include "platform/win32/webview2_loader.h"
#include "tests/support/harness.h"

namespace {

const HRESULT NotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
const std::wstring ClientLibrary = L"EBWebView\\x64\\EmbeddedBrowserWebView.dll";

// Both roots in both views, so no case sees another's registration.
void ClearRegisteredRuntimes() {
    for (const wchar_t* root : {L"HKLM", L"HKCU"})
        for (const wchar_t* view : {L"/reg:32", L"/reg:64"})
            RegisterInstalledRuntime(root, L"", view);
}

class RegistryTest : public testing::Test {
protected:
    void SetUp() override { ClearRegisteredRuntimes(); }
    void TearDown() override { ClearRegisteredRuntimes(); }
};

// What both operations answer for one folder argument.
void ExpectAnswer(const std::wstring& exeFolder, PCWSTR folder, const wchar_t* version,
                  const std::wstring& library = {}) {
    BrowserRuntime runtime;
    const bool found = FindBrowserRuntime(exeFolder, folder, runtime);
    EXPECT_EQ(found, version != nullptr);
    CoTaskMemString text;
    const HRESULT result = BuiltinGetAvailableBrowserVersionString(exeFolder, folder, text.Put());
    if (version) {
        EXPECT_EQ(result, S_OK);
        ASSERT_TRUE(text);
        EXPECT_EQ(text.Copy(), version);
        EXPECT_EQ(runtime.version, version);
        if (!library.empty()) {
            EXPECT_EQ(runtime.clientLibrary, library);
        }
        EXPECT_EQ(runtime.type, folder && *folder ? FixedRuntime : InstalledRuntime);
    } else {
        EXPECT_EQ(result, NotFound);
        EXPECT_FALSE(text);
    }
}

TEST(BuiltinLoader, FixedRuntimeLivesBesideTheExecutable) {
    TempFolder exe(L"exe"), current(L"cwd");
    const struct {
        const char* name;
        std::function<void()> setUp;
        std::wstring folder;
        const wchar_t* version;
    } cases[] = {
        {"runtime in webview2", [&] { InstallRuntimeDouble(exe / L"webview2"); }, L"webview2",
         L"120.0.2210.91"},
        {"folder as a full path", [&] { InstallRuntimeDouble(exe / L"elsewhere"); },
         exe / L"elsewhere", L"120.0.2210.91"},
        {"only in the current directory", [&] { InstallRuntimeDouble(current / L"webview2"); },
         L"webview2", nullptr},
        {"no webview2 folder", [] {}, L"webview2", nullptr},
        {"folder without the client library",
         [&] { MakeFolders(exe / L"webview2\\EBWebView\\x64\\"); }, L"webview2", nullptr},
        {"client library as a folder",
         [&] { MakeFolders(exe / L"webview2\\" + ClientLibrary + L"\\"); }, L"webview2", nullptr},
        {"one number older than the target",
         [&] { InstallRuntimeDouble(exe / L"webview2", {}, true); }, L"webview2", nullptr},
        {"library without a version",
         [&] {
             MakeFolders(exe / L"webview2\\EBWebView\\x64\\");
             CopyFileW((FolderOfTestProgram() + L"..\\app\\probe.dll").c_str(),
                       (exe / L"webview2\\" + ClientLibrary).c_str(), FALSE);
         },
         L"webview2", nullptr},
    };
    wchar_t before[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, before);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveTree(exe / L"webview2");
        RemoveTree(current / L"webview2");
        c.setUp();
        // The current directory always holds a usable runtime: it must never count.
        if (!FileExists(current / L"webview2\\" + ClientLibrary))
            InstallRuntimeDouble(current / L"webview2");
        SetCurrentDirectoryW(current.path().c_str());
        ExpectAnswer(
            exe.path(), c.folder.c_str(), c.version,
            c.version ? ResolveRuntimeFolder(exe.path(), c.folder) + L"\\" + ClientLibrary : L"");
        SetCurrentDirectoryW(before);
    }
}

TEST_F(RegistryTest, InstalledRuntimeComesFromTheStableChannelsKey) {
    TempFolder root(L"installed");
    const auto runtime = [&](const wchar_t* version) {
        InstallRuntimeDouble(root / version);
        return root / version;
    };
    const std::wstring empty = root / L"125.0.2535.51";
    MakeFolders(empty + L"\\");
    const struct {
        const char* name;
        std::wstring machine, user;  // values for HKLM and HKCU, 32-bit view
        const wchar_t* version;
        std::wstring machine64 = {};  // HKLM's 64-bit view
    } cases[] = {
        {"machine-wide", runtime(L"121.0.2277.83"), L"", L"121.0.2277.83"},
        {"per user", L"", runtime(L"122.0.2365.59"), L"122.0.2365.59"},
        {"machine-wide first", runtime(L"121.0.2277.83"), runtime(L"122.0.2365.59"),
         L"121.0.2277.83"},
        {"machine folder without library", empty, runtime(L"122.0.2365.59"), L"122.0.2365.59"},
        {"machine too old", runtime(L"113.0.1774.29"), runtime(L"122.0.2365.59"), L"122.0.2365.59"},
        {"exactly the target", runtime(L"113.0.1774.30"), L"", L"113.0.1774.30"},
        {"too old alone", runtime(L"112.0.1722.64"), L"", nullptr},
        {"without library alone", L"", empty, nullptr},
        {"trailing backslash", runtime(L"121.0.2277.83") + L"\\\\", L"", L"121.0.2277.83"},
        {"folder not named as a version", runtime(L"Application"), L"", nullptr},
        {"relative folder", L"121.0.2277.83", L"", nullptr},
        {"64-bit view only", L"", L"", nullptr, runtime(L"121.0.2277.83")},
        {"nothing registered", L"", L"", nullptr},
    };
    // Relative values must not resolve against the current directory.
    wchar_t before[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, before);
    SetCurrentDirectoryW(root.path().c_str());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClearRegisteredRuntimes();
        if (!c.machine.empty()) RegisterInstalledRuntime(L"HKLM", c.machine);
        if (!c.user.empty()) RegisterInstalledRuntime(L"HKCU", c.user);
        if (!c.machine64.empty()) RegisterInstalledRuntime(L"HKLM", c.machine64, L"/reg:64");
        ExpectAnswer(L"C:\\nowhere\\", nullptr, c.version);
        ExpectAnswer(L"C:\\nowhere\\", L"", c.version);  // an empty folder means installed
    }
    SetCurrentDirectoryW(before);
}

// A completion handler that only counts its calls.
int environmentsDelivered = 0;
HRESULT CountEnvironment(HRESULT, ICoreWebView2Environment*) {
    ++environmentsDelivered;
    return S_OK;
}

TEST_F(RegistryTest, CreationGoesThroughTheClientLibraryByFullPath) {
    TempFolder exe(L"exe"), installed(L"installed");
    const std::wstring fixedFolder = InstallRuntimeDouble(exe / L"webview2");
    const std::wstring installedFolder = InstallRuntimeDouble(installed / L"120.0.2210.91");
    RegisterInstalledRuntime(L"HKCU", installed / L"120.0.2210.91");
    auto handler =
        MakeCallback<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(&CountEnvironment);

    const struct {
        const wchar_t* folder;
        std::wstring libraryFolder;
        int runtimeType;
    } cases[] = {{L"webview2", fixedFolder, 1}, {nullptr, installedFolder, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.runtimeType);
        const std::wstring library = c.libraryFolder + L"EmbeddedBrowserWebView.dll";
        EXPECT_EQ(GetModuleHandleW(library.c_str()), nullptr);
        const HRESULT result = BuiltinCreateEnvironmentWithOptions(
            exe.path(), c.folder, L"C:\\users\\data\\Game", nullptr, handler.Get());
        EXPECT_NE(GetModuleHandleW(library.c_str()), nullptr);
        const auto transcript = ReadLoaderTranscript(c.libraryFolder);
        ASSERT_GE(transcript.size(), 2u);
        EXPECT_EQ(transcript[0],
                  "CreateWebViewEnvironmentWithOptionsInternal checked=1 runtimeType=" +
                      std::to_string(c.runtimeType) +
                      " userDataFolder=\"C:\\\\users\\\\data\\\\Game\" handler=object");
        // The double's own answer to the creation comes back unchanged.
        EXPECT_NE(transcript[1].find(" -> " + Hex(result)), std::string::npos) << transcript[1];
    }

    // Without a runtime nothing is loaded and the caller hears why.
    ClearRegisteredRuntimes();
    TempFolder bare(L"bare");
    EXPECT_EQ(
        BuiltinCreateEnvironmentWithOptions(bare.path(), nullptr, L"C:\\x", nullptr, handler.Get()),
        NotFound);
    EXPECT_EQ(BuiltinCreateEnvironmentWithOptions(bare.path(), L"webview2", L"C:\\x", nullptr,
                                                  handler.Get()),
              NotFound);
}

// The process-wide loader: the built-in path serves until a loader library
// lies beside the executable, which then takes precedence.
TEST_F(RegistryTest, LoaderLibraryBesideTheExecutableTakesPrecedence) {
    TempFolder exe(L"exe");
    const std::wstring runtime = InstallRuntimeDouble(exe / L"webview2");
    EXPECT_FALSE(LoadWebView2Loader(exe.path()));
    EXPECT_TRUE(WebView2Loader.builtin);
    CoTaskMemString version;
    EXPECT_EQ(LoaderGetBrowserVersion(L"webview2", version.Put()), S_OK);
    ASSERT_TRUE(version);
    EXPECT_EQ(version.Copy(), L"120.0.2210.91");
    EXPECT_EQ(LoaderGetBrowserVersion(nullptr, version.Put()), NotFound);
    EXPECT_FALSE(version);

    InstallLoaderDouble(exe.path(), R"({"version": "99.1.0.0"})");
    EXPECT_TRUE(LoadWebView2Loader(exe.path()));
    EXPECT_FALSE(WebView2Loader.builtin);
    EXPECT_EQ(LoaderGetBrowserVersion(L"webview2", version.Put()), S_OK);
    ASSERT_TRUE(version);
    EXPECT_EQ(version.Copy(), L"99.1.0.0");
    const auto transcript = ReadLoaderTranscript(exe.path());
    ASSERT_EQ(transcript.size(), 1u);
    EXPECT_EQ(transcript[0],
              "GetAvailableCoreWebView2BrowserVersionString folder=\"webview2\" -> 0x00000000 "
              "version=\"99.1.0.0\"");
    EXPECT_TRUE(ReadLoaderTranscript(runtime).empty());
}

}  // namespace
