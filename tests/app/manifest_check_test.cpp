#include "app/manifest.h"
#include "app/manifest_check.h"
#include "platform/text.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

std::vector<std::string> Lines(const std::vector<ManifestFinding>& findings) {
    std::vector<std::string> lines;
    for (const auto& f : findings)
        lines.push_back((f.error ? "error: " : "warning: ") + DescribeFinding(f));
    return lines;
}

TEST(ManifestCheck, EachKindOfFindingAndItsText) {
    const std::string canBeNoName =
        " can't be a file or folder name: it must not be blank, hold \\ / : * ? \" < > | or "
        "control characters, end in a dot or space, or be a device name such as CON, and has "
        "at most 255 characters";
    const struct {
        std::string manifest;
        std::vector<std::string> findings;
    } cases[] = {
        {R"({"name":"g","version":"1.2","main":"a.html","window":{"title":"T","width":800,)"
         R"("height":600,"icon":"i.png","resizable":true,"remember":false,"fullscreen":false},)"
         R"("chromium-args":"","settings":{"distribution-mode":"fixed","enable-devtools":false,)"
         R"("single-instance":true,"browser-keys":true,"context-menu":true,"autoplay":false,)"
         R"("fullscreen-keys":true,"page-log":"all","gpu":"default","background":"run"},"messages":{"install-webview2":"","downloading":"",)"
         R"("install-webview2-failed":""},"pack":{"executable":"Game","company":"C",)"
         R"("copyright":"c 2026"},"saves":{"folder":"user-data","mirror-local-storage":true},)"
         R"("steam":{"app-id":480,"restart-through-steam":true}})",
         {}},
        {"{\"name\":\"g\",\n \"window\": {\"title\": }}",
         {"error: package.json: not valid JSON at line 2, column 22: syntax error while parsing "
          "value - unexpected '}'; expected '[', '{', or a literal"}},
        {R"({"name":"g","x":1e400})",
         {"error: package.json: not valid JSON at line 1, column 21: number overflow parsing "
          "'1e400'"}},
        {"",
         {"error: package.json: not valid JSON at line 1, column 1: syntax error while "
          "parsing value - unexpected end of input; expected '[', '{', or a literal"}},
        {"[1]", {"error: package.json: a list, expected an object"}},
        {"{}", {"error: name: missing; it is required"}},
        {R"({"Name":"g"})",
         {"warning: Name: unknown; did you mean name?", "error: name: missing; it is required"}},
        {R"({"name":5})", {"error: name: 5 is a number, expected a text"}},
        {R"({"name":"a/b"})", {"error: name: \"a/b\"" + canBeNoName}},
        {R"({"name":"g","window":{"width":"800"}})",
         {"warning: window.width: \"800\" is a text, expected a number; the default 1024 is used"}},
        {R"({"name":"g","settings":{"autoplay":"yes"}})",
         {"warning: settings.autoplay: \"yes\" is a text, expected true or false; the default "
          "false is used"}},
        {R"({"name":"g","main":[3]})",
         {"warning: main: a list, expected a text; the default \"index.html\" is used"}},
        {R"({"name":"g","messages":{"downloading":false}})",
         {"warning: messages.downloading: false, expected a text; the default "
          "\"Downloading...\" is used"}},
        {R"({"name":"g","messages":{"install-webview2":null}})",
         {"warning: messages.install-webview2: null, expected a text; the default \"This app "
          "requires the Microsoft Edge ...\" is used"}},
        {R"({"name":"g","window":"big"})",
         {"warning: window: \"big\" is a text, expected an object; every window key takes its "
          "default"}},
        {R"({"name":"g","settings":{"fullscreen-key":false}})",
         {"warning: settings.fullscreen-key: unknown; did you mean settings.fullscreen-keys?"}},
        {R"({"name":"g","title":"T","windw":{},"zzz":1})",
         {"warning: title: unknown; did you mean window.title?",
          "warning: windw: unknown; did you mean window?", "warning: zzz: unknown, ignored"}},
        {R"({"name":"g","settings":{"distribution-mode":"Fixed"}})",
         {"error: settings.distribution-mode: \"Fixed\" is neither \"evergreen\" nor \"fixed\""}},
        {R"({"name":"g","settings":{"distribution-mode":1}})",
         {"warning: settings.distribution-mode: 1 is a number, expected a text; the default "
          "\"evergreen\" is used"}},
        {R"({"name":"g","settings":{"gpu":"fast","page-log":"all"}})",
         {"warning: settings.gpu: \"fast\" is a text, expected one of \"high-performance\", "
          "\"default\"; the default \"high-performance\" is used"}},
        {R"({"name":"g","version":"1.2.x"})",
         {"error: version: \"1.2.x\" is not a version: one to four numbers from 0 to 65535 "
          "separated by dots, such as \"1.2.3\""}},
        {R"({"name":"g","pack":{"executable":"a\\b"}})",
         {"error: pack.executable: \"a\\b\"" + canBeNoName}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.manifest);
        EXPECT_EQ(Lines(CheckManifest(c.manifest)), c.findings);
    }
}

TEST(ManifestCheck, VersionsAreOneToFourNumbersUpTo65535) {
    const struct {
        const wchar_t* text;
        std::uint16_t numbers[4];
    } cases[] = {
        {L"1.2.3", {1, 2, 3, 0}},
        {L"7", {7, 0, 0, 0}},
        {L"65535.0.007.65535", {65535, 0, 7, 65535}},
    };
    for (const auto& c : cases) {
        std::uint16_t numbers[4] = {9, 9, 9, 9};
        EXPECT_TRUE(VersionNumbers(c.text, numbers)) << WideToUtf8(c.text);
        EXPECT_TRUE(std::equal(numbers, numbers + 4, c.numbers)) << WideToUtf8(c.text);
    }
    for (const wchar_t* text : {L"", L"1.", L".1", L"1..2", L"1.2.3.4.5", L"65536", L"99999999999",
                                L"1.-2", L"v1.2", L" 1.2", L"1.2.3-beta", L"\xFF11"}) {
        std::uint16_t numbers[4];
        EXPECT_FALSE(VersionNumbers(text, numbers)) << WideToUtf8(text);
    }
}

}  // namespace
