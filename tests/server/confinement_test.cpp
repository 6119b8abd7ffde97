// Hostile request paths: every way of writing a way out of www, or a name
// Windows would open as something other than a file there, answers 404.
#include "server/router.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <vector>

#include "server/byte_range.h"
#include "server/request_path.h"
#include "tests/server/content_folder.h"

namespace {

const std::vector<std::wstring> Separators = {L"/", L"\\", L"%2f", L"%2F", L"%5c", L"%5C"};
const std::vector<std::wstring> Dots = {L".", L"%2e", L"%2E"};

std::wstring Escaped(wchar_t ascii) {
    const wchar_t* hex = L"0123456789ABCDEF";
    return {L'%', hex[ascii >> 4], hex[ascii & 15]};
}

std::vector<std::wstring> HostilePaths(const std::wstring& absoluteSecret) {
    std::vector<std::wstring> paths;
    // Parent references, every dot and separator spelling, from the root
    // and from below a real folder.
    for (const auto& first : Dots)
        for (const auto& second : Dots)
            for (const auto& separator : Separators) {
                const std::wstring up = first + second + separator;
                paths.push_back(up + L"secret.txt");
                paths.push_back(L"sub" + separator + up + up + L"secret.txt");
                paths.push_back(L"sub/" + first + second);
            }
    // Segments that Windows trims down to "." or "..".
    for (const wchar_t* odd : {L"...", L"%2e%2e%2e", L".. ", L"..%20", L". .", L"..%2E", L" "})
        for (const auto& separator : {L"/", L"%5c"})
            paths.push_back(std::wstring(odd) + separator + L"secret.txt");
    // Absolute, drive, UNC and device forms.
    for (const auto& separator : Separators) {
        paths.push_back(separator + absoluteSecret);
        paths.push_back(separator + separator + L"?" + separator + L"C:" + separator + L"x");
        paths.push_back(separator + separator + L"." + separator + L"C:" + separator + L"x");
        paths.push_back(separator + separator + L"server" + separator + L"share" + separator +
                        L"secret.txt");
        paths.push_back(L"C:" + separator + L"secret.txt");
        paths.push_back(L"c%3a" + separator + L"secret.txt");
    }
    paths.push_back(absoluteSecret);
    // Alternate data streams and early ends.
    for (const wchar_t* tail :
         {L"::$DATA", L"%3a%3a$DATA", L"%3A%3A$DATA", L":alt", L"%00", L"%00.png", L"%3A"})
        paths.push_back(std::wstring(L"index.html") + tail);
    // Reserved device names, in any case, with or without an extension.
    std::vector<std::wstring> devices = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (wchar_t digit = L'1'; digit <= L'9'; ++digit) {
        devices.push_back(std::wstring(L"COM") + digit);
        devices.push_back(std::wstring(L"LPT") + digit);
    }
    for (const auto& device : devices) {
        std::wstring lower = device;
        for (auto& unit : lower)
            if (unit >= L'A' && unit <= L'Z') unit = static_cast<wchar_t>(unit - L'A' + L'a');
        std::wstring mixed = lower;
        mixed[0] = device[0];
        paths.push_back(device);
        paths.push_back(lower + L".txt");
        paths.push_back(L"sub/" + mixed + L".tar.gz");
        paths.push_back(L"sub%5c" + lower + L"%20.png");
        paths.push_back(Escaped(device[0]) + lower.substr(1) + L"/x");
    }
    paths.push_back(L"COM\x00B9.txt");
    // Overlong UTF-8 spellings of "." and "/".
    for (const wchar_t* overlong : {L"%c0%ae%c0%ae/secret.txt", L"..%c0%afsecret.txt",
                                    L"%e0%80%ae%e0%80%ae/secret.txt", L"..%c1%9csecret.txt"})
        paths.push_back(overlong);
    // The content root and folders inside it.
    for (const wchar_t* folder : {L"", L"?x=1", L"#top", L"sub", L"sub/", L"sub%2F", L"./"})
        paths.push_back(folder);
    return paths;
}

TEST(Confinement, NoHostilePathLeavesTheContentRoot) {
    ContentFolder folder;
    folder.Write(L"../secret.txt", "secret");
    folder.Write(L"index.html", "index");
    folder.Write(L"sub/inside.txt", "inside");
    // The planted file is reachable by plain concatenation, so the cases
    // below would read it without confinement.
    ASSERT_TRUE(folder.Exists(L"sub/../../secret.txt"));

    std::wstring absolute = folder.HostPath(L"../secret.txt");
    if (absolute[0] == L'\\') absolute.erase(0, 1);
    const std::vector<std::wstring> paths = HostilePaths(absolute);
    EXPECT_GE(std::set<std::wstring>(paths.begin(), paths.end()).size(), 200u);

    for (const std::wstring& path : paths) {
        for (const std::optional<std::wstring_view> range :
             {std::optional<std::wstring_view>(), std::optional<std::wstring_view>(L"bytes=1-3")}) {
            SCOPED_TRACE(testing::PrintToString(path) + (range ? " with a range" : ""));
            const Answer answer = RouteRequest(folder.Server(), RequestUri(path), range);
            EXPECT_EQ(answer.status, 404);
            EXPECT_EQ(std::wstring(answer.reasonPhrase), L"Not Found");
            EXPECT_EQ(answer.headers, L"Cache-Control: no-store");
            EXPECT_EQ(answer.body.kind, BodyKind::NotFoundText);
            EXPECT_EQ(ReadBody(answer).bytes, "File not found");
        }
    }
    EXPECT_EQ(folder.Server().Mappings().Count(), 0u);

    // Names that only look alike are served.
    for (const wchar_t* fine : {L"index.html", L"sub/inside.txt", L"sub%2Finside.txt"})
        EXPECT_EQ(RouteRequest(folder.Server(), RequestUri(fine), std::nullopt).status, 200)
            << testing::PrintToString(std::wstring(fine));
}

TEST(Confinement, DeviceNamesOnlyMatchWholeBaseNames) {
    for (const wchar_t* name : {L"console.txt", L"com10.png", L"lpt.txt", L"nul_", L"auxiliary",
                                L"a.con", L"con_x.png", L"COM0x", L"..a", L"a..", L".hidden"})
        EXPECT_TRUE(IsServablePath(name)) << testing::PrintToString(std::wstring(name));
}

}  // namespace
