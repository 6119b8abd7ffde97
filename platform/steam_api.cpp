#include "platform/steam_api.h"

#include <utility>

template <class I>
static void Probe(SteamAccessor<I>& accessor, const SteamSymbolFinder& find,
                  std::vector<const char*> versions) {
    accessor.versions = std::move(versions);
    for (const char* name : accessor.versions)
        if (void* address = find(name)) {
            accessor.call = reinterpret_cast<I* (*)()>(address);
            accessor.name = name;
            return;
        }
}

SteamFlatApi::SteamFlatApi(const SteamSymbolFinder& find) {
#define LS_STEAM_BIND(field, exportName, R, P) \
    field.call = reinterpret_cast<R(*) P>(find(exportName));
    LS_STEAM_VERSIONED_FUNCTIONS(LS_STEAM_BIND)
    LS_STEAM_FUNCTIONS(LS_STEAM_BIND)
#undef LS_STEAM_BIND
    // The versions of SDKs 1.57 to 1.65, newest first.
    Probe(userStats, find, {"SteamAPI_SteamUserStats_v013", "SteamAPI_SteamUserStats_v012"});
    Probe(utils, find, {"SteamAPI_SteamUtils_v011", "SteamAPI_SteamUtils_v010"});
    Probe(friends, find, {"SteamAPI_SteamFriends_v018", "SteamAPI_SteamFriends_v017"});
    Probe(apps, find, {"SteamAPI_SteamApps_v009", "SteamAPI_SteamApps_v008"});
    Probe(user, find, {"SteamAPI_SteamUser_v023"});
}

const char* SteamFlatApi::InitFunction() const {
    if (initFlat) return initFlat.name;
    if (internalInit) return internalInit.name;
    if (init) return init.name;
    if (initSafe) return initSafe.name;
    return nullptr;
}

SteamInitOutcome SteamFlatApi::Init() const {
    SteamInitOutcome outcome;
    outcome.function = InitFunction();
    SteamErrMsg message = {};
    if (initFlat) {
        outcome.result = initFlat(&message);
    } else if (internalInit) {
        // An empty list of interface versions: every accessor is probed by
        // name instead, so there is nothing left for the library to check.
        outcome.result = internalInit("\0", &message);
    } else if (init || initSafe) {
        outcome.ok = init ? init() : initSafe();
        return outcome;
    } else {
        return outcome;
    }
    message[sizeof message - 1] = '\0';  // never trust a text to end
    outcome.ok = outcome.result == SteamInitOk;
    outcome.message = message;
    return outcome;
}

std::vector<std::string> SteamFlatApi::MissingEssentials() const {
    std::vector<std::string> missing;
    const auto need = [&missing](const auto& function) {
        if (!function) missing.push_back(function.name);
    };
    need(shutdown);
    need(getPipe);
    need(dispatchInit);
    need(runFrame);
    need(nextCallback);
    need(freeCallback);
    return missing;
}

template <class I>
static void NeedAccessor(const SteamAccessor<I>& accessor, std::vector<std::string>& missing) {
    if (accessor) return;
    std::string names;
    for (const char* name : accessor.versions)
        names += (names.empty() ? "" : " or ") + std::string(name);
    missing.push_back(names);
}

std::vector<std::string> SteamFlatApi::MissingFunctions() const {
    std::vector<std::string> missing;
#define LS_STEAM_NEED(field, exportName, R, P) \
    if (!field) missing.push_back(exportName);
    LS_STEAM_FUNCTIONS(LS_STEAM_NEED)
#undef LS_STEAM_NEED
    NeedAccessor(userStats, missing);
    NeedAccessor(utils, missing);
    NeedAccessor(friends, missing);
    NeedAccessor(apps, missing);
    NeedAccessor(user, missing);
    return missing;
}
