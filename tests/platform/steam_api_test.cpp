#include "platform/steam_api.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/shared_library.h"
#include "platform/text.h"

namespace {

// The double of Steam's library with the export names of an SDK version.
std::wstring SteamDouble(int sdk) {
    return Utf8ToWide(LS_STEAM_DOUBLES "sdk" + std::to_string(sdk) + "/libsteam_api.so");
}

struct ProbeCase {
    const char* name;
    int sdk;
    std::set<std::string> hidden;  // names the library is taken to lack
    const char* init;
    std::vector<const char*> accessors;  // user stats, utils, friends, apps, user
    std::vector<std::string> missing;    // essentials first, then the rest
};

TEST(SteamApi, ProbesEachVersionsNames) {
    const std::vector<const char*> old = {"SteamAPI_SteamUserStats_v012",
                                          "SteamAPI_SteamUtils_v010", "SteamAPI_SteamFriends_v017",
                                          "SteamAPI_SteamApps_v008", "SteamAPI_SteamUser_v023"};
    const std::vector<const char*> latest = {
        "SteamAPI_SteamUserStats_v013", "SteamAPI_SteamUtils_v011", "SteamAPI_SteamFriends_v018",
        "SteamAPI_SteamApps_v009", "SteamAPI_SteamUser_v023"};
    std::vector<const char*> noStats = latest;
    noStats[0] = nullptr;
    const ProbeCase cases[] = {
        {"1.57", 157, {}, "SteamAPI_Init", old, {}},
        {"1.65", 165, {}, "SteamAPI_InitFlat", latest, {}},
        {"1.58", 165, {"SteamAPI_InitFlat"}, "SteamInternal_SteamAPI_Init", latest, {}},
        {"only the old init", 157, {"SteamAPI_Init"}, "SteamAPI_InitSafe", old, {}},
        {"no init", 157, {"SteamAPI_Init", "SteamAPI_InitSafe"}, nullptr, old, {}},
        {"no dispatch",
         165,
         {"SteamAPI_ManualDispatch_RunFrame", "SteamAPI_Shutdown"},
         "SteamAPI_InitFlat",
         latest,
         {"SteamAPI_Shutdown", "SteamAPI_ManualDispatch_RunFrame", "SteamAPI_Shutdown",
          "SteamAPI_ManualDispatch_RunFrame"}},
        {"no user stats",
         165,
         {"SteamAPI_SteamUserStats_v013", "SteamAPI_ISteamUserStats_StoreStats"},
         "SteamAPI_InitFlat",
         noStats,
         {"SteamAPI_ISteamUserStats_StoreStats",
          "SteamAPI_SteamUserStats_v013 or SteamAPI_SteamUserStats_v012"}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        SharedLibrary library;
        ASSERT_TRUE(library.Load(SteamDouble(row.sdk))) << library.error();
        const SteamFlatApi api([&](const char* name) {
            return row.hidden.count(name) ? nullptr : library.Find(name);
        });
        EXPECT_STREQ(api.InitFunction(), row.init);
        const std::vector<const char*> accessors = {api.userStats.name, api.utils.name,
                                                    api.friends.name, api.apps.name, api.user.name};
        for (size_t i = 0; i < accessors.size(); ++i)
            EXPECT_STREQ(accessors[i], row.accessors[i]) << i;
        std::vector<std::string> missing = api.MissingEssentials();
        for (const auto& name : api.MissingFunctions()) missing.push_back(name);
        EXPECT_EQ(missing, row.missing);
        // Each version has its own way of asking for the Deck.
        EXPECT_NE(bool(api.isSteamRunningOnSteamDeck), bool(api.isRunningOnSteamHardware));
        EXPECT_EQ(bool(api.requestCurrentStats), row.sdk == 157);
    }
}

TEST(SharedLibrary, LoadsByFullPathOnly) {
    SharedLibrary library;
    EXPECT_FALSE(library.Load(L"sdk157/libsteam_api.so"));
    EXPECT_EQ(library.error(), "not a full path: sdk157/libsteam_api.so");
    const std::wstring missing = Utf8ToWide(LS_STEAM_DOUBLES "none/libsteam_api.so");
    EXPECT_FALSE(library.Load(missing));
    EXPECT_NE(library.error().find("none/libsteam_api.so: cannot open"), std::string::npos)
        << library.error();
    EXPECT_EQ(library.Find("SteamAPI_InitSafe"), nullptr);
    ASSERT_TRUE(library.Load(SteamDouble(157)));
    EXPECT_NE(library.Find("SteamAPI_InitSafe"), nullptr);
    EXPECT_EQ(library.Find("SteamAPI_InitFlat"), nullptr);
}

}  // namespace
