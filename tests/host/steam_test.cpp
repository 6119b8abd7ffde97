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

// Services over a double of Steam's library; every test ends with no call
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

    SteamStart Start(SteamService& service, const char* sdk, const char* play, bool restart) {
        setenv("LS_STEAM_DOUBLE_PLAY", play, 1);
        return service.Start(Utf8ToWide(LS_STEAM_DOUBLES + std::string(sdk) + "/"), 480, restart);
    }
    // The replies a request brought; seen marks the calls it made.
    std::vector<json> Ask(const std::string& call, const std::string& members = "{}") {
        json request = json::parse(members);
        request["type"] = "steam." + call;
        request["id"] = 9;
        posted.clear();
        seen = Calls().size();
        steam.Request(request);
        return posted;
    }
    // The library's calls, without their interface's prefix.
    std::vector<std::string> Calls() {
        std::vector<std::string> lines;
        std::ifstream file(temp.NativePath(L"../calls"));
        for (std::string line; std::getline(file, line);)
            lines.push_back(line.rfind("SteamAPI_ISteam", 0) ? line
                                                             : line.substr(line.find('_', 9) + 1));
        return lines;
    }
    // Those since the last Ask, joined by "|".
    std::string CallsSinceAsk() {
        const auto lines = Calls();
        std::string joined;
        for (size_t i = seen; i < lines.size(); ++i) joined += (i == seen ? "" : "|") + lines[i];
        return joined;
    }
    std::string LastLogLine() { return LogEventsOf(ReadWholeFile(log.path())).back(); }

    ContentFolder temp;
    DiagnosticsLog log;
    std::vector<json> posted;
    SteamService steam{&log,
                       [this](const std::string& text) { posted.push_back(json::parse(text)); }};
    size_t seen = 0;
};

json Reply(const std::string& value) {
    return {{"type", "lanternshell-reply"}, {"id", 9}, {"ok", true}, {"value", json::parse(value)}};
}
json Refusal(const std::string& why) {
    return {{"type", "lanternshell-reply"}, {"id", 9}, {"ok", false}, {"error", why}};
}

struct StartCase {
    const char* sdk;
    const char* play;
    bool restart;
    SteamStart outcome;
    std::string reason;
    const char* calls;
    std::string logged = {};  // the last log line, when not "Steam unavailable: " and the reason
};

TEST_F(SteamTest, StartsOrSaysWhyNot) {
    const auto unavailable = SteamStart::Unavailable;
    const std::string refused = "Steam could not be initialised: ";
    const std::string interfaces =
        ", SteamAPI_SteamUserStats_v013, SteamAPI_SteamUtils_v011, "
        "SteamAPI_SteamFriends_v018, SteamAPI_SteamApps_v009, "
        "SteamAPI_SteamUser_v023";
    const StartCase cases[] = {
        {"sdk165", "", true, SteamStart::Running, "",
         "SteamAPI_RestartAppIfNecessary 480|SteamAPI_InitFlat|SteamAPI_ManualDispatch_Init",
         "Steam started by SteamAPI_InitFlat" + interfaces},
        {"sdk157", "", false, SteamStart::Running, "",
         "SteamAPI_Init|SteamAPI_ManualDispatch_Init|RequestCurrentStats",
         "Steam started by SteamAPI_Init, SteamAPI_SteamUserStats_v012, SteamAPI_SteamUtils_v010, "
         "SteamAPI_SteamFriends_v017, SteamAPI_SteamApps_v008, SteamAPI_SteamUser_v023"},
        {"sdk165", "restart", true, SteamStart::Relaunch, "Steam relaunches the game",
         "SteamAPI_RestartAppIfNecessary 480",
         "Steam relaunches the game (SteamAPI_RestartAppIfNecessary): this start ends"},
        {"sdk165", "absent", false, unavailable,
         "Steam is not running (SteamAPI_InitFlat: no Steam (double))", "SteamAPI_InitFlat"},
        {"sdk157", "absent", false, unavailable, "Steam is not running", "SteamAPI_Init"},
        {"sdk165", "refuse", false, unavailable,
         refused + "SteamAPI_InitFlat answered 1: no app ID (double)", "SteamAPI_InitFlat"},
        {"sdk157", "refuse", false, unavailable,
         refused + "SteamAPI_Init failed (Steam may run as another user, or the account may not "
                   "own the app, or the app id is not set up)",
         "SteamAPI_Init"},
        {"none", "", true, unavailable,
         "the game's folder has no usable libsteam_api.so (" LS_STEAM_DOUBLES
         "none/libsteam_api.so: cannot open shared object file: No such file or directory)",
         ""},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.sdk + std::string(" ") + row.play);
        std::remove(temp.NativePath(L"../calls").c_str());
        SteamService service(&log, nullptr);
        EXPECT_EQ(Start(service, row.sdk, row.play, row.restart), row.outcome);
        EXPECT_EQ(service.PageState(), json({{"available", row.outcome == SteamStart::Running},
                                             {"reason", row.reason}}));
        EXPECT_EQ(CallsSinceAsk(), row.calls);
        EXPECT_EQ(LastLogLine(),
                  row.logged.empty() ? "Steam unavailable: " + row.reason : row.logged);
    }
}

struct CallCase {
    const char* call;
    std::string members;
    std::string answer;  // the value's JSON, or "!" and the start of the refusal
    std::string calls;
};

TEST_F(SteamTest, CallsReachSteamWithTheirArgumentsOrAreRefusedBefore) {
    const std::string n128 = std::string(128, 'N'), name = "!the achievement name ";
    const std::string progress = "!the progress must be whole numbers with 0 <= current <= max";
    const std::string stat = "!an int stat takes a whole number", https = "!the overlay opens only";
    const std::string box = "!the keyboard's x, y, width and height must be whole numbers";
    const CallCase cases[] = {
        {"user", "{}", R"({"name":"Zo\u00eb \"Lantern\"","steamId":"76561198000000042"})",
         "GetPersonaName|GetSteamID"},
        {"language", "{}", R"("french")", "GetCurrentGameLanguage"},
        {"achievements.unlock", R"({"name":"FIRST_LANTERN"})", "null",
         R"(SetAchievement "FIRST_LANTERN"|StoreStats)"},
        {"achievements.isUnlocked", R"({"name":"FIRST_LANTERN"})", "true",
         R"(GetAchievement "FIRST_LANTERN")"},
        {"achievements.clear", R"({"name":"FIRST_LANTERN"})", "null",
         R"(ClearAchievement "FIRST_LANTERN"|StoreStats)"},
        {"achievements.unlock", R"({"name":")" + n128 + "\"}",
         "!Steam refused the achievement \"" + n128 + "\" (is it defined for this app?)",
         "SetAchievement \"" + n128 + "\""},
        {"achievements.names", "{}", R"(["FIRST_LANTERN","GARDEN_LIT"])",
         "GetNumAchievements|GetAchievementName 0|GetAchievementName 1"},
        {"achievements.progress", R"({"name":"FIRST_LANTERN","current":3,"max":4294967295})",
         "null", R"(IndicateAchievementProgress "FIRST_LANTERN" 3 4294967295)"},
        {"stats.set", R"({"name":"distance","statType":"float","value":1.1})", "null",
         R"(SetStatFloat "distance" 1.100000)"},
        {"stats.get", R"({"name":"distance","statType":"float"})", "1.1",
         R"(GetStatFloat "distance")"},
        {"stats.set", R"({"name":"lanterns","statType":"int","value":-2147483648})", "null",
         R"(SetStatInt32 "lanterns" -2147483648)"},
        {"stats.get", R"({"name":"lanterns","statType":"float"})",
         R"(!Steam refused the float stat "lanterns" (is it defined for this app, as a float?))",
         R"(GetStatFloat "lanterns")"},
        {"stats.store", "{}", "null", "StoreStats"},
        {"overlay.open", R"({"dialog":"Achievements"})", "null",
         R"(ActivateGameOverlay "Achievements")"},
        {"overlay.openUrl", R"({"url":"HTTPS://lantern.example/?a=1"})", "null",
         R"(ActivateGameOverlayToWebPage "HTTPS://lantern.example/?a=1" 0)"},
        {"overlay.openStore", "{}", "null", "ActivateGameOverlayToStore 480 0"},
        {"overlay.openStore", R"({"appId":4294967295})", "null",
         "ActivateGameOverlayToStore 4294967295 0"},
        {"device", "{}", R"({"steamDeck":false,"bigPicture":false})",
         "IsRunningOnSteamHardware|IsSteamInBigPictureMode"},
        {"keyboard.show", R"({"mode":"email","x":1,"y":2,"width":3,"height":4})", "false",
         "ShowFloatingGamepadTextInput 2 1 2 3 4"},
        {"keyboard.hide", "{}", "false", "DismissFloatingGamepadTextInput"},

        {"achievements.unlock", "{}", name + "must be a text", ""},
        {"achievements.isUnlocked", R"({"name":""})", name + "is empty", ""},
        {"achievements.unlock", R"({"name":"N)" + n128 + "\"}", name + "is longer than 128 bytes",
         ""},
        {"achievements.unlock", R"({"name":"A\tB"})", name + "holds a control character", ""},
        {"achievements.unlock", R"({"name":"A\u0085"})", name + "holds a control character", ""},
        {"stats.get", R"({"name":"\u007f","statType":"int"})", "!the stat name holds a control",
         ""},
        {"achievements.progress", R"({"name":"A","current":5,"max":4})", progress, ""},
        {"achievements.progress", R"({"name":"A","current":0,"max":0})", progress, ""},
        {"stats.get", R"({"name":"lanterns"})", R"(!the stat type must be "int" or "float")", ""},
        {"stats.set", R"({"name":"s","statType":"int","value":2147483648})", stat, ""},
        {"stats.set", R"({"name":"s","statType":"float","value":1e39})", "!a float stat takes", ""},
        {"overlay.open", R"({"dialog":"friends"})",
         "!the overlay dialog must be one of Friends, Community, Players, Settings, "
         "OfficialGameGroup, Stats, Achievements",
         ""},
        {"overlay.openUrl", R"({"url":"http://example.com"})", https, ""},
        {"overlay.openUrl", R"({"url":"https:///path"})", https, ""},
        {"overlay.openUrl", R"({"url":"https://a.example/b c"})", "!the address holds a space", ""},
        {"overlay.openStore", R"({"appId":0})", "!the app id must be a whole number from 1", ""},
        {"keyboard.show", R"({"mode":"full"})", "!the keyboard mode must be", ""},
        {"keyboard.show", R"({"x":0,"y":0,"width":10})", box, ""},
        {"wallet", "{}", R"(!Steam has no call "steam.wallet")", ""},
    };
    ASSERT_EQ(Start(steam, "sdk165", "", false), SteamStart::Running);
    for (const auto& row : cases) {
        SCOPED_TRACE(row.call + (" " + row.members));
        const auto replies = Ask(row.call, row.members);
        ASSERT_EQ(replies.size(), 1u);
        if (row.answer[0] == '!') {
            EXPECT_EQ(replies[0]["ok"], false);
            EXPECT_EQ(replies[0].value("error", "").substr(0, row.answer.size() - 1),
                      row.answer.substr(1));
        } else {
            EXPECT_EQ(replies[0], Reply(row.answer));
        }
        EXPECT_EQ(CallsSinceAsk(), row.calls);
    }
}

TEST_F(SteamTest, EachVersionFindsTheDeck) {
    for (const char* sdk : {"sdk157", "sdk165"}) {
        SteamService deck(&log, [this](const std::string& text) { posted = {json::parse(text)}; });
        ASSERT_EQ(Start(deck, sdk, "deck", false), SteamStart::Running);
        deck.Request({{"type", "steam.device"}, {"id", 9}});
        EXPECT_EQ(posted, std::vector<json>{Reply(R"({"steamDeck":true,"bigPicture":true})")});
    }
}

TEST_F(SteamTest, StatsCallsWaitForTheStatsWhileOverlayEventsPass) {
    ASSERT_EQ(Start(steam, "sdk157", "", false), SteamStart::Running);
    EXPECT_EQ(Ask("language"), std::vector<json>{Reply(R"("french")")});  // needs no stats
    EXPECT_EQ(Ask("achievements.unlock", R"({"name":"FIRST_LANTERN"})"), std::vector<json>{});
    std::ofstream(temp.NativePath(L"../events")) << "overlay 1\noverlay 0\n";
    steam.Pump();
    const auto overlay = [](bool active) {
        return json{{"type", "lanternshell-event"},
                    {"name", "steam-overlay"},
                    {"detail", {{"active", active}}}};
    };
    EXPECT_EQ(posted, std::vector<json>({overlay(true), overlay(false), Reply("null")}));
    EXPECT_EQ(CallsSinceAsk(), R"(SetAchievement "FIRST_LANTERN"|StoreStats)");
}

TEST_F(SteamTest, StatsThatNeverComeRefuseTheWaitingCallsAndAreAskedAgain) {
    for (const std::string play : {"stats-fail", "stats-silent"}) {
        SteamService service(&log,
                             [this](const std::string& text) { posted = {json::parse(text)}; });
        ASSERT_EQ(Start(service, "sdk157", play.c_str(), false), SteamStart::Running);
        posted.clear();
        service.Request({{"type", "steam.stats.store"}, {"id", 9}});
        for (int frame = 0; frame <= SteamService::StatsWaitFrames && posted.empty(); ++frame)
            service.Pump();
        const std::string why =
            "the player's stats did not arrive: " +
            std::string(play == "stats-fail" ? "Steam answered with result 2"
                                             : "Steam did not send them within 10 seconds");
        EXPECT_EQ(posted, std::vector<json>{Refusal(why)});
        EXPECT_EQ(LastLogLine(), "Steam: " + why);
        service.Request({{"type", "steam.stats.store"}, {"id", 9}});
        EXPECT_EQ(Calls().back(), "RequestCurrentStats");
    }
}

TEST_F(SteamTest, ShutdownOrAbsenceRefusesWithTheReason) {
    ASSERT_EQ(Start(steam, "sdk157", "", false), SteamStart::Running);
    Ask("stats.store");
    steam.Shutdown();
    EXPECT_EQ(posted, std::vector<json>{Refusal("Steam has been shut down")});
    EXPECT_EQ(CallsSinceAsk(), "SteamAPI_Shutdown");
    EXPECT_EQ(Ask("user"), std::vector<json>{Refusal("Steam has been shut down")});
    steam.Pump();
    EXPECT_EQ(CallsSinceAsk(), "");
    // Absent: the arguments are still checked first.
    SteamService absent(&log, [this](const std::string& text) { posted = {json::parse(text)}; });
    ASSERT_EQ(Start(absent, "sdk165", "absent", false), SteamStart::Unavailable);
    absent.Request({{"type", "steam.user"}, {"id", 9}});
    EXPECT_EQ(posted, std::vector<json>{Refusal(absent.reason())});
    absent.Request({{"type", "steam.stats.get"}, {"id", 9}});
    EXPECT_EQ(posted[0]["error"], "the stat name must be a text");
}

}  // namespace
