#include "host/steam.h"

#include <cfloat>
#include <cstdio>
#include <cstdlib>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <utility>

#include "platform/diagnostics_log.h"
#include "platform/text.h"

using nlohmann::json;

namespace {

const json* Member(const json& request, const char* key) {
    if (!request.is_object()) return nullptr;
    const auto found = request.find(key);
    return found == request.end() ? nullptr : &*found;
}

// The text at key; "" when there is none.
std::string Text(const json& request, const char* key) {
    const json* value = Member(request, key);
    return value && value->is_string() ? value->get<std::string>() : std::string();
}

std::optional<std::int64_t> IntegerIn(const json* value, std::int64_t low, std::int64_t high) {
    if (!value || !value->is_number_integer()) return std::nullopt;
    // Parsed, a number without a sign is unsigned: past INT64_MAX it has no
    // signed value.
    if (value->is_number_unsigned() && value->get<std::uint64_t>() > INT64_MAX) return std::nullopt;
    const std::int64_t number = value->get<std::int64_t>();
    if (number < low || number > high) return std::nullopt;
    return number;
}

constexpr std::int64_t Int32Min = INT32_MIN;
constexpr std::int64_t Int32Max = INT32_MAX;
constexpr std::int64_t UInt32Max = UINT32_MAX;

std::int64_t Integer(const json& request, const char* key) {
    return IntegerIn(Member(request, key), INT64_MIN, INT64_MAX).value_or(0);
}

bool HasControl(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7F) return true;
        // U+0080 to U+009F, the second block of controls, in UTF-8.
        if (byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0)
            return true;
    }
    return false;
}

// The rule for the names of achievements and stats. "" when value keeps it.
std::string NameProblem(const json* value, const std::string& what) {
    if (!value || !value->is_string()) return "the " + what + " must be a text";
    const std::string& name = value->get_ref<const std::string&>();
    if (name.empty()) return "the " + what + " is empty";
    if (name.size() > SteamService::NameLimit)
        return "the " + what + " is longer than " + std::to_string(SteamService::NameLimit) +
               " bytes";
    if (HasControl(name)) return "the " + what + " holds a control character";
    return {};
}

// "int" or "float", the stat types the page names.
std::string TypeProblem(const json& request) {
    const std::string type = Text(request, "statType");
    if (type == "int" || type == "float") return {};
    return "the stat type must be \"int\" or \"float\"";
}

constexpr std::pair<const char*, std::int32_t> KeyboardModes[] = {
    {"single-line", 0}, {"multi-line", 1}, {"email", 2}, {"numeric", 3}};

std::optional<std::int32_t> KeyboardMode(const json& request) {
    if (!Member(request, "mode")) return 0;
    const std::string mode = Text(request, "mode");
    for (const auto& [name, value] : KeyboardModes)
        if (mode == name) return value;
    return std::nullopt;
}

std::string NoProblem(const json&) {
    return {};
}

std::string AchievementProblem(const json& request) {
    return NameProblem(Member(request, "name"), "achievement name");
}

std::string ProgressProblem(const json& request) {
    if (auto problem = AchievementProblem(request); !problem.empty()) return problem;
    const auto current = IntegerIn(Member(request, "current"), 0, UInt32Max);
    const auto max = IntegerIn(Member(request, "max"), 1, UInt32Max);
    if (!current || !max || *current > *max)
        return "the progress must be whole numbers with 0 <= current <= max and 1 <= max <= " +
               std::to_string(UInt32Max);
    return {};
}

std::string StatProblem(const json& request) {
    if (auto problem = NameProblem(Member(request, "name"), "stat name"); !problem.empty())
        return problem;
    return TypeProblem(request);
}

std::string StatValueProblem(const json& request) {
    if (auto problem = StatProblem(request); !problem.empty()) return problem;
    const json* value = Member(request, "value");
    if (Text(request, "statType") == "int") {
        if (!IntegerIn(value, Int32Min, Int32Max))
            return "an int stat takes a whole number from " + std::to_string(Int32Min) + " to " +
                   std::to_string(Int32Max);
    } else if (!value || !value->is_number() || !std::isfinite(value->get<double>()) ||
               std::fabs(value->get<double>()) > FLT_MAX) {
        return "a float stat takes a finite number within the range of a float";
    }
    return {};
}

std::string DialogProblem(const json& request) {
    const std::string dialog = Text(request, "dialog");
    for (const char* name : SteamService::OverlayDialogs)
        if (dialog == name) return {};
    std::string names;
    for (const char* name : SteamService::OverlayDialogs)
        names += (names.empty() ? "" : ", ") + std::string(name);
    return "the overlay dialog must be one of " + names;
}

std::string UrlProblem(const json& request) {
    const std::string text = Text(request, "url");
    const std::wstring scheme = Utf8ToWide(text.substr(0, 8));
    const bool hasHost = text.size() > 8 && text.find_first_of("/?#", 8) != 8;
    if (!EqualsIgnoringAsciiCase(scheme, L"https://") || !hasHost)
        return "the overlay opens only https addresses";
    if (HasControl(text) || text.find(' ') != std::string::npos)
        return "the address holds a space or a control character";
    return {};
}

std::string StoreProblem(const json& request) {
    const json* appId = Member(request, "appId");
    if (!appId || IntegerIn(appId, 1, UInt32Max)) return {};
    return "the app id must be a whole number from 1 to " + std::to_string(UInt32Max);
}

std::string KeyboardProblem(const json& request) {
    if (!KeyboardMode(request))
        return "the keyboard mode must be \"single-line\", \"multi-line\", \"email\" or "
               "\"numeric\"";
    for (const char* key : {"x", "y", "width", "height"})
        if (!IntegerIn(Member(request, key), 0, Int32Max))
            return "the keyboard's x, y, width and height must be whole numbers from 0 to " +
                   std::to_string(Int32Max);
    return {};
}

// Why a call can't be made: the interface it needs is missing, or Steam
// gave none, or the library lacks one of its functions. "" when it can.
std::string Lacks(const SteamAccessorExport& accessor, const void* object,
                  std::initializer_list<const SteamExport*> functions) {
    std::string names = accessor ? "" : JoinedVersions(accessor);
    for (const SteamExport* function : functions)
        if (!*function) names += (names.empty() ? "" : ", ") + std::string(function->name);
    if (!names.empty()) return "the game's Steam library lacks " + names;
    if (!object) return std::string("Steam gave no interface through ") + accessor.name;
    return {};
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

PageAnswer Done() {
    return PageAnswer::Value(nullptr);
}

}  // namespace

struct SteamService::Call {
    const char* name;
    bool needsStats;  // waits for the player's stats where Steam sends them on request
    std::string (*problem)(const json&);
    PageAnswer (SteamService::*answer)(const json&);
};

const SteamService::Call SteamService::Calls[] = {
    {"user", false, NoProblem, &SteamService::User},
    {"language", false, NoProblem, &SteamService::Language},
    {"achievements.unlock", true, AchievementProblem, &SteamService::Unlock},
    {"achievements.clear", true, AchievementProblem, &SteamService::Clear},
    {"achievements.isUnlocked", true, AchievementProblem, &SteamService::IsUnlocked},
    {"achievements.names", true, NoProblem, &SteamService::Names},
    {"achievements.progress", true, ProgressProblem, &SteamService::Progress},
    {"stats.get", true, StatProblem, &SteamService::GetStat},
    {"stats.set", true, StatValueProblem, &SteamService::SetStat},
    {"stats.store", true, NoProblem, &SteamService::StoreStats},
    {"overlay.open", false, DialogProblem, &SteamService::OpenDialog},
    {"overlay.openUrl", false, UrlProblem, &SteamService::OpenUrl},
    {"overlay.openStore", false, StoreProblem, &SteamService::OpenStore},
    {"device", false, NoProblem, &SteamService::Device},
    {"keyboard.show", false, KeyboardProblem, &SteamService::ShowKeyboard},
    {"keyboard.hide", false, NoProblem, &SteamService::HideKeyboard},
};

SteamService::SteamService(DiagnosticsLog* log, Post post) : log_(log), post_(std::move(post)) {}

SteamService::~SteamService() {
    Shutdown();
}

json SteamService::PageState() const {
    return {{"available", available_}, {"reason", reason_}};
}

SteamStart SteamService::Unavailable(const std::string& reason) {
    available_ = false;
    reason_ = reason;
    if (log_) log_->Write("Steam unavailable: " + reason);
    return SteamStart::Unavailable;
}

SteamStart SteamService::Start(const std::wstring& folder, std::uint32_t appId,
                               bool restartThroughSteam) {
    appId_ = appId;
    const std::wstring path = folder + LibraryName;
    if (!library_.Load(path))
        return Unavailable("the game's folder has no usable " + WideToUtf8(LibraryName) + " (" +
                           library_.error() + ")");
    if (log_) log_->Write("Steam: library " + Quoted(PathForDisplay(path)) + " loaded");
    api_ = std::make_unique<SteamFlatApi>([this](const char* name) { return library_.Find(name); });
    const SteamFlatApi& api = *api_;

    if (restartThroughSteam) {
        if (!api.restartAppIfNecessary) {
            if (log_)
                log_->Write(std::string("Steam: the library lacks ") +
                            api.restartAppIfNecessary.name + ": the game is not relaunched");
        } else if (api.restartAppIfNecessary(appId)) {
            if (log_)
                log_->Write(std::string("Steam relaunches the game (") +
                            api.restartAppIfNecessary.name + "): this start ends");
            reason_ = "Steam relaunches the game";
            return SteamStart::Relaunch;
        }
    }

    if (!api.InitFunction())
        return Unavailable(
            "the Steam library lacks an initialisation function (SteamAPI_InitFlat, "
            "SteamInternal_SteamAPI_Init, SteamAPI_Init or SteamAPI_InitSafe)");
    if (const auto missing = api.MissingEssentials(); !missing.empty())
        return Unavailable("the Steam library lacks " + Joined(missing));

    const SteamInitOutcome outcome = api.Init();
    if (!outcome.ok) {
        const std::string detail = outcome.message.empty() ? ""
                                                           : std::string(" (") + outcome.function +
                                                                 ": " + outcome.message + ")";
        const bool notRunning = outcome.result == SteamInitNoSteamClient ||
                                (outcome.result < 0 && api.isSteamRunning && !api.isSteamRunning());
        if (notRunning) return Unavailable("Steam is not running" + detail);
        if (outcome.result < 0)
            return Unavailable(std::string("Steam could not be initialised: ") + outcome.function +
                               " failed (Steam may run as another user, or the account may not "
                               "own the app, or the app id is not set up)");
        return Unavailable(std::string("Steam could not be initialised: ") + outcome.function +
                           " answered " + std::to_string(outcome.result) +
                           (outcome.message.empty() ? "" : ": " + outcome.message));
    }
    started_ = true;
    api.dispatchInit();
    pipe_ = api.getPipe();
    userStats_ = api.userStats ? api.userStats() : nullptr;
    utils_ = api.utils ? api.utils() : nullptr;
    friends_ = api.friends ? api.friends() : nullptr;
    apps_ = api.apps ? api.apps() : nullptr;
    user_ = api.user ? api.user() : nullptr;
    if (log_) {
        std::string interfaces;
        for (const char* name :
             {api.userStats.name, api.utils.name, api.friends.name, api.apps.name, api.user.name})
            if (name) interfaces += std::string(", ") + name;
        log_->Write(std::string("Steam started by ") + outcome.function + interfaces);
        const auto missing = api.MissingFunctions();
        if (!missing.empty())
            log_->Write("Steam: the library lacks " + Joined(missing) +
                        ": the calls that need them are refused");
    }
    available_ = true;
    reason_.clear();
    // Libraries that still have the request send the player's stats only
    // when asked, and refuse every stats call until they have.
    stats_ = api.requestCurrentStats ? Stats::Unrequested : Stats::Ready;
    if (stats_ == Stats::Unrequested && userStats_ && api.requestCurrentStats(userStats_)) {
        stats_ = Stats::Waiting;
        waitedFrames_ = 0;
    }
    return SteamStart::Running;
}

void SteamService::Reply(const json& request, const PageAnswer& answer) {
    const json* id = Member(request, "id");
    if (post_) post_(PageReplyJson(id ? *id : json(nullptr), answer));
}

void SteamService::Request(const json& request) {
    if (auto answer = Answer(request)) Reply(request, *answer);
}

std::optional<PageAnswer> SteamService::Answer(const json& request) {
    const std::string type = Text(request, "type");
    const Call* call = nullptr;
    for (const Call& candidate : Calls)
        if (type == "steam." + std::string(candidate.name)) call = &candidate;
    if (!call) return PageAnswer::Refused("Steam has no call \"" + type + "\"");
    if (auto problem = call->problem(request); !problem.empty())
        return PageAnswer::Refused(problem);
    if (!available_) return PageAnswer::Refused(reason_);
    // Without the interface the call's own refusal says so.
    if (call->needsStats && stats_ != Stats::Ready && userStats_) {
        if (stats_ == Stats::Unrequested) {
            if (!userStats_ || !api_->requestCurrentStats(userStats_))
                return PageAnswer::Refused("Steam would not send the player's stats");
            stats_ = Stats::Waiting;
            waitedFrames_ = 0;
        }
        waiting_.push_back(request);
        return std::nullopt;
    }
    return (this->*call->answer)(request);
}

void SteamService::Pump() {
    if (!started_) return;
    const SteamFlatApi& api = *api_;
    api.runFrame(pipe_);
    // Steam's callbacks are read whole before anything answers: no other
    // call of Steam's runs while one is held.
    std::optional<std::int32_t> statsResult;
    SteamCallbackMsg message{};
    while (api.nextCallback(pipe_, &message)) {
        const auto fits = [&message](std::size_t size) {
            return message.param && message.paramSize >= 0 &&
                   static_cast<std::size_t>(message.paramSize) >= size;
        };
        if (message.callback == SteamOverlayActivatedId && fits(sizeof(SteamOverlayActivated))) {
            SteamOverlayActivated overlay;
            std::memcpy(&overlay, message.param, sizeof overlay);
            if (post_) post_(PageEventJson("steam-overlay", {{"active", overlay.active != 0}}));
        } else if (message.callback == SteamUserStatsReceivedId &&
                   fits(sizeof(SteamUserStatsReceived))) {
            SteamUserStatsReceived received;
            std::memcpy(&received, message.param, sizeof received);
            statsResult = received.result;
        } else if (message.callback == SteamUserStatsStoredId &&
                   fits(sizeof(SteamUserStatsStored))) {
            SteamUserStatsStored stored;
            std::memcpy(&stored, message.param, sizeof stored);
            if (stored.result != 1 && log_)
                log_->Write("Steam: storing the stats failed (result " +
                            std::to_string(stored.result) + ")");
        }
        api.freeCallback(pipe_);
    }
    if (statsResult) StatsArrived(*statsResult);
    if (stats_ == Stats::Waiting && ++waitedFrames_ > StatsWaitFrames)
        StatsMissing("Steam did not send them within " +
                     std::to_string((StatsWaitFrames * PumpIntervalMs + 500) / 1000) + " seconds");
}

void SteamService::StatsArrived(std::int32_t result) {
    if (stats_ == Stats::Ready) return;
    if (result != 1) return StatsMissing("Steam answered with result " + std::to_string(result));
    stats_ = Stats::Ready;
    std::deque<json> waiting;
    waiting.swap(waiting_);
    for (const json& request : waiting) Request(request);
}

void SteamService::StatsMissing(const std::string& why) {
    // Asked again by the next call that needs them.
    stats_ = Stats::Unrequested;
    if (log_) log_->Write("Steam: the player's stats did not arrive: " + why);
    std::deque<json> waiting;
    waiting.swap(waiting_);
    for (const json& request : waiting)
        Reply(request, PageAnswer::Refused("the player's stats did not arrive: " + why));
}

void SteamService::Shutdown() {
    if (!started_) return;
    started_ = false;
    available_ = false;
    reason_ = "Steam has been shut down";
    std::deque<json> waiting;
    waiting.swap(waiting_);
    for (const json& request : waiting) Reply(request, PageAnswer::Refused(reason_));
    api_->shutdown();
    if (log_) log_->Write("Steam: shut down");
}

// Each call refuses first when it can't be made (see Lacks).
#define LS_STEAM_NEEDS(accessor, object, ...)                                \
    if (auto why = Lacks(api.accessor, object, {__VA_ARGS__}); !why.empty()) \
        return PageAnswer::Refused(why);

PageAnswer SteamService::User(const json&) {
    const SteamFlatApi& api = *api_;
    LS_STEAM_NEEDS(friends, friends_, &api.getPersonaName)
    LS_STEAM_NEEDS(user, user_, &api.getSteamID)
    const char* name = api.getPersonaName(friends_);
    json user = json::object();
    user["name"] = name ? name : "";
    user["steamId"] = std::to_string(api.getSteamID(user_));
    return PageAnswer::Value(std::move(user));
}

PageAnswer SteamService::Language(const json&) {
    const SteamFlatApi& api = *api_;
    LS_STEAM_NEEDS(apps, apps_, &api.getCurrentGameLanguage)
    const char* language = api.getCurrentGameLanguage(apps_);
    return PageAnswer::Value(language ? language : "");
}

static PageAnswer AchievementRefused(const std::string& name) {
    return PageAnswer::Refused("Steam refused the achievement \"" + name +
                               "\" (is it defined for this app?)");
}

// Sets or clears the achievement, then stores it at once: Steam shows its
// notification only then.
static PageAnswer ChangeAchievement(const SteamFlatApi& api, ISteamUserStats* stats,
                                    const json& request, bool unlock) {
    const auto& change = unlock ? api.setAchievement : api.clearAchievement;
    LS_STEAM_NEEDS(userStats, stats, &change, &api.storeStats)
    const std::string name = Text(request, "name");
    if (!change(stats, name.c_str())) return AchievementRefused(name);
    if (!api.storeStats(stats))
        return PageAnswer::Refused("the achievement \"" + name + "\" is " +
                                   (unlock ? "set" : "cleared") + ", but Steam could not store it");
    return Done();
}

PageAnswer SteamService::Unlock(const json& request) {
    return ChangeAchievement(*api_, userStats_, request, true);
}

PageAnswer SteamService::Clear(const json& request) {
    return ChangeAchievement(*api_, userStats_, request, false);
}

PageAnswer SteamService::IsUnlocked(const json& request) {
    const SteamFlatApi& api = *api_;
    LS_STEAM_NEEDS(userStats, userStats_, &api.getAchievement)
    const std::string name = Text(request, "name");
    bool unlocked = false;
    if (!api.getAchievement(userStats_, name.c_str(), &unlocked)) return AchievementRefused(name);
    return PageAnswer::Value(unlocked);
}

PageAnswer SteamService::Names(const json&) {
    const SteamFlatApi& api = *api_;
    LS_STEAM_NEEDS(userStats, userStats_, &api.getNumAchievements, &api.getAchievementName)
    json names = json::array();
    const std::uint32_t count = api.getNumAchievements(userStats_);
    for (std::uint32_t i = 0; i < count; ++i)
        if (const char* name = api.getAchievementName(userStats_, i)) names.push_back(name);
    return PageAnswer::Value(std::move(names));
}

PageAnswer SteamService::Progress(const json& request) {
    const SteamFlatApi& api = *api_;
    LS_STEAM_NEEDS(userStats, userStats_, &api.indicateAchievementProgress)
    const std::string name = Text(request, "name");
    if (!api.indicateAchievementProgress(userStats_, name.c_str(),
                                         static_cast<std::uint32_t>(Integer(request, "current")),
                                         static_cast<std::uint32_t>(Integer(request, "max"))))
        return AchievementRefused(name);
    return Done();
}

// "int stat "NAME" (is it defined for this app, as an int", for refusals.
static std::string StatText(const std::string& type, const std::string& name) {
    return type + " stat \"" + name + "\" (is it defined for this app, " +
           (type == "int" ? "as an int" : "as a float");
}

PageAnswer SteamService::GetStat(const json& request) {
    const SteamFlatApi& api = *api_;
    const std::string name = Text(request, "name");
    const std::string type = Text(request, "statType");
    const PageAnswer refused =
        PageAnswer::Refused("Steam refused the " + StatText(type, name) + "?)");
    if (type == "int") {
        LS_STEAM_NEEDS(userStats, userStats_, &api.getStatInt32)
        std::int32_t value = 0;
        if (!api.getStatInt32(userStats_, name.c_str(), &value)) return refused;
        return PageAnswer::Value(value);
    }
    LS_STEAM_NEEDS(userStats, userStats_, &api.getStatFloat)
    float value = 0;
    if (!api.getStatFloat(userStats_, name.c_str(), &value)) return refused;
    // The float's shortest decimal form: a stat set to 1.1 reads 1.1, not
    // the double nearest to the float nearest to 1.1.
    char digits[32];
    for (int precision = 6; precision <= 9; ++precision) {
        std::snprintf(digits, sizeof digits, "%.*g", precision, value);
        if (std::strtof(digits, nullptr) == value) break;
    }
    return PageAnswer::Value(std::strtod(digits, nullptr));
}

PageAnswer SteamService::SetStat(const json& request) {
    const SteamFlatApi& api = *api_;
    const std::string name = Text(request, "name");
    const std::string type = Text(request, "statType");
    bool set = false;
    if (type == "int") {
        LS_STEAM_NEEDS(userStats, userStats_, &api.setStatInt32)
        set = api.setStatInt32(userStats_, name.c_str(),
                               static_cast<std::int32_t>(Integer(request, "value")));
    } else {
        LS_STEAM_NEEDS(userStats, userStats_, &api.setStatFloat)
        set = api.setStatFloat(userStats_, name.c_str(), Member(request, "value")->get<float>());
    }
    if (!set)
        return PageAnswer::Refused("Steam refused to set the " + StatText(type, name) +
                                   ", and does the value keep its rules?)");
    return Done();
}

PageAnswer SteamService::StoreStats(const json&) {
    const SteamFlatApi& api = *api_;
    LS_STEAM_NEEDS(userStats, userStats_, &api.storeStats)
    if (!api.storeStats(userStats_)) return PageAnswer::Refused("Steam could not store the stats");
    return Done();
}

PageAnswer SteamService::OpenDialog(const json& request) {
    const SteamFlatApi& api = *api_;
    LS_STEAM_NEEDS(friends, friends_, &api.activateGameOverlay)
    api.activateGameOverlay(friends_, Text(request, "dialog").c_str());
    return Done();
}

PageAnswer SteamService::OpenUrl(const json& request) {
    const SteamFlatApi& api = *api_;
    LS_STEAM_NEEDS(friends, friends_, &api.activateGameOverlayToWebPage)
    api.activateGameOverlayToWebPage(friends_, Text(request, "url").c_str(), 0);
    return Done();
}

PageAnswer SteamService::OpenStore(const json& request) {
    const SteamFlatApi& api = *api_;
    LS_STEAM_NEEDS(friends, friends_, &api.activateGameOverlayToStore)
    const std::int64_t appId = Member(request, "appId") ? Integer(request, "appId") : appId_;
    api.activateGameOverlayToStore(friends_, static_cast<std::uint32_t>(appId), 0);
    return Done();
}

PageAnswer SteamService::Device(const json&) {
    const SteamFlatApi& api = *api_;
    // Newer libraries tell the kinds of Steam hardware apart; 1 is the Deck.
    const bool old = bool(api.isSteamRunningOnSteamDeck);
    const SteamExport* deck = old ? static_cast<const SteamExport*>(&api.isSteamRunningOnSteamDeck)
                                  : &api.isRunningOnSteamHardware;
    LS_STEAM_NEEDS(utils, utils_, &api.isSteamInBigPictureMode, deck)
    json device = json::object();
    device["steamDeck"] =
        old ? api.isSteamRunningOnSteamDeck(utils_) : api.isRunningOnSteamHardware(utils_) == 1;
    device["bigPicture"] = api.isSteamInBigPictureMode(utils_);
    return PageAnswer::Value(std::move(device));
}

PageAnswer SteamService::ShowKeyboard(const json& request) {
    const SteamFlatApi& api = *api_;
    LS_STEAM_NEEDS(utils, utils_, &api.showFloatingGamepadTextInput)
    const auto coordinate = [&request](const char* key) {
        return static_cast<std::int32_t>(Integer(request, key));
    };
    return PageAnswer::Value(api.showFloatingGamepadTextInput(
        utils_, *KeyboardMode(request), coordinate("x"), coordinate("y"), coordinate("width"),
        coordinate("height")));
}

PageAnswer SteamService::HideKeyboard(const json&) {
    const SteamFlatApi& api = *api_;
    LS_STEAM_NEEDS(utils, utils_, &api.dismissFloatingGamepadTextInput)
    return PageAnswer::Value(api.dismissFloatingGamepadTextInput(utils_));
}
