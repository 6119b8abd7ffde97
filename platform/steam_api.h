// Steam's flat C API, bound by name from the copy of Steam's library a game
// ships. Its versions export different names (initialisation functions come
// and go, every interface accessor carries its version in its name), so each
// name is looked up and may be missing: a caller checks a function before it
// calls it. The signatures are the library's own: C linkage, the platform's
// one x64 calling convention, bool one byte, strings UTF-8, a Steam ID a
// 64-bit integer.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct ISteamUserStats;
struct ISteamUtils;
struct ISteamFriends;
struct ISteamApps;
struct ISteamUser;

using SteamPipe = std::int32_t;
using SteamErrMsg = char[1024];

// What the versioned initialisation functions answer.
enum SteamInitResult : std::int32_t {
    SteamInitOk = 0,
    SteamInitFailedGeneric = 1,
    SteamInitNoSteamClient = 2,
    SteamInitVersionMismatch = 3,
};

// The callbacks the manual dispatch hands out, laid out as the library lays
// them out: packed to 8 bytes on Windows and to 4 elsewhere.
#if defined(_WIN32)
#pragma pack(push, 8)
#else
#pragma pack(push, 4)
#endif
struct SteamCallbackMsg {
    std::int32_t user;
    std::int32_t callback;  // which of the structs below param points to
    std::uint8_t* param;
    std::int32_t paramSize;
};
constexpr std::int32_t SteamOverlayActivatedId = 331;
struct SteamOverlayActivated {
    std::uint8_t active;
    bool userInitiated;
    std::uint32_t appId;
    std::uint32_t pid;
};
constexpr std::int32_t SteamUserStatsReceivedId = 1101;
struct SteamUserStatsReceived {
    std::uint64_t gameId;
    std::int32_t result;  // 1 is success
    std::uint64_t steamId;
};
constexpr std::int32_t SteamUserStatsStoredId = 1102;
struct SteamUserStatsStored {
    std::uint64_t gameId;
    std::int32_t result;
};
#pragma pack(pop)

#if defined(_WIN32)
static_assert(sizeof(SteamCallbackMsg) == 24 && sizeof(SteamUserStatsReceived) == 24 &&
              sizeof(SteamUserStatsStored) == 16);
#else
static_assert(sizeof(SteamCallbackMsg) == 20 && sizeof(SteamUserStatsReceived) == 20 &&
              sizeof(SteamUserStatsStored) == 12);
#endif
static_assert(sizeof(SteamOverlayActivated) == 12 && sizeof(bool) == 1);

// The functions some versions of the library lack: the initialisation
// functions, the request for the player's stats (no longer needed once the
// library sends them by itself) and the two ways of asking for a Steam Deck.
#define LS_STEAM_VERSIONED_FUNCTIONS(X)                                                        \
    X(initFlat, "SteamAPI_InitFlat", std::int32_t, (SteamErrMsg*))                             \
    X(internalInit, "SteamInternal_SteamAPI_Init", std::int32_t, (const char*, SteamErrMsg*))  \
    X(init, "SteamAPI_Init", bool, ())                                                         \
    X(initSafe, "SteamAPI_InitSafe", bool, ())                                                 \
    X(requestCurrentStats, "SteamAPI_ISteamUserStats_RequestCurrentStats", bool,               \
      (ISteamUserStats*))                                                                      \
    X(isSteamRunningOnSteamDeck, "SteamAPI_ISteamUtils_IsSteamRunningOnSteamDeck", bool,       \
      (ISteamUtils*))                                                                          \
    X(isRunningOnSteamHardware, "SteamAPI_ISteamUtils_IsRunningOnSteamHardware", std::int32_t, \
      (ISteamUtils*))

// Every other function the host uses, which every version it knows
// exports: field, export, result, parameters.
#define LS_STEAM_FUNCTIONS(X)                                                                    \
    X(restartAppIfNecessary, "SteamAPI_RestartAppIfNecessary", bool, (std::uint32_t))            \
    X(shutdown, "SteamAPI_Shutdown", void, ())                                                   \
    X(isSteamRunning, "SteamAPI_IsSteamRunning", bool, ())                                       \
    X(getPipe, "SteamAPI_GetHSteamPipe", SteamPipe, ())                                          \
    X(dispatchInit, "SteamAPI_ManualDispatch_Init", void, ())                                    \
    X(runFrame, "SteamAPI_ManualDispatch_RunFrame", void, (SteamPipe))                           \
    X(nextCallback, "SteamAPI_ManualDispatch_GetNextCallback", bool,                             \
      (SteamPipe, SteamCallbackMsg*))                                                            \
    X(freeCallback, "SteamAPI_ManualDispatch_FreeLastCallback", void, (SteamPipe))               \
    X(setAchievement, "SteamAPI_ISteamUserStats_SetAchievement", bool,                           \
      (ISteamUserStats*, const char*))                                                           \
    X(getAchievement, "SteamAPI_ISteamUserStats_GetAchievement", bool,                           \
      (ISteamUserStats*, const char*, bool*))                                                    \
    X(clearAchievement, "SteamAPI_ISteamUserStats_ClearAchievement", bool,                       \
      (ISteamUserStats*, const char*))                                                           \
    X(indicateAchievementProgress, "SteamAPI_ISteamUserStats_IndicateAchievementProgress", bool, \
      (ISteamUserStats*, const char*, std::uint32_t, std::uint32_t))                             \
    X(getNumAchievements, "SteamAPI_ISteamUserStats_GetNumAchievements", std::uint32_t,          \
      (ISteamUserStats*))                                                                        \
    X(getAchievementName, "SteamAPI_ISteamUserStats_GetAchievementName", const char*,            \
      (ISteamUserStats*, std::uint32_t))                                                         \
    X(getStatInt32, "SteamAPI_ISteamUserStats_GetStatInt32", bool,                               \
      (ISteamUserStats*, const char*, std::int32_t*))                                            \
    X(getStatFloat, "SteamAPI_ISteamUserStats_GetStatFloat", bool,                               \
      (ISteamUserStats*, const char*, float*))                                                   \
    X(setStatInt32, "SteamAPI_ISteamUserStats_SetStatInt32", bool,                               \
      (ISteamUserStats*, const char*, std::int32_t))                                             \
    X(setStatFloat, "SteamAPI_ISteamUserStats_SetStatFloat", bool,                               \
      (ISteamUserStats*, const char*, float))                                                    \
    X(storeStats, "SteamAPI_ISteamUserStats_StoreStats", bool, (ISteamUserStats*))               \
    X(getPersonaName, "SteamAPI_ISteamFriends_GetPersonaName", const char*, (ISteamFriends*))    \
    X(activateGameOverlay, "SteamAPI_ISteamFriends_ActivateGameOverlay", void,                   \
      (ISteamFriends*, const char*))                                                             \
    X(activateGameOverlayToWebPage, "SteamAPI_ISteamFriends_ActivateGameOverlayToWebPage", void, \
      (ISteamFriends*, const char*, std::int32_t))                                               \
    X(activateGameOverlayToStore, "SteamAPI_ISteamFriends_ActivateGameOverlayToStore", void,     \
      (ISteamFriends*, std::uint32_t, std::int32_t))                                             \
    X(isSteamInBigPictureMode, "SteamAPI_ISteamUtils_IsSteamInBigPictureMode", bool,             \
      (ISteamUtils*))                                                                            \
    X(showFloatingGamepadTextInput, "SteamAPI_ISteamUtils_ShowFloatingGamepadTextInput", bool,   \
      (ISteamUtils*, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t))      \
    X(dismissFloatingGamepadTextInput, "SteamAPI_ISteamUtils_DismissFloatingGamepadTextInput",   \
      bool, (ISteamUtils*))                                                                      \
    X(getCurrentGameLanguage, "SteamAPI_ISteamApps_GetCurrentGameLanguage", const char*,         \
      (ISteamApps*))                                                                             \
    X(getSteamID, "SteamAPI_ISteamUser_GetSteamID", std::uint64_t, (ISteamUser*))

// One export: its address, null when the library lacks it, and its name.
struct SteamExport {
    void* address = nullptr;
    const char* name = nullptr;
    explicit operator bool() const { return address != nullptr; }
};

// A function, called with its own signature.
template <class F>
struct SteamFunction : SteamExport {
    template <class... A>
    auto operator()(A... arguments) const {
        return reinterpret_cast<F*>(address)(arguments...);
    }
};

// An interface accessor: of the versions this host knows, the newest the
// library exports (name is the one found). A library exports exactly one
// version of each.
struct SteamAccessorExport : SteamExport {
    std::vector<const char*> versions;  // the exports probed, newest first
};
// The versions probed, joined by " or ", for naming what a library lacks.
std::string JoinedVersions(const SteamAccessorExport& accessor);

template <class I>
struct SteamAccessor : SteamAccessorExport {
    I* operator()() const { return reinterpret_cast<I* (*)()>(address)(); }
};

// Finds an export by name; null when there is none.
using SteamSymbolFinder = std::function<void*(const char* name)>;

// How the initialisation went.
struct SteamInitOutcome {
    const char* function = nullptr;  // the one called; null when there is none
    bool ok = false;
    // The versioned functions' SteamInitResult; -1 for those that answer a
    // bool.
    std::int32_t result = -1;
    std::string message;  // the library's own error text, when it gives one
};

struct SteamFlatApi {
#define LS_STEAM_FIELD(field, exportName, R, P) SteamFunction<R P> field{{nullptr, exportName}};
    LS_STEAM_VERSIONED_FUNCTIONS(LS_STEAM_FIELD)
    LS_STEAM_FUNCTIONS(LS_STEAM_FIELD)
#undef LS_STEAM_FIELD

    SteamAccessor<ISteamUserStats> userStats;
    SteamAccessor<ISteamUtils> utils;
    SteamAccessor<ISteamFriends> friends;
    SteamAccessor<ISteamApps> apps;
    SteamAccessor<ISteamUser> user;

    // Looks every name up.
    explicit SteamFlatApi(const SteamSymbolFinder& find);

    // The initialisation function to call: the first the library has of
    // SteamAPI_InitFlat (made for loading the library by hand),
    // SteamInternal_SteamAPI_Init, SteamAPI_Init and SteamAPI_InitSafe (kept
    // for old callers). Null when it has none.
    const char* InitFunction() const;
    // Calls it. Not before the restart check: Steam wants that first.
    SteamInitOutcome Init() const;
    // The names, other than the initialisation functions, without which
    // there is no Steam at all: shutdown, the pipe and the manual dispatch.
    std::vector<std::string> MissingEssentials() const;
    // The functions and accessors every version exports that this library
    // lacks (an accessor as its versions joined by " or "): a sign of a
    // damaged or unknown library.
    std::vector<std::string> MissingFunctions() const;
};
