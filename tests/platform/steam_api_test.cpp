#include "platform/steam_api.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/shared_library.h"
#include "platform/text.h"

namespace {

// The double of Steam's library with the export names of an SDK version.
std::wstring SteamDouble(const char* sdk) {
    return Utf8ToWide(LS_STEAM_DOUBLES + std::string(sdk) + "/libsteam_api.so");
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names) text += (text.empty() ? "" : " ") + name;
    return text;
}

struct ProbeCase {
    const char* sdk;
    std::set<std::string> hidden;  // names the library is taken to lack
    const char* init;
    const char* versions;  // of the user stats, utils, friends, apps and user accessors
    const char* missing;   // the essentials, then every other name
};

TEST(SteamApi, ProbesEachVersionsNames) {
    const char* latest = "v013 v011 v018 v009 v023";
    const ProbeCase cases[] = {
        {"sdk157", {}, "SteamAPI_Init", "v012 v010 v017 v008 v023", ""},
        {"sdk165", {}, "SteamAPI_InitFlat", latest, ""},
        {"sdk165", {"SteamAPI_InitFlat"}, "SteamInternal_SteamAPI_Init", latest, ""},
        {"sdk157", {"SteamAPI_Init"}, "SteamAPI_InitSafe", "v012 v010 v017 v008 v023", ""},
        {"sdk157", {"SteamAPI_Init", "SteamAPI_InitSafe"}, nullptr, "v012 v010 v017 v008 v023", ""},
        {"sdk165",
         {"SteamAPI_ManualDispatch_RunFrame"},
         "SteamAPI_InitFlat",
         latest,
         "SteamAPI_ManualDispatch_RunFrame SteamAPI_ManualDispatch_RunFrame"},
        {"sdk165",
         {"SteamAPI_SteamUserStats_v013", "SteamAPI_ISteamUserStats_StoreStats"},
         "SteamAPI_InitFlat",
         "- v011 v018 v009 v023",
         "SteamAPI_ISteamUserStats_StoreStats SteamAPI_SteamUserStats_v013 or "
         "SteamAPI_SteamUserStats_v012"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.sdk + (" without " + Joined({row.hidden.begin(), row.hidden.end()})));
        SharedLibrary library;
        ASSERT_TRUE(library.Load(SteamDouble(row.sdk))) << library.error();
        const SteamFlatApi api([&](const char* name) {
            return row.hidden.count(name) ? nullptr : library.Find(name);
        });
        EXPECT_STREQ(api.InitFunction(), row.init);
        std::vector<std::string> versions;
        for (const char* name :
             {api.userStats.name, api.utils.name, api.friends.name, api.apps.name, api.user.name})
            versions.push_back(name ? std::string(name).substr(std::string(name).size() - 4) : "-");
        EXPECT_EQ(Joined(versions), row.versions);
        auto missing = api.MissingEssentials();
        for (const auto& name : api.MissingFunctions()) missing.push_back(name);
        EXPECT_EQ(Joined(missing), row.missing);
        // Each version has one way of asking for the Deck, and the old ones
        // want the stats asked for.
        EXPECT_NE(bool(api.isSteamRunningOnSteamDeck), bool(api.isRunningOnSteamHardware));
        EXPECT_EQ(bool(api.requestCurrentStats), row.sdk == std::string("sdk157"));
    }
}

TEST(SharedLibrary, LoadsByFullPathOnly) {
    SharedLibrary library;
    EXPECT_FALSE(library.Load(L"sdk157/libsteam_api.so"));
    EXPECT_EQ(library.error(), "not a full path: sdk157/libsteam_api.so");
    EXPECT_FALSE(library.Load(SteamDouble("none")));
    EXPECT_NE(library.error().find("none/libsteam_api.so: cannot open"), std::string::npos);
    ASSERT_TRUE(library.Load(SteamDouble("sdk157")));
    EXPECT_NE(library.Find("SteamAPI_InitSafe"), nullptr);
    EXPECT_EQ(library.Find("SteamAPI_InitFlat"), nullptr);
}

}  // namespace
