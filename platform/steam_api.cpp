#include "platform/steam_api.h"

#include <initializer_list>
#include <utility>

static void Probe(SteamAccessorExport& accessor, const SteamSymbolFinder& find,
                  std::vector<const char*> versions) {
    accessor.versions = std::move(versions);
    for (const char* name : accessor.versions)
        if ((accessor.address = find(name))) {
            accessor.name = name;
            return;
        }
}

#define LS_STEAM_ADDRESS(field, exportName, R, P) &field,

SteamFlatApi::SteamFlatApi(const SteamSymbolFinder& find) {
    for (SteamExport* function : std::initializer_list<SteamExport*>{
             LS_STEAM_VERSIONED_FUNCTIONS(LS_STEAM_ADDRESS) LS_STEAM_FUNCTIONS(LS_STEAM_ADDRESS)})
        function->address = find(function->name);
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
    for (const SteamExport* function : std::initializer_list<const SteamExport*>{
             &shutdown, &getPipe, &dispatchInit, &runFrame, &nextCallback, &freeCallback})
        if (!*function) missing.push_back(function->name);
    return missing;
}

std::vector<std::string> SteamFlatApi::MissingFunctions() const {
    std::vector<std::string> missing;
    for (const SteamExport* function :
         std::initializer_list<const SteamExport*>{LS_STEAM_FUNCTIONS(LS_STEAM_ADDRESS)})
        if (!*function) missing.push_back(function->name);
    for (const SteamAccessorExport* accessor : std::initializer_list<const SteamAccessorExport*>{
             &userStats, &utils, &friends, &apps, &user})
        if (!*accessor) missing.push_back(JoinedVersions(*accessor));
    return missing;
}

std::string JoinedVersions(const SteamAccessorExport& accessor) {
    std::string names;
    for (const char* name : accessor.versions)
        names += (names.empty() ? "" : " or ") + std::string(name);
    return names;
}
