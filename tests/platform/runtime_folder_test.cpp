// Version comparison and the runtime folder's paths, shared by both builds.
#include "platform/runtime_folder.h"
#include "platform/text.h"

#include <gtest/gtest.h>

namespace {

TEST(BrowserVersion, OnlyFourPlainNumbersParse) {
    const struct {
        const wchar_t* text;
        BrowserVersion version;
    } cases[] = {
        {L"120.0.2210.91", {120, 0, 2210, 91}},
        {L"0.0.0.0", {0, 0, 0, 0}},
        {L"007.1.2.3", {7, 1, 2, 3}},
        {L"4294967295.0.0.1", {4294967295u, 0, 0, 1}},
    };
    for (const auto& c : cases) {
        BrowserVersion version{9, 9, 9, 9};
        EXPECT_TRUE(ParseBrowserVersion(c.text, version)) << WideToUtf8(c.text);
        EXPECT_EQ(version, c.version) << WideToUtf8(c.text);
    }
    for (const wchar_t* text :
         {L"4294967296.0.0.1", L"120.0.2210", L"120.0.2210.91.5", L"120.0..91", L".120.0.2210",
          L"120.0.2210.91.", L"120.0.2210.-1", L"120.0.2210.+1", L" 120.0.2210.91",
          L"120.0.2210.91 beta", L"", L"EBWebView"}) {
        BrowserVersion version{9, 9, 9, 9};
        EXPECT_FALSE(ParseBrowserVersion(text, version)) << WideToUtf8(text);
        EXPECT_EQ(version, (BrowserVersion{9, 9, 9, 9})) << "untouched on failure";
    }
    EXPECT_EQ(BrowserVersionText({120, 0, 2210, 91}), L"120.0.2210.91");
    EXPECT_EQ(BrowserVersionText({65535, 0, 0, 0}), L"65535.0.0.0");
}

TEST(BrowserVersion, UsableFromTheTargetVersionOnNumberByNumber) {
    const struct {
        const wchar_t* text;
        bool usable;
    } cases[] = {
        {L"113.0.1774.30", true},
        {L"113.0.1774.29", false},
        {L"113.0.1774.31", true},
        {L"113.0.1773.99", false},
        {L"113.0.1775.0", true},
        {L"113.1.0.0", true},
        {L"112.9.9999.9999", false},
        {L"114.0.0.0", true},
        {L"99.0.9999.9999", false},  // fewer digits, not less text
        {L"1000.0.0.0", true},       // compared as numbers, not as text
        {L"120.0.2210.91", true},
        {L"120.0.2210", false},
        {L"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.text, c.text + wcslen(c.text)));
        EXPECT_EQ(IsUsableBrowserVersion(c.text), c.usable);
    }
}

TEST(RuntimeFolder, RelativeFoldersBelongToTheExecutablesFolder) {
    const std::wstring exe = L"C:\\Games\\Lantern\\";
    EXPECT_EQ(ResolveRuntimeFolder(exe, L"webview2"), L"C:\\Games\\Lantern\\webview2");
    EXPECT_EQ(ResolveRuntimeFolder(exe, L"..\\shared\\webview2"),
              L"C:\\Games\\Lantern\\..\\shared\\webview2");
    // Drive-relative and root-relative paths would depend on the current
    // drive or directory, so they stay under the executable's folder too.
    EXPECT_EQ(ResolveRuntimeFolder(exe, L"D:webview2"), L"C:\\Games\\Lantern\\D:webview2");
    EXPECT_EQ(ResolveRuntimeFolder(exe, L"\\webview2"), L"C:\\Games\\Lantern\\\\webview2");
    EXPECT_EQ(ResolveRuntimeFolder(exe, L"D:\\Runtimes\\webview2"), L"D:\\Runtimes\\webview2");
    EXPECT_EQ(ResolveRuntimeFolder(exe, L"d:/Runtimes"), L"d:/Runtimes");
    EXPECT_EQ(ResolveRuntimeFolder(exe, L"\\\\server\\share\\webview2"),
              L"\\\\server\\share\\webview2");

    EXPECT_FALSE(IsFullPath(L""));
    EXPECT_FALSE(IsFullPath(L"C:"));
    EXPECT_FALSE(IsFullPath(L"\\\\\\x"));
    EXPECT_FALSE(IsFullPath(L"1:\\x"));
    EXPECT_TRUE(IsFullPath(L"\\\\?\\C:\\x"));
}

TEST(RuntimeFolder, ClientLibraryAndVersionComponent) {
    const std::wstring library = L"\\EBWebView\\x64\\EmbeddedBrowserWebView.dll";
    EXPECT_EQ(ClientLibraryPath(L"C:\\app\\webview2"), L"C:\\app\\webview2" + library);
    EXPECT_EQ(ClientLibraryPath(L"C:\\app\\webview2\\\\"), L"C:\\app\\webview2" + library);
    EXPECT_EQ(ClientLibraryPath(L"C:/app/webview2/"), L"C:/app/webview2" + library);

    const std::wstring installed = L"C:\\Program Files (x86)\\EdgeWebView\\120.0.2210.91";
    EXPECT_EQ(LastPathComponent(installed), L"120.0.2210.91");
    EXPECT_EQ(LastPathComponent(installed + L"\\"), L"120.0.2210.91");
    EXPECT_EQ(LastPathComponent(L"C:/rt/114.0.1823.37//"), L"114.0.1823.37");
    EXPECT_EQ(LastPathComponent(L"120.0.2210.91"), L"120.0.2210.91");
    EXPECT_EQ(LastPathComponent(L"C:\\"), L"C:");
    EXPECT_EQ(LastPathComponent(L""), L"");
}

}  // namespace
