#include "app/manifest.h"
#include "platform/json_lookup.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>

namespace {

AppConfig Parse(const std::string& text) {
    AppConfig config;
    ParseAppConfig(text, config);
    return config;
}

std::wstring FailureOf(const std::string& text) {
    AppConfig config;
    switch (ParseAppConfig(text, config)) {
        case ManifestError::None:
            return L"none";
        case ManifestError::InvalidJson:
            return L"invalid JSON";
        case ManifestError::InvalidName:
            return L"invalid name";
        case ManifestError::InvalidDistributionMode:
            return L"invalid distribution mode";
    }
    return L"unknown";
}

TEST(Manifest, NameAloneGivesEveryDefault) {
    const AppConfig c = Parse(R"({"name":"game"})");
    EXPECT_EQ(c.name, L"game");
    EXPECT_EQ(c.main, L"index.html");
    EXPECT_EQ(c.title, DefaultTitle);
    EXPECT_EQ(c.width, 1024);
    EXPECT_EQ(c.height, 768);
    EXPECT_EQ(c.icon, L"");
    EXPECT_TRUE(c.resizable);
    EXPECT_EQ(c.chromiumArgs, L"");
    EXPECT_EQ(c.distributionMode, DistributionMode::Evergreen);
    EXPECT_TRUE(c.enableDevtools);
    EXPECT_TRUE(c.browserKeys);
    EXPECT_TRUE(c.contextMenu);
    EXPECT_FALSE(c.autoplay);
    EXPECT_TRUE(c.fullscreenKeys);
    EXPECT_FALSE(c.fullscreen);
    EXPECT_EQ(c.installWebView2Message,
              L"This app requires the Microsoft Edge WebView2 runtime. It will be downloaded and "
              L"installed for you now.");
    EXPECT_EQ(c.downloadingMessage, L"Downloading...");
    EXPECT_EQ(c.installWebView2FailedMessage,
              L"Failed to install the Microsoft Edge WebView2 runtime. Check that you have "
              L"permission to install it, and that your Internet connection is working. Run the "
              L"app again to try again.");
}

// Every field, so a default written in two places can't drift apart.
void ExpectSameConfig(const AppConfig& seen, const AppConfig& expected) {
    EXPECT_EQ(seen.name, expected.name);
    EXPECT_EQ(seen.main, expected.main);
    EXPECT_EQ(seen.title, expected.title);
    EXPECT_EQ(seen.width, expected.width);
    EXPECT_EQ(seen.height, expected.height);
    EXPECT_EQ(seen.icon, expected.icon);
    EXPECT_EQ(seen.resizable, expected.resizable);
    EXPECT_EQ(seen.rememberWindow, expected.rememberWindow);
    EXPECT_EQ(seen.singleInstance, expected.singleInstance);
    EXPECT_EQ(seen.chromiumArgs, expected.chromiumArgs);
    EXPECT_EQ(seen.distributionMode, expected.distributionMode);
    EXPECT_EQ(seen.enableDevtools, expected.enableDevtools);
    EXPECT_EQ(seen.browserKeys, expected.browserKeys);
    EXPECT_EQ(seen.contextMenu, expected.contextMenu);
    EXPECT_EQ(seen.autoplay, expected.autoplay);
    EXPECT_EQ(seen.fullscreenKeys, expected.fullscreenKeys);
    EXPECT_EQ(seen.fullscreen, expected.fullscreen);
    EXPECT_EQ(seen.installWebView2Message, expected.installWebView2Message);
    EXPECT_EQ(seen.downloadingMessage, expected.downloadingMessage);
    EXPECT_EQ(seen.installWebView2FailedMessage, expected.installWebView2FailedMessage);
    EXPECT_EQ(seen.version, expected.version);
    EXPECT_EQ(seen.packExecutable, expected.packExecutable);
    EXPECT_EQ(seen.packCompany, expected.packCompany);
    EXPECT_EQ(seen.packCopyright, expected.packCopyright);
    EXPECT_EQ(seen.pageLog, expected.pageLog);
    EXPECT_EQ(seen.gpu, expected.gpu);
    EXPECT_EQ(seen.background, expected.background);
    EXPECT_EQ(seen.savesFolder, expected.savesFolder);
    EXPECT_EQ(seen.mirrorLocalStorage, expected.mirrorLocalStorage);
    EXPECT_EQ(seen.steamAppId, expected.steamAppId);
    EXPECT_EQ(seen.restartThroughSteam, expected.restartThroughSteam);
}

TEST(Manifest, ValuesLeftOutAreThoseOfADefaultConfig) {
    AppConfig expected;
    expected.name = L"game";
    const char* const texts[] = {
        R"({"name":"game"})",
        R"({"name":"game","main":3,"window":"big","chromium-args":[],)"
        R"("settings":{"distribution-mode":1,"enable-devtools":0},"messages":[1]})",
        R"({"name":"game","window":{"width":"800","height":null,"resizable":"no"},)"
        R"("settings":{"distribution-mode":null},"messages":{"downloading":false}})",
        R"({"name":"game","window":{"remember":1},"settings":{"single-instance":"no"}})",
        R"({"name":"game","window":{"fullscreen":1},"settings":{"browser-keys":"no",)"
        R"("context-menu":0,"autoplay":"yes","fullscreen-keys":null}})",
        R"({"name":"game","version":1.2,"pack":{"executable":1,"company":[],"copyright":{}}})",
        R"({"name":"game","window":[800],"settings":"fixed"})",
        // A text that is none of a key's choices, in any case, takes the default too.
        R"({"name":"game","settings":{"page-log":"Off","gpu":"","background":"running"},)"
        R"("saves":{"folder":"saved games","mirror-local-storage":1},)"
        R"("steam":{"app-id":"480","restart-through-steam":null}})",
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        // What the config held before parsing plays no part.
        AppConfig config;
        config.main = L"old.html";
        config.width = 5;
        config.resizable = false;
        config.distributionMode = DistributionMode::Fixed;
        config.downloadingMessage = L"old";
        config.version = L"9";
        ParseAppConfig(text, config);
        ExpectSameConfig(config, expected);
    }
}

TEST(Manifest, EveryKeyIsRead) {
    const AppConfig c = Parse(R"({"name":"n","main":"game/start.html?level=2",
        "window":{"title":"T","width":800,"height":600,"icon":"icon.png","resizable":false,
        "remember":true,"fullscreen":true},
        "chromium-args":"--mute-audio","settings":{"distribution-mode":"fixed","enable-devtools":false,
            "single-instance":false,"browser-keys":false,"context-menu":false,"autoplay":true,
            "fullscreen-keys":false,"page-log":"off","gpu":"default","background":"run"},
        "messages":{"install-webview2":"I","downloading":"D","install-webview2-failed":"F"},
        "version":"1.2","pack":{"executable":"E","company":"C","copyright":"R"},
        "saves":{"folder":"saved-games","mirror-local-storage":true},
        "steam":{"app-id":480,"restart-through-steam":false}})");
    EXPECT_EQ(c.main, L"game/start.html?level=2");
    EXPECT_EQ(c.title, L"T");
    EXPECT_EQ(c.width, 800);
    EXPECT_EQ(c.height, 600);
    EXPECT_EQ(c.icon, L"icon.png");
    EXPECT_FALSE(c.resizable);
    EXPECT_TRUE(c.rememberWindow);
    EXPECT_FALSE(c.singleInstance);
    EXPECT_EQ(c.chromiumArgs, L"--mute-audio");
    EXPECT_EQ(c.distributionMode, DistributionMode::Fixed);
    EXPECT_FALSE(c.enableDevtools);
    EXPECT_FALSE(c.browserKeys);
    EXPECT_FALSE(c.contextMenu);
    EXPECT_TRUE(c.autoplay);
    EXPECT_FALSE(c.fullscreenKeys);
    EXPECT_TRUE(c.fullscreen);
    EXPECT_EQ(c.installWebView2Message, L"I");
    EXPECT_EQ(c.downloadingMessage, L"D");
    EXPECT_EQ(c.installWebView2FailedMessage, L"F");
    EXPECT_EQ(c.version, L"1.2");
    EXPECT_EQ(c.packExecutable, L"E");
    EXPECT_EQ(c.packCompany, L"C");
    EXPECT_EQ(c.packCopyright, L"R");
    EXPECT_EQ(c.pageLog, L"off");
    EXPECT_EQ(c.gpu, L"default");
    EXPECT_EQ(c.background, L"run");
    EXPECT_EQ(c.savesFolder, L"saved-games");
    EXPECT_TRUE(c.mirrorLocalStorage);
    EXPECT_EQ(c.steamAppId, 480);
    EXPECT_FALSE(c.restartThroughSteam);
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
        {"", L"invalid JSON"},
        {"   \n\t", L"invalid JSON"},
        {R"({"name":"g"} x)", L"invalid JSON"},
        {"{\"name\":\"g\"} // note", L"invalid JSON"},
        {"/* note */ {\"name\":\"g\"}", L"invalid JSON"},
        {"{\"name\":\"g\xff\"}", L"invalid JSON"},
        // Every error of the JSON library is a parse failure.
        {R"({"name":"g","window":{"width":1e400}})", L"invalid JSON"},  // past the largest double
        {R"({"name":"g","x":-1e400})", L"invalid JSON"},                // in a key nobody reads
        {R"({"name":1e400})", L"invalid JSON"},                         // before the name is known
        {R"({"name":"g","window":{"title":"\ud800"}})", L"invalid JSON"},  // a lone surrogate
    };
    for (const auto& c : cases) EXPECT_EQ(FailureOf(c.text), c.failure) << c.text;
    // The embedded NUL has to survive as far as the parser.
    EXPECT_EQ(FailureOf(std::string("{\"name\":\0\"g\"}", 13)), L"invalid JSON");
}

// What a double holds is no error, however small or large.
TEST(Manifest, NumbersADoubleHoldsAreNoError) {
    const AppConfig c = Parse(R"({"name":"g","window":{"width":1e-400,"height":1e300}})");
    EXPECT_EQ(c.width, 0);
    EXPECT_EQ(c.height, -2147483647 - 1);
}

// The name as JSON text, every unit written as a \u escape.
std::string NameManifest(const std::wstring& name) {
    std::string escaped;
    for (const wchar_t unit : name) {
        char text[8];
        std::snprintf(text, sizeof text, "\\u%04X", static_cast<unsigned>(unit));
        escaped += text;
    }
    return "{\"name\":\"" + escaped + "\"}";
}

TEST(Manifest, NameMustNameOneFolderInsideLocalAppData) {
    const struct {
        std::wstring name;
        bool accepted;
    } cases[] = {
        {L"game", true},
        {L"My Game 2", true},
        {L" leading space", true},
        {L"caf\x00E9.v1", true},
        {L"\x6E38\x620F", true},
        {L"console", true},  // only the device names themselves are reserved
        {L"com10", true},
        {L".hidden", true},
        {std::wstring(255, L'n'), true},
        {std::wstring(256, L'n'), false},
        {L"   ", false},
        {L"\x3000", false},  // the ideographic space is blank too
        {L".", false},
        {L"..", false},
        {L"...", false},
        {L"..\\..\\x", false},
        {L"../x", false},
        {L"a\\b", false},
        {L"a/b", false},
        {L"C:game", false},
        {L"game:stream", false},
        {L"ga*me", false},
        {L"ga?me", false},
        {L"ga\"me", false},
        {L"<game>", false},
        {L"ga|me", false},
        {L"game\t", false},
        {L"ga\x001Fme", false},
        {L"ga\x007Fme", false},
        {L"ga\x0085me", false},
        {L"game.", false},
        {L"game ", false},
        {L"CON", false},
        {L"con.save", false},
        {L"Nul ", false},
        {L"COM1", false},
        {L"lpt9.x", false},
        {L"COM\x00B9", false},
        {L"CONOUT$", false},
        {std::wstring(L"ga\0me", 5), false},
    };
    for (const auto& c : cases) {
        const std::string text = NameManifest(c.name);
        EXPECT_EQ(FailureOf(text), c.accepted ? L"none" : L"invalid name") << text;
        if (c.accepted) {
            EXPECT_EQ(Parse(text).name, c.name) << text;
        }
    }
}

TEST(Manifest, TextEndsAtFirstNulAndByteOrderMarkIsSkipped) {
    EXPECT_EQ(Parse(std::string("{\"name\":\"g\"}\0garbage{", 22)).name, L"g");
    EXPECT_EQ(Parse("\xEF\xBB\xBF{\"name\":\"bom\"}").name, L"bom");
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
