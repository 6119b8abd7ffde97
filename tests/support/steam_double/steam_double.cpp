// Steam's library played from one source, as steam_api64.dll and as
// libsteam_api.so, with the export names of SDK LS_STEAM_SDK: 157
// (SteamAPI_Init, RequestCurrentStats, older accessors) or 165
// (SteamAPI_InitFlat, stats sent unasked, newer accessors). The environment,
// read at each call, drives it: LS_STEAM_DOUBLE_CALLS names a file that gets
// a line per call with its arguments, and "fault: ..." for a call Steam
// would not take; LS_STEAM_DOUBLE_PLAY holds words joined by commas: absent
// (Steam not running), refuse (init fails), restart, deck, stats-fail,
// stats-silent; LS_STEAM_DOUBLE_EVENTS names a file of lines "overlay 1" or
// "overlay 0" that the next frame queues as callbacks, then removes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#if defined(_WIN32)
#define EXPORT extern "C" __declspec(dllexport)
#pragma pack(push, 8)
#else
#define EXPORT extern "C" __attribute__((visibility("default")))
#pragma pack(push, 4)
#endif
struct CallbackMsg {
    std::int32_t user, callback;
    std::uint8_t* param;
    std::int32_t paramSize;
};
struct GameOverlayActivated {
    std::uint8_t active;
    bool userInitiated;
    std::uint32_t appId, pid;
};
struct UserStatsReceived {
    std::uint64_t gameId;
    std::int32_t result;
    std::uint64_t steamId;
};
#pragma pack(pop)

namespace {

constexpr std::int32_t Pipe = 7;
constexpr std::uint64_t SteamId = 76561198000000042ull;  // past a double's whole numbers
char userStats, utils, friends, apps, user;              // distinct interface addresses
bool initialised = false, dispatching = false, statsIn = false, keyboard = false;
std::deque<std::vector<std::uint8_t>> queue;  // each a callback id, then its struct
std::vector<std::uint8_t> held;
std::map<std::string, bool> achievements;
std::map<std::string, std::int32_t> ints;
std::map<std::string, float> floats;

bool Plays(const char* word) {
    const char* play = std::getenv("LS_STEAM_DOUBLE_PLAY");
    return play &&
           ("," + std::string(play) + ",").find("," + std::string(word) + ",") != std::string::npos;
}

void Record(const std::string& line) {
    const char* path = std::getenv("LS_STEAM_DOUBLE_CALLS");
    if (FILE* file = path ? std::fopen(path, "ab") : nullptr) {
        std::fputs((line + "\n").c_str(), file);
        std::fclose(file);
    }
}

std::string Text(const char* text) {
    return " \"" + std::string(text) + "\"";
}
template <class N>
std::string Text(N number) {
    return " " + std::to_string(number);
}

// Records the call, and whether Steam would take it: after init, on the
// method's own interface.
template <class... A>
bool Takes(const char* method, const void* self, const void* own, const A&... arguments) {
    std::string line = method;
    ((line += Text(arguments)), ...);
    Record(line);
    if (!initialised || self != own) Record(std::string("fault: ") + line);
    return initialised && self == own;
}
#define TAKES(own, ...) Takes(__func__, self, &own, ##__VA_ARGS__)
// Stats calls fail until the stats are in.
#define STATS(...) (TAKES(userStats, __VA_ARGS__) && statsIn)

template <class T>
void Queue(std::int32_t id, const T& data) {
    std::vector<std::uint8_t> bytes(sizeof id + sizeof data);
    std::memcpy(bytes.data(), &id, sizeof id);
    std::memcpy(bytes.data() + sizeof id, &data, sizeof data);
    queue.push_back(bytes);
}

std::int32_t Initialise(const char* function, char* message) {
    Record(function);
    if (Plays("absent") || Plays("refuse")) {
        if (message)
            std::snprintf(message, 1024, "%s (double)", Plays("absent") ? "no Steam" : "no app ID");
        return Plays("absent") ? 2 : 1;
    }
    initialised = true;
    dispatching = keyboard = false;
    statsIn = LS_STEAM_SDK > 160;
    queue.clear();
    held.clear();
    achievements = {{"FIRST_LANTERN", false}, {"GARDEN_LIT", true}};
    ints = {{"lanterns", 3}};
    floats = {{"distance", 1.5f}};
    return 0;
}

}  // namespace

#if LS_STEAM_SDK >= 159
EXPORT std::int32_t SteamAPI_InitFlat(char (*message)[1024]) {
    return Initialise(__func__, *message);
}
#endif
#if LS_STEAM_SDK >= 158
EXPORT std::int32_t SteamInternal_SteamAPI_Init(const char* versions, char (*message)[1024]) {
    return Initialise(versions[0] ? "fault: interface versions given" : __func__, *message);
}
#else
EXPORT bool SteamAPI_Init() {
    return Initialise(__func__, nullptr) == 0;
}
#endif
EXPORT bool SteamAPI_InitSafe() {
    return Initialise(__func__, nullptr) == 0;
}
EXPORT bool SteamAPI_RestartAppIfNecessary(std::uint32_t appId) {
    Record((initialised ? "fault: " : "") + std::string(__func__) + Text(appId));
    return Plays("restart");
}
EXPORT void SteamAPI_Shutdown() {
    Record((initialised ? "" : "fault: ") + std::string(__func__));
    initialised = false;
}
EXPORT bool SteamAPI_IsSteamRunning() {
    return !Plays("absent");
}
EXPORT std::int32_t SteamAPI_GetHSteamPipe() {
    return initialised ? Pipe : 0;
}

EXPORT void SteamAPI_ManualDispatch_Init() {
    Record((initialised ? "" : "fault: ") + std::string(__func__));
    dispatching = true;
}
EXPORT void SteamAPI_ManualDispatch_RunFrame(std::int32_t pipe) {
    if (!dispatching || pipe != Pipe) Record(std::string("fault: ") + __func__);
    const char* path = std::getenv("LS_STEAM_DOUBLE_EVENTS");
    FILE* file = path ? std::fopen(path, "rb") : nullptr;
    if (!file) return;
    for (unsigned active; std::fscanf(file, " overlay %u", &active) == 1;)
        Queue(331, GameOverlayActivated{static_cast<std::uint8_t>(active), true, 0, 0});
    std::fclose(file);
    std::remove(path);
}
EXPORT bool SteamAPI_ManualDispatch_GetNextCallback(std::int32_t pipe, CallbackMsg* message) {
    if (!dispatching || pipe != Pipe || !held.empty()) Record(std::string("fault: ") + __func__);
    if (queue.empty()) return false;
    held = queue.front();
    queue.pop_front();
    std::int32_t id = 0;
    std::memcpy(&id, held.data(), sizeof id);
    statsIn = statsIn || (id == 1101 && !Plays("stats-fail"));
    *message = {1, id, held.data() + sizeof id, static_cast<std::int32_t>(held.size() - sizeof id)};
    return true;
}
EXPORT void SteamAPI_ManualDispatch_FreeLastCallback(std::int32_t pipe) {
    if (held.empty() || pipe != Pipe) Record(std::string("fault: ") + __func__);
    held.clear();
}

#define ACCESSOR(name, object)                  \
    EXPORT void* name() {                       \
        return initialised ? &object : nullptr; \
    }
#if LS_STEAM_SDK <= 160
ACCESSOR(SteamAPI_SteamUserStats_v012, userStats)
ACCESSOR(SteamAPI_SteamUtils_v010, utils)
ACCESSOR(SteamAPI_SteamFriends_v017, friends)
ACCESSOR(SteamAPI_SteamApps_v008, apps)
EXPORT bool SteamAPI_ISteamUserStats_RequestCurrentStats(void* self) {
    TAKES(userStats);
    if (!Plays("stats-silent"))
        Queue(1101, UserStatsReceived{0, Plays("stats-fail") ? 2 : 1, SteamId});
    return true;
}
#else
ACCESSOR(SteamAPI_SteamUserStats_v013, userStats)
ACCESSOR(SteamAPI_SteamUtils_v011, utils)
ACCESSOR(SteamAPI_SteamFriends_v018, friends)
ACCESSOR(SteamAPI_SteamApps_v009, apps)
#endif
ACCESSOR(SteamAPI_SteamUser_v023, user)

EXPORT bool SteamAPI_ISteamUserStats_SetAchievement(void* self, const char* name) {
    return STATS(name) && achievements.count(name) && (achievements[name] = true);
}
EXPORT bool SteamAPI_ISteamUserStats_ClearAchievement(void* self, const char* name) {
    return STATS(name) && achievements.count(name) && !(achievements[name] = false);
}
EXPORT bool SteamAPI_ISteamUserStats_GetAchievement(void* self, const char* name, bool* got) {
    return STATS(name) && achievements.count(name) && ((*got = achievements[name]), 1);
}
EXPORT bool SteamAPI_ISteamUserStats_IndicateAchievementProgress(void* self, const char* name,
                                                                 std::uint32_t now,
                                                                 std::uint32_t max) {
    return STATS(name, now, max) && achievements.count(name);
}
EXPORT std::uint32_t SteamAPI_ISteamUserStats_GetNumAchievements(void* self) {
    return TAKES(userStats) && statsIn ? achievements.size() : 0;
}
EXPORT const char* SteamAPI_ISteamUserStats_GetAchievementName(void* self, std::uint32_t index) {
    const bool known = STATS(index) && index < achievements.size();
    return known ? std::next(achievements.begin(), index)->first.c_str() : nullptr;
}
EXPORT bool SteamAPI_ISteamUserStats_GetStatInt32(void* self, const char* name, std::int32_t* got) {
    return STATS(name) && ints.count(name) && ((*got = ints[name]), 1);
}
EXPORT bool SteamAPI_ISteamUserStats_GetStatFloat(void* self, const char* name, float* got) {
    return STATS(name) && floats.count(name) && ((*got = floats[name]), 1);
}
EXPORT bool SteamAPI_ISteamUserStats_SetStatInt32(void* self, const char* name,
                                                  std::int32_t value) {
    return STATS(name, value) && ints.count(name) && ((ints[name] = value), 1);
}
EXPORT bool SteamAPI_ISteamUserStats_SetStatFloat(void* self, const char* name, float value) {
    return STATS(name, value) && floats.count(name) && ((floats[name] = value), 1);
}
EXPORT bool SteamAPI_ISteamUserStats_StoreStats(void* self) {
    return TAKES(userStats) && statsIn;
}

EXPORT const char* SteamAPI_ISteamFriends_GetPersonaName(void* self) {
    return TAKES(friends) ? "Zo\xC3\xAB \"Lantern\"" : "";
}
EXPORT void SteamAPI_ISteamFriends_ActivateGameOverlay(void* self, const char* dialog) {
    TAKES(friends, dialog);
}
EXPORT void SteamAPI_ISteamFriends_ActivateGameOverlayToWebPage(void* self, const char* url,
                                                                std::int32_t mode) {
    TAKES(friends, url, mode);
}
EXPORT void SteamAPI_ISteamFriends_ActivateGameOverlayToStore(void* self, std::uint32_t appId,
                                                              std::int32_t flag) {
    TAKES(friends, appId, flag);
}
EXPORT std::uint64_t SteamAPI_ISteamUser_GetSteamID(void* self) {
    return TAKES(user) ? SteamId : 0;
}
EXPORT const char* SteamAPI_ISteamApps_GetCurrentGameLanguage(void* self) {
    return TAKES(apps) ? "french" : "";
}

EXPORT bool SteamAPI_ISteamUtils_IsSteamInBigPictureMode(void* self) {
    return TAKES(utils) && Plays("deck");
}
#if LS_STEAM_SDK < 165
EXPORT bool SteamAPI_ISteamUtils_IsSteamRunningOnSteamDeck(void* self) {
    return TAKES(utils) && Plays("deck");
}
#else
EXPORT std::int32_t SteamAPI_ISteamUtils_IsRunningOnSteamHardware(void* self) {
    return TAKES(utils) && Plays("deck") ? 1 : 0;
}
#endif
EXPORT bool SteamAPI_ISteamUtils_ShowFloatingGamepadTextInput(void* self, std::int32_t mode,
                                                              std::int32_t x, std::int32_t y,
                                                              std::int32_t width,
                                                              std::int32_t height) {
    return keyboard = TAKES(utils, mode, x, y, width, height) && Plays("deck");
}
EXPORT bool SteamAPI_ISteamUtils_DismissFloatingGamepadTextInput(void* self) {
    const bool shown = keyboard;
    keyboard = false;
    return TAKES(utils) && shown;
}
