// The real executable's startup up to the manifest: which box, which caption,
// which exit code, wherever it is started from.
#include <gtest/gtest.h>
#include <shlobj.h>

#include "platform/text.h"
#include "platform/win32/module_path.h"
#include "tests/support/harness.h"

namespace {

const wchar_t* const LoadText =
    L"Failed to load package.json. Check the file is in the same folder as the app.";
const wchar_t* const ParseText =
    L"Failed to parse package.json. Check the file has valid JSON and that all parameters are "
    L"correct.";

void ExpectSingleFailureBox(const RunResult& run, const wchar_t* text) {
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 1u);
    ExpectBoxes(run, L"Windows Lanternshell", {{text, BoxIcon::Error}});
}

struct ManifestCase {
    const char* name;
    std::string manifest;  // empty: no file at all
    bool writeEmptyFile;
    const wchar_t* text;
};

TEST(Startup, ManifestFailuresShowOneBoxAndExitWithOne) {
    const ManifestCase cases[] = {
        {"missing", "", false, LoadText},
        {"empty file", "", true, LoadText},
        {"white space only", " \r\n\t ", false, ParseText},
        {"syntax error", "{\"name\":", false, ParseText},
        {"empty name", R"({"name":""})", false, ParseText},
        {"bad mode", R"({"name":"g","settings":{"distribution-mode":"Fixed"}})", false, ParseText},
        {"comment", "{\"name\":\"g\"} // c", false, ParseText},
        {"name climbing out", R"({"name":"..\\..\\x"})", false, ParseText},
        {"device name", R"({"name":"nul"})", false, ParseText},
        {"number past a double", R"({"name":"g","window":{"width":1e400}})", false, ParseText},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppFolder app(c.manifest);
        if (c.writeEmptyFile) WriteFileBytes(app.root / L"package.json", "");
        ExpectSingleFailureBox(RunProgram(app.exe), c.text);
    }
}

TEST(Startup, ManifestInCurrentDirectoryIsNotFound) {
    AppFolder app("");
    TempFolder elsewhere(L"cwd");
    WriteFileBytes(elsewhere / L"package.json", R"({"name":"elsewhere"})");
    RunOptions options;
    options.currentDirectory = elsewhere.path();
    ExpectSingleFailureBox(RunProgram(app.exe, options), LoadText);
}

TEST(Startup, StartedThroughDotDotSegmentsFindsItsManifest) {
    // An empty name fails the parse, which proves the manifest beside the
    // executable was found and read.
    AppFolder app(R"({"name":""})");
    CreateDirectoryW((app.root / L"sub").c_str(), nullptr);
    RunOptions options;
    options.commandLineTail = L"--ignored argument";
    ExpectSingleFailureBox(RunProgram(app.root / L"sub\\..\\.\\Lanternshell.exe", options),
                           ParseText);
}

TEST(Paths, ModulePathLongerThanMaxPathIsReadWhole) {
    // Wine cannot start a program from such a folder, so a DLL loaded from
    // one stands in for the executable: both are read by the same call.
    TempFolder base(L"long");
    std::wstring folder = base.path();
    while (folder.size() < 300) folder += L"a-rather-long-folder-name\\";
    MakeFolders(L"\\\\?\\" + folder);
    const std::wstring dll = folder + L"probe.dll";
    ASSERT_TRUE(CopyFileW((FolderOfTestProgram() + L"probe.dll").c_str(),
                          (L"\\\\?\\" + dll).c_str(), FALSE));
    HMODULE module = LoadLibraryW(dll.c_str());
    ASSERT_NE(module, nullptr);
    const std::wstring path = GetModulePath(module);
    FreeLibrary(module);
    ASSERT_GT(path.size(), 260u);
    EXPECT_EQ(_wcsicmp(path.c_str(), dll.c_str()), 0) << path;
    EXPECT_EQ(_wcsicmp(FolderOfPath(path).c_str(), folder.c_str()), 0);
}

TEST(Paths, LocalAppDataFolderAgreesWithKnownFolder) {
    PWSTR known = nullptr;
    ASSERT_EQ(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known), S_OK);
    EXPECT_EQ(GetUserDataHome(), std::wstring(known));
    CoTaskMemFree(known);
    wchar_t fromEnvironment[MAX_PATH];
    const DWORD n = GetEnvironmentVariableW(L"LOCALAPPDATA", fromEnvironment, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        EXPECT_EQ(_wcsicmp(GetUserDataHome().c_str(), fromEnvironment), 0);
    }
}

}  // namespace
