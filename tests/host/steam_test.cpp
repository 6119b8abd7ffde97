#include "host/steam.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/diagnostics_log.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tests/server/content_folder.h"
#include "tests/support/log_lines.h"

using nlohmann::json;

namespace {

// A service over a double of Steam's library; every test ends with no call
// the library would have refused for its order or its interface.
class SteamTest : public ::testing::Test {
protected:
    SteamTest() {
        setenv("LS_STEAM_DOUBLE_CALLS", temp.NativePath(L"../calls").c_str(), 1);
        setenv("LS_STEAM_DOUBLE_EVENTS", temp.NativePath(L"../events").c_str(), 1);
        log.Open(temp.HostPath(L"../log"));
    }
    ~SteamTest() override {
        for (const auto& line : Calls()) EXPECT_NE(line.rfind("fault:", 0), 0u) << line;
    }

    SteamStart Start(int sdk, const char* play = "", bool restart = true) {
        setenv("LS_STEAM_DOUBLE_PLAY", play, 1);
        return steam.Start(Utf8ToWide(LS_STEAM_DOUBLES "sdk" + std::to_string(sdk) + "/"), 480,
                           restart);
    }
    // The reply or replies the request brought, and the calls it made.
    std::vector<json> Ask(const std::string& call, json request = json::object()) {
        request["type"] = "steam." + call;
        request["id"] = 9;
        posted.clear();
        calls = Calls().size();
        steam.Request(request);
        return posted;
    }
    // The library's calls since the last Ask, without the interface prefix.
    std::vector<std::string> Calls(bool sinceAsk = false) {
        std::vector<std::string> lines;
        std::ifstream file(temp.NativePath(L"../calls"));
        for (std::string line; std::getline(file, line);)
            lines.push_back(
                line.rfind("SteamAPI_ISteam", 0) == 0 ? line.substr(line.find('_', 9) + 1) : line);
        if (sinceAsk) lines.erase(lines.begin(), lines.begin() + calls);
        return lines;
    }
    std::vector<std::string> LogLines() { return LogEventsOf(ReadWholeFile(log.path())); }

    ContentFolder temp;
    DiagnosticsLog log;
    std::vector<json> posted;
    SteamService steam{&log,
                       [this](const std::string& text) { posted.push_back(json::parse(text)); }};
    size_t calls = 0;
};

json Reply(json value) {
    return {{"type", "lanternshell-reply"}, {"id", 9}, {"ok", true}, {"value", value}};
}
json Refusal(const std::string& why) {
    return {{"type", "lanternshell-reply"}, {"id", 9}, {"ok", false}, {"error", why}};
}

struct StartCase {
    int sdk;
    const char* play;
    bool restart;
    SteamStart outcome;
    std::string reason;
    std::vector<std::string> calls;
};

TEST_F(SteamTest, StartsOrSaysWhyNot) {
    const std::string detail =
        " failed (Steam may run as another user, or the account may not "
        "own the app, or the app id is not set up)";
    const StartCase cases[] = {
        {165,
         "",
         true,
         SteamStart::Running,
         "",
         {"SteamAPI_RestartAppIfNecessary 480", "SteamAPI_InitFlat",
          "SteamAPI_ManualDispatch_Init"}},
        {157,
         "",
         false,
         SteamStart::Running,
         "",
         {"SteamAPI_Init", "SteamAPI_ManualDispatch_Init", "RequestCurrentStats"}},
        {165,
         "restart",
         true,
         SteamStart::Relaunch,
         "Steam relaunches the game",
         {"SteamAPI_RestartAppIfNecessary 480"}},
        {165,
         "absent",
         false,
         SteamStart::Unavailable,
         "Steam is not running (SteamAPI_InitFlat: no Steam (double))",
         {"SteamAPI_InitFlat"}},
        {157, "absent", false, SteamStart::Unavailable, "Steam is not running", {"SteamAPI_Init"}},
        {165,
         "refuse",
         false,
         SteamStart::Unavailable,
         "Steam could not be initialised: SteamAPI_InitFlat answered 1: no app ID (double)",
         {"SteamAPI_InitFlat"}},
        {157,
         "refuse",
         false,
         SteamStart::Unavailable,
         "Steam could not be initialised: SteamAPI_Init" + detail,
         {"SteamAPI_Init"}},
        {0,
         "",
         true,
         SteamStart::Unavailable,
         "the game's folder has no usable libsteam_api.so (" LS_STEAM_DOUBLES
         "sdk0/libsteam_api.so: cannot open shared object file: No such file or directory)",
         {}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(std::to_string(row.sdk) + " " + row.play);
        std::remove(temp.NativePath(L"../calls").c_str());
        SteamService service(&log, nullptr);
        setenv("LS_STEAM_DOUBLE_PLAY", row.play, 1);
        EXPECT_EQ(service.Start(Utf8ToWide(LS_STEAM_DOUBLES "sdk" + std::to_string(row.sdk) + "/"),
                                480, row.restart),
                  row.outcome);
        EXPECT_EQ(service.PageState(), json({{"available", row.outcome == SteamStart::Running},
                                             {"reason", row.reason}}));
        EXPECT_EQ(Calls(), row.calls);
        if (row.outcome == SteamStart::Unavailable) {
            EXPECT_EQ(LogLines().back(), "Steam unavailable: " + row.reason);
        }
    }
    EXPECT_EQ(Start(165), SteamStart::Running);
    EXPECT_EQ(LogLines().back(),
              "Steam started by SteamAPI_InitFlat, SteamAPI_SteamUserStats_v013, "
              "SteamAPI_SteamUtils_v011, SteamAPI_SteamFriends_v018, SteamAPI_SteamApps_v009, "
              "SteamAPI_SteamUser_v023");
}

struct RefusalCase {
    const char* call;
    json request;
    std::string why;  // the refusal begins so
};

TEST_F(SteamTest, RefusesBadCallsBeforeSteam) {
    const std::string name = "the achievement name ", stat = "an int stat takes a whole number ";
    const std::string progress = "the progress must be whole numbers with 0 <= current <= max";
    const std::string https = "the overlay opens only https addresses";
    const std::string box = "the keyboard's x, y, width and height must be whole numbers";
    const RefusalCase cases[] = {
        {"achievements.unlock", json::object(), name + "must be a text"},
        {"achievements.clear", {{"name", 7}}, name + "must be a text"},
        {"achievements.isUnlocked", {{"name", ""}}, name + "is empty"},
        {"achievements.unlock",
         {{"name", std::string(129, 'A')}},
         name + "is longer than 128 bytes"},
        {"achievements.unlock", {{"name", "A\tB"}}, name + "holds a control character"},
        {"achievements.unlock", {{"name", "A\xC2\x85"}}, name + "holds a control character"},
        {"achievements.progress", {{"name", "A"}, {"current", 5}, {"max", 4}}, progress},
        {"achievements.progress", {{"name", "A"}, {"current", 0}, {"max", 0}}, progress},
        {"achievements.progress", {{"name", "A"}, {"current", -1}, {"max", 9}}, progress},
        {"stats.get", {{"name", "lanterns"}}, "the stat type must be \"int\" or \"float\""},
        {"stats.get",
         {{"name", "\x7F"}, {"statType", "int"}},
         "the stat name holds a control character"},
        {"stats.set", {{"name", "s"}, {"statType", "int"}, {"value", 1.5}}, stat},
        {"stats.set", {{"name", "s"}, {"statType", "int"}, {"value", 2147483648}}, stat},
        {"stats.set",
         {{"name", "s"}, {"statType", "float"}, {"value", 1e39}},
         "a float stat takes a finite number within the range of a float"},
        {"overlay.open",
         {{"dialog", "friends"}},
         "the overlay dialog must be one of Friends, Community, Players, Settings, "
         "OfficialGameGroup, Stats, Achievements"},
        {"overlay.openUrl", {{"url", "http://example.com"}}, https},
        {"overlay.openUrl", {{"url", "https:///path"}}, https},
        {"overlay.openUrl",
         {{"url", "https://a.example/b c"}},
         "the address holds a space or a control character"},
        {"overlay.openStore",
         {{"appId", 0}},
         "the app id must be a whole number from 1 to 4294967295"},
        {"keyboard.show",
         {{"mode", "full"}},
         "the keyboard mode must be \"single-line\", \"multi-line\", \"email\" or \"numeric\""},
        {"keyboard.show", {{"x", 0}, {"y", 0}, {"width", 10}}, box},
        {"keyboard.show", {{"x", -1}, {"y", 0}, {"width", 10}, {"height", 1}}, box},
        {"wallet", json::object(), "Steam has no call \"steam.wallet\""},
    };
    ASSERT_EQ(Start(165), SteamStart::Running);
    for (const auto& [call, request, why] : cases) {
        SCOPED_TRACE(call + (" " + request.dump()));
        const auto replies = Ask(call, request);
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_EQ(replies[0]["ok"], false);
        EXPECT_EQ(replies[0].value("error", "").substr(0, why.size()), why);
        EXPECT_EQ(Calls(true), std::vector<std::string>{});
    }
}

struct CallCase {
    const char* call;
    json request;
    json reply;
    std::vector<std::string> calls;
};

TEST_F(SteamTest, CallsReachSteamWithTheirArguments) {
    const std::string lantern = "\"FIRST_LANTERN\"";
    const CallCase cases[] = {
        {"user",
         {},
         Reply({{"name", "Zo\xC3\xAB \"Lantern\""}, {"steamId", "76561198000000042"}}),
         {"GetPersonaName", "GetSteamID"}},
        {"language", {}, Reply("french"), {"GetCurrentGameLanguage"}},
        {"achievements.unlock",
         {{"name", "FIRST_LANTERN"}},
         Reply(nullptr),
         {"SetAchievement " + lantern, "StoreStats"}},
        {"achievements.isUnlocked",
         {{"name", "FIRST_LANTERN"}},
         Reply(true),
         {"GetAchievement " + lantern}},
        {"achievements.clear",
         {{"name", "FIRST_LANTERN"}},
         Reply(nullptr),
         {"ClearAchievement " + lantern, "StoreStats"}},
        {"achievements.unlock",
         {{"name", std::string(128, 'N')}},
         Refusal("Steam refused the achievement \"" + std::string(128, 'N') +
                 "\" (is it defined for this app?)"),
         {"SetAchievement \"" + std::string(128, 'N') + "\""}},
        {"achievements.names",
         {},
         Reply({"FIRST_LANTERN", "GARDEN_LIT"}),
         {"GetNumAchievements", "GetAchievementName 0", "GetAchievementName 1"}},
        {"achievements.progress",
         {{"name", "FIRST_LANTERN"}, {"current", 3}, {"max", 4294967295}},
         Reply(nullptr),
         {"IndicateAchievementProgress " + lantern + " 3 4294967295"}},
        {"stats.get",
         {{"name", "distance"}, {"statType", "float"}},
         Reply(1.5),
         {"GetStatFloat \"distance\""}},
        {"stats.set",
         {{"name", "distance"}, {"statType", "float"}, {"value", 1.1}},
         Reply(nullptr),
         {"SetStatFloat \"distance\" 1.100000"}},
        {"stats.get",
         {{"name", "distance"}, {"statType", "float"}},
         Reply(1.1),
         {"GetStatFloat \"distance\""}},
        {"stats.set",
         {{"name", "lanterns"}, {"statType", "int"}, {"value", -2147483648}},
         Reply(nullptr),
         {"SetStatInt32 \"lanterns\" -2147483648"}},
        {"stats.get",
         {{"name", "lanterns"}, {"statType", "float"}},
         Refusal("Steam refused the float stat \"lanterns\" (is it defined for this app, as a "
                 "float?)"),
         {"GetStatFloat \"lanterns\""}},
        {"stats.store", {}, Reply(nullptr), {"StoreStats"}},
        {"overlay.open",
         {{"dialog", "Achievements"}},
         Reply(nullptr),
         {"ActivateGameOverlay \"Achievements\""}},
        {"overlay.openUrl",
         {{"url", "HTTPS://lantern.example/?a=1"}},
         Reply(nullptr),
         {"ActivateGameOverlayToWebPage \"HTTPS://lantern.example/?a=1\" 0"}},
        {"overlay.openStore", {}, Reply(nullptr), {"ActivateGameOverlayToStore 480 0"}},
        {"overlay.openStore",
         {{"appId", 4294967295}},
         Reply(nullptr),
         {"ActivateGameOverlayToStore 4294967295 0"}},
        {"device",
         {},
         Reply({{"steamDeck", false}, {"bigPicture", false}}),
         {"IsRunningOnSteamHardware", "IsSteamInBigPictureMode"}},
        {"keyboard.show",
         {{"x", 1}, {"y", 2}, {"width", 3}, {"height", 4}},
         Reply(false),
         {"ShowFloatingGamepadTextInput 0 1 2 3 4"}},
        {"keyboard.hide", {}, Reply(false), {"DismissFloatingGamepadTextInput"}},
    };
    ASSERT_EQ(Start(165), SteamStart::Running);
    for (const auto& row : cases) {
        SCOPED_TRACE(row.call + (" " + row.request.dump()));
        EXPECT_EQ(Ask(row.call, row.request), std::vector<json>{row.reply});
        EXPECT_EQ(Calls(true), row.calls);
    }
}

TEST_F(SteamTest, EachVersionFindsTheDeck) {
    for (int sdk : {157, 165}) {
        SteamService service(
            &log, [this](const std::string& text) { posted.push_back(json::parse(text)); });
        setenv("LS_STEAM_DOUBLE_PLAY", "deck", 1);
        ASSERT_EQ(service.Start(Utf8ToWide(LS_STEAM_DOUBLES "sdk" + std::to_string(sdk) + "/"), 480,
                                false),
                  SteamStart::Running);
        posted.clear();
        service.Request({{"type", "steam.device"}, {"id", 9}});
        service.Request({{"type", "steam.keyboard.show"},
                         {"id", 9},
                         {"mode", "numeric"},
                         {"x", 0},
                         {"y", 0},
                         {"width", 0},
                         {"height", 0}});
        service.Request({{"type", "steam.keyboard.hide"}, {"id", 9}});
        EXPECT_EQ(posted, std::vector<json>({Reply({{"steamDeck", true}, {"bigPicture", true}}),
                                             Reply(true), Reply(true)}));
    }
}

TEST_F(SteamTest, StatsCallsWaitForThePlayersStats) {
    ASSERT_EQ(Start(157), SteamStart::Running);
    EXPECT_EQ(Ask("language"), std::vector<json>{Reply("french")});  // needs no stats
    EXPECT_EQ(Ask("achievements.unlock", {{"name", "FIRST_LANTERN"}}), std::vector<json>{});
    steam.Pump();
    EXPECT_EQ(posted, std::vector<json>{Reply(nullptr)});
    EXPECT_EQ(Calls(true),
              std::vector<std::string>({"SetAchievement \"FIRST_LANTERN\"", "StoreStats"}));
}

TEST_F(SteamTest, StatsThatNeverComeRefuseTheWaitingCalls) {
    const std::string missing = "the player's stats did not arrive: ";
    for (const char* play : {"stats-fail", "stats-silent"}) {
        SteamService service(
            &log, [this](const std::string& text) { posted.push_back(json::parse(text)); });
        setenv("LS_STEAM_DOUBLE_PLAY", play, 1);
        ASSERT_EQ(service.Start(Utf8ToWide(LS_STEAM_DOUBLES "sdk157/"), 480, false),
                  SteamStart::Running);
        posted.clear();
        service.Request({{"type", "steam.stats.store"}, {"id", 9}});
        for (int frame = 0; frame <= SteamService::StatsWaitFrames && posted.empty(); ++frame)
            service.Pump();
        const std::string why = play == std::string("stats-fail")
                                    ? "Steam answered with result 2"
                                    : "Steam did not send them within 10 seconds";
        EXPECT_EQ(posted, std::vector<json>{Refusal(missing + why)});
        EXPECT_EQ(LogLines().back(), "Steam: " + missing + why);
        // The next call asks again.
        service.Request({{"type", "steam.stats.store"}, {"id", 9}});
        EXPECT_EQ(Calls().back(), "RequestCurrentStats");
    }
}

TEST_F(SteamTest, OverlayCallbacksBecomePageEvents) {
    ASSERT_EQ(Start(165), SteamStart::Running);
    std::ofstream(temp.NativePath(L"../events")) << "overlay 1\noverlay 0\n";
    steam.Pump();
    const auto event = [](bool active) {
        return json{{"type", "lanternshell-event"},
                    {"name", "steam-overlay"},
                    {"detail", {{"active", active}}}};
    };
    EXPECT_EQ(posted, std::vector<json>({event(true), event(false)}));
}

TEST_F(SteamTest, ShutdownEndsWaitingAndLaterCalls) {
    ASSERT_EQ(Start(157), SteamStart::Running);
    Ask("stats.store");
    steam.Shutdown();
    EXPECT_EQ(posted, std::vector<json>{Refusal("Steam has been shut down")});
    EXPECT_EQ(Calls(true), std::vector<std::string>{"SteamAPI_Shutdown"});
    EXPECT_EQ(Ask("user"), std::vector<json>{Refusal("Steam has been shut down")});
    steam.Pump();
    EXPECT_EQ(Calls(true), std::vector<std::string>{});
}

TEST_F(SteamTest, UnavailableRefusesWithTheReason) {
    ASSERT_EQ(Start(165, "absent"), SteamStart::Unavailable);
    EXPECT_EQ(Ask("achievements.unlock", {{"name", "FIRST_LANTERN"}}),
              std::vector<json>{Refusal(steam.reason())});
    EXPECT_EQ(Ask("achievements.unlock")[0]["error"], "the achievement name must be a text");
    steam.Pump();
}

}  // namespace
