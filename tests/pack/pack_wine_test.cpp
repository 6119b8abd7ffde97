// The pack tool as shipped, run on app folders, and what Windows' own
// readers make of what it packed: version strings, icons, the checksum, the
// signature, and the executable still running the app. The packed folders
// stay in LS_PACK_WORK for the signing test that follows.
#include <gtest/gtest.h>
#include <windows.h>
#include <imagehlp.h>
#include <shellapi.h>

#include <algorithm>
#include <cwchar>

#include "platform/text.h"
#include "tests/support/harness.h"
#include "tests/support/log_lines.h"
#include "tests/support/test_time.h"

namespace {

struct ToolRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;  // both streams
};

ToolRun RunTool(const std::wstring& arguments) {
    TempFolder folder(L"tool");
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = CreateFileW(
        (folder / L"output").c_str(), GENERIC_WRITE, 0, &inherited, CREATE_ALWAYS, 0, nullptr);
    std::wstring commandLine = L"\"" + FromRunnerPath(LS_PACK_TOOL) + L"\" " + arguments;
    PROCESS_INFORMATION process{};
    ToolRun run;
    // No CREATE_NO_WINDOW: under Wine a console program started so
    // sometimes ended at once, doing nothing, with exit code 0.
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &process)) {
        WaitForSingleObject(process.hProcess, ScaledMs(60000));
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(startup.hStdOutput);
    run.output = ReadFileBytes(folder / L"output");
    return run;
}

const char* const Manifest =
    R"({"name":"pack-game","version":"1.2.3","window":{"title":"Pack Game","icon":"ICON"},)"
    R"("pack":{"company":"Lantern Works","copyright":"2026 Lantern Works"},"windw":{}})";

// Packs an app folder with the icon at source into LS_PACK_WORK\name.
struct Packed {
    Packed(const std::wstring& name, const std::wstring& source, const std::wstring& exe) {
        std::string manifest = Manifest;
        const std::wstring icon = source.substr(source.find_last_of(L"\\") + 1);
        manifest.replace(manifest.find("ICON"), 4, WideToUtf8(icon));
        AppFolder app(manifest, L"pack-app");
        CopyFileW(source.c_str(), (app.root / icon).c_str(), FALSE);
        folder = FromRunnerPath(LS_PACK_WORK) + L"\\" + name;
        RemoveTree(folder);
        // No backslash before a closing quote, which would escape it.
        const std::wstring root = app.root.path().substr(0, app.root.path().size() - 1);
        run = RunTool(L"\"" + root + L"\" \"" + folder + L"\" --exe \"" + exe + L"\"");
        folder += L"\\";
        executable = folder + L"Pack Game.exe";
    }
    std::wstring folder, executable;
    ToolRun run;
};

std::wstring Source(const char* relative) {
    return FromRunnerPath(std::string(LS_SOURCE_DIR "/") + relative);
}

std::wstring VersionString(const std::vector<char>& info, const wchar_t* name) {
    WORD* translation = nullptr;  // the language and code page of the strings
    wchar_t *value = nullptr, key[128];
    UINT length = 0;
    VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                   reinterpret_cast<void**>(&translation), &length);
    std::swprintf(key, 128, L"\\StringFileInfo\\%04x%04x\\%ls", translation ? translation[0] : 0,
                  translation ? translation[1] : 0, name);
    return VerQueryValueW(info.data(), key, reinterpret_cast<void**>(&value), &length) ? value
                                                                                       : L"-";
}

std::string ResourceBytes(const std::wstring& file, const wchar_t* name, const wchar_t* type) {
    HMODULE module = LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = module ? FindResourceW(module, name, type) : nullptr;
    std::string bytes =
        found ? std::string(static_cast<const char*>(LockResource(LoadResource(module, found))),
                            SizeofResource(module, found))
              : std::string();
    if (module) FreeLibrary(module);
    return bytes;
}

DWORD Certificates(const std::wstring& file) {
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    DWORD count = 0;
    ImageEnumerateCertificates(handle, CERT_SECTION_TYPE_ANY, &count, nullptr, 0);
    CloseHandle(handle);
    return count;
}

// What every packed executable must be: a valid image with its checksum,
// the version information, the host's application manifest untouched, and
// iconCount images in its one icon, each loadable at every size.
void ExpectBranded(const Packed& packed, int iconCount) {
    ASSERT_EQ(packed.run.exitCode, 0u) << packed.run.output;
    DWORD header = 0, computed = 0;
    ASSERT_EQ(MapFileAndCheckSumW(packed.executable.c_str(), &header, &computed),
              static_cast<DWORD>(CHECKSUM_SUCCESS));
    EXPECT_EQ(header, computed);
    EXPECT_EQ(Certificates(packed.executable), 0u);

    DWORD ignored = 0;
    std::vector<char> info(GetFileVersionInfoSizeW(packed.executable.c_str(), &ignored));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(GetFileVersionInfoW(packed.executable.c_str(), 0, static_cast<DWORD>(info.size()),
                                    info.data()));
    const std::pair<const wchar_t*, const wchar_t*> strings[] = {
        {L"FileDescription", L"Pack Game"},     {L"ProductName", L"Pack Game"},
        {L"FileVersion", L"1.2.3.0"},           {L"ProductVersion", L"1.2.3.0"},
        {L"CompanyName", L"Lantern Works"},     {L"LegalCopyright", L"2026 Lantern Works"},
        {L"OriginalFilename", L"Pack Game.exe"}};
    for (const auto& [name, value] : strings) EXPECT_EQ(VersionString(info, name), value) << name;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010002u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00030000u);

    const wchar_t* const manifest = MAKEINTRESOURCEW(1);
    EXPECT_EQ(ResourceBytes(packed.executable, manifest, RT_MANIFEST),
              ResourceBytes(LanternshellPath(), manifest, RT_MANIFEST));
    const std::string group = ResourceBytes(packed.executable, L"MAINICON", RT_GROUP_ICON);
    ASSERT_GE(group.size(), 6u);
    EXPECT_EQ(group[4], iconCount);

    HMODULE module = LoadLibraryExW(packed.executable.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
    for (const int size : {16, 32, 48, 256}) {
        HICON icon = static_cast<HICON>(LoadImageW(module, L"MAINICON", IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr) << size;
        EXPECT_EQ(IconSize(icon).cx, size);
        DestroyIcon(icon);
    }
    FreeLibrary(module);
    // The shell's reading: one icon, in both its sizes.
    EXPECT_EQ(ExtractIconExW(packed.executable.c_str(), -1, nullptr, nullptr, 0), 1u);
    HICON large = nullptr, small = nullptr;
    EXPECT_EQ(ExtractIconExW(packed.executable.c_str(), 0, &large, &small, 1), 2u);
    EXPECT_TRUE(large && small && DestroyIcon(large) && DestroyIcon(small));
}

TEST(PackedExecutable, APngIconIsStoredWholeAndTheExecutableStillRunsTheApp) {
    const Packed packed(L"png", Source("examples/lantern-garden/icon.png"), LanternshellPath());
    ExpectBranded(packed, 1);
    EXPECT_EQ(ResourceBytes(packed.executable, MAKEINTRESOURCEW(1), RT_ICON),
              ReadFileBytes(Source("examples/lantern-garden/icon.png")));

    // With the browser control's double, per monitor aware, the checker's
    // warnings in its log.
    InstallLoaderDouble(packed.folder, R"({"events":[{"event":"DOMContentLoaded"}]})");
    const std::wstring log = GetUserDataHome() + L"\\pack-game\\Lanternshell.log";
    DeleteFileW(log.c_str());
    DPI_AWARENESS awareness = DPI_AWARENESS_INVALID;
    RunOptions options;
    options.timeoutMs = 40000;
    options.onWindow = [&](HWND window) {
        if (ClassOf(window) != L"WindowsLanternshell" || !IsWindowVisible(window)) return;
        awareness = GetAwarenessFromDpiAwarenessContext(GetWindowDpiAwarenessContext(window));
        PostMessageW(window, WM_CLOSE, 0, 0);
    };
    const RunResult run = RunProgram(packed.executable, options);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(awareness, DPI_AWARENESS_PER_MONITOR_AWARE);
    const auto lines = LogEventsOf(ReadFileBytes(log));
    EXPECT_NE(
        std::find(lines.begin(), lines.end(), "manifest: windw: unknown; did you mean window?"),
        lines.end());
}

TEST(PackedExecutable, AnIcoIconKeepsEachOfItsImages) {
    ExpectBranded(Packed(L"ico", Source("resources/lanternshell.ico"), LanternshellPath()), 3);
}

TEST(PackedExecutable, ASignedHostLosesItsSignatureAndTheToolSaysSo) {
    const std::wstring signedHost = FromRunnerPath(LS_PACK_SIGNED_HOST);
    ASSERT_EQ(Certificates(signedHost), 1u);
    const Packed packed(L"signed", Source("examples/lantern-garden/icon.png"), signedHost);
    ExpectBranded(packed, 1);
    EXPECT_NE(packed.run.output.find("was signed; the packed copy is not, since branding "
                                     "changed what was signed: sign \"Pack Game.exe\" now"),
              std::string::npos)
        << packed.run.output;
}

}  // namespace
