#include "app/manifest.h"
#include "platform/json_lookup.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

AppConfig Parse(const std::string& text) {
    AppConfig config;
    ParseAppConfig(text, config);
    return config;
}

std::wstring FailureOf(const std::string& text) {
    try {
        Parse(text);
    } catch (const std::wstring& payload) {
        return payload;
    } catch (const nlohmann::json::exception&) {
        return L"json";
    }
    return L"none";
}

TEST(Manifest, NameAloneGivesEveryDefault) {
    const AppConfig c = Parse(R"({"name":"game"})");
    EXPECT_EQ(c.name, L"game");
    EXPECT_EQ(c.main, L"index.html");
    EXPECT_EQ(c.title, L"Windows Lanternshell");
    EXPECT_EQ(c.width, 1024);
    EXPECT_EQ(c.height, 768);
    EXPECT_EQ(c.icon, L"");
    EXPECT_TRUE(c.resizable);
    EXPECT_EQ(c.chromiumArgs, L"");
    EXPECT_EQ(c.distributionMode, DistributionMode::Evergreen);
    EXPECT_TRUE(c.enableDevtools);
    EXPECT_EQ(c.installWebView2Message,
              L"This app requires the Microsoft Edge WebView2 runtime. It will be downloaded and "
              L"installed for you now.");
    EXPECT_EQ(c.downloadingMessage, L"Downloading...");
    EXPECT_EQ(c.installWebView2FailedMessage,
              L"Failed to install the Microsoft Edge WebView2 runtime. Check that you have "
              L"permission to install it, and that your Internet connection is working. Run the "
              L"app again to try again.");
}

TEST(Manifest, EveryKeyIsRead) {
    const AppConfig c = Parse(R"({"name":"n","main":"game/start.html?level=2",
        "window":{"title":"T","width":800,"height":600,"icon":"icon.png","resizable":false},
        "chromium-args":"--mute-audio","settings":{"distribution-mode":"fixed","enable-devtools":false},
        "messages":{"install-webview2":"I","downloading":"D","install-webview2-failed":"F"}})");
    EXPECT_EQ(c.main, L"game/start.html?level=2");
    EXPECT_EQ(c.title, L"T");
    EXPECT_EQ(c.width, 800);
    EXPECT_EQ(c.height, 600);
    EXPECT_EQ(c.icon, L"icon.png");
    EXPECT_FALSE(c.resizable);
    EXPECT_EQ(c.chromiumArgs, L"--mute-audio");
    EXPECT_EQ(c.distributionMode, DistributionMode::Fixed);
    EXPECT_FALSE(c.enableDevtools);
    EXPECT_EQ(c.installWebView2Message, L"I");
    EXPECT_EQ(c.downloadingMessage, L"D");
    EXPECT_EQ(c.installWebView2FailedMessage, L"F");
}

struct FailureCase {
    const char* text;
    const wchar_t* failure;
};

TEST(Manifest, FailuresAndTheirPayloads) {
    const FailureCase cases[] = {
        {R"({"name":""})", L"invalid name"},
        {R"({"name":5})", L"invalid name"},
        {R"({"Name":"game"})", L"invalid name"},
        {R"({})", L"invalid name"},
        {R"(["name"])", L"invalid name"},
        {"null", L"invalid name"},
        {"\"game\"", L"invalid name"},
        {R"({"name":"g","settings":{"distribution-mode":"Fixed"}})", L"invalid distribution mode"},
        {R"({"name":"g","settings":{"distribution-mode":"fixed "}})", L"invalid distribution mode"},
        {R"({"name":"g","settings":{"distribution-mode":""}})", L"invalid distribution mode"},
        {"", L"json"},
        {"   \n\t", L"json"},
        {R"({"name":"g"} x)", L"json"},
        {"{\"name\":\"g\"} // note", L"json"},
        {"/* note */ {\"name\":\"g\"}", L"json"},
        {"{\"name\":\"g\xff\"}", L"json"},
    };
    for (const auto& c : cases) EXPECT_EQ(FailureOf(c.text), c.failure) << c.text;
    // The embedded NUL has to survive as far as the parser.
    EXPECT_EQ(FailureOf(std::string("{\"name\":\0\"g\"}", 13)), L"json");
}

TEST(Manifest, TextEndsAtFirstNulAndByteOrderMarkIsSkipped) {
    EXPECT_EQ(Parse(std::string("{\"name\":\"g\"}\0garbage{", 22)).name, L"g");
    EXPECT_EQ(Parse("\xEF\xBB\xBF{\"name\":\"bom\"}").name, L"bom");
}

TEST(Manifest, WrongTypesTakeDefaults) {
    const AppConfig c = Parse(R"({"name":"g","main":3,"window":"big",
        "settings":{"distribution-mode":1,"enable-devtools":0},"messages":[1]})");
    EXPECT_EQ(c.main, L"index.html");
    EXPECT_EQ(c.width, 1024);
    EXPECT_EQ(c.title, L"Windows Lanternshell");
    EXPECT_EQ(c.distributionMode, DistributionMode::Evergreen);
    EXPECT_TRUE(c.enableDevtools);
    EXPECT_EQ(c.downloadingMessage, L"Downloading...");
    EXPECT_EQ(Parse(R"({"name":"g","settings":"fixed"})").distributionMode,
              DistributionMode::Evergreen);
    EXPECT_EQ(Parse(R"({"name":"g","settings":{"distribution-mode":null}})").distributionMode,
              DistributionMode::Evergreen);
    EXPECT_EQ(Parse(R"({"name":"g","window":[800]})").width, 1024);
}

TEST(Manifest, NonAsciiTextArrivesAsUtf16) {
    const AppConfig c = Parse(
        "{\"name\":\"\xE6\xB8\xB8\xE6\x88\x8F game\","
        "\"window\":{\"title\":\"Caf\xC3\xA9 \xF0\x9F\x98\x80\"}}");
    EXPECT_EQ(c.name, L"\x6E38\x620F game");
    EXPECT_EQ(c.title, std::wstring(L"Caf\x00E9 ") + wchar_t(0xD83D) + wchar_t(0xDE00));
}

struct IntCase {
    const char* value;
    std::int32_t expected;
};

TEST(Manifest, IntegerRules) {
    const IntCase cases[] = {
        {"800", 800},
        {"-800", -800},
        {"800.9", 800},
        {"-800.9", -800},
        {"\"800\"", 1024},
        {"true", 1024},
        {"null", 1024},
        {"[800]", 1024},
        {"4294968064", 768},
        {"4294967295", -1},
        {"-4294967296", 0},
        {"18446744073709551615", -1},
        {"2147483647.5", 2147483647},
        {"2147483648.0", -2147483647 - 1},
        {"-2147483648.9", -2147483647 - 1},
        {"-2147483649.0", -2147483647 - 1},
        {"1e300", -2147483647 - 1},
        {"0.0", 0},
        {"-0.5", 0},
    };
    for (const auto& c : cases) {
        const auto doc = nlohmann::json::parse(std::string("{\"width\":") + c.value + "}");
        EXPECT_EQ(GetIntOr(doc, "width", 1024), c.expected) << c.value;
    }
    EXPECT_EQ(GetIntOr(nlohmann::json::parse("[1]"), "width", 7), 7);
}

TEST(Manifest, BooleanAndStringRules) {
    const auto doc = nlohmann::json::parse(
        R"({"t":true,"f":false,"zero":0,"text":"false","null":null,"s":"x","n":1})");
    EXPECT_TRUE(GetBoolOr(doc, "t", false));
    EXPECT_FALSE(GetBoolOr(doc, "f", true));
    EXPECT_TRUE(GetBoolOr(doc, "zero", true));
    EXPECT_TRUE(GetBoolOr(doc, "text", true));
    EXPECT_TRUE(GetBoolOr(doc, "null", true));
    EXPECT_TRUE(GetBoolOr(doc, "missing", true));
    EXPECT_EQ(GetStringOr(doc, "s", L"d"), L"x");
    EXPECT_EQ(GetStringOr(doc, "n", L"d"), L"d");
    EXPECT_EQ(GetStringOr(doc, "null", L"d"), L"d");
    EXPECT_EQ(GetStringOr(nlohmann::json("s"), "s", L"d"), L"d");
}

}  // namespace
