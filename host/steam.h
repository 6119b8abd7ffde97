// Steam for the page: the calls of window.lanternshell.steam, answered
// through the copy of Steam's library the game ships beside the executable.
// The page posts {"type":"steam.<call>","id":ID,...}; each request gets
// exactly one reply (page_request.h), at once or, for a call that needs the
// player's stats while Steam is still sending them, from a later Pump. A
// request with bad arguments is refused before anything reaches Steam; a
// request while Steam is unavailable is refused with the reason.
//
// The calls and their members (a name is non-empty, at most NameLimit bytes
// of UTF-8, without control characters):
//   user                    -> {"name":TEXT,"steamId":DECIMAL TEXT}
//   language                -> the game's language in Steam, e.g. "german"
//   achievements.unlock     name -> null, once set and stored (Steam shows it)
//   achievements.clear      name -> null, once cleared and stored
//   achievements.isUnlocked name -> true or false
//   achievements.names      -> [names]
//   achievements.progress   name, current, max (0 <= current <= max, max >= 1)
//                           -> null (Steam shows the progress)
//   stats.get               name, statType ("int" or "float") -> the value
//   stats.set               name, value, statType -> null (stored by
//                           stats.store)
//   stats.store             -> null
//   overlay.open            dialog (one of OverlayDialogs) -> null
//   overlay.openUrl         url (https) -> null
//   overlay.openStore       appId (missing: the game's own) -> null
//   device                  -> {"steamDeck":BOOL,"bigPicture":BOOL}
//   keyboard.show           mode ("single-line" when missing, "multi-line",
//                           "email", "numeric"), x, y, width, height (the text
//                           field in the window's pixels) -> whether it shows
//   keyboard.hide           -> whether a keyboard was hidden
// Steam's overlay showing or hiding is the page event "steam-overlay" with
// the detail {"active":BOOL}.
//
// UI thread only; nothing of Steam's runs on another thread of ours.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

#include "host/page_request.h"
#include "platform/shared_library.h"
#include "platform/steam_api.h"

class DiagnosticsLog;

// What starting Steam came to.
enum class SteamStart {
    Running,
    Unavailable,  // the game runs on without Steam; reason() says why
    Relaunch,     // Steam starts the game anew: end this start with exit code 0
};

class SteamService {
public:
#if defined(_WIN32)
    static constexpr const wchar_t* LibraryName = L"steam_api64.dll";
#else
    static constexpr const wchar_t* LibraryName = L"libsteam_api.so";
#endif
    // How often the host calls Pump.
    static constexpr int PumpIntervalMs = 33;
    // Pumps a call waits for the player's stats before it is refused: about
    // ten seconds.
    static constexpr int StatsWaitFrames = 300;
    static constexpr std::size_t NameLimit = 128;
    static constexpr const char* OverlayDialogs[] = {"Friends",     "Community",         "Players",
                                                     "Settings",    "OfficialGameGroup", "Stats",
                                                     "Achievements"};

    // post hands the page a reply or an event, as the text to post.
    using Post = std::function<void(const std::string& text)>;
    SteamService(DiagnosticsLog* log, Post post);
    // Shuts Steam down when Shutdown has not.
    ~SteamService();
    SteamService(const SteamService&) = delete;
    SteamService& operator=(const SteamService&) = delete;

    // Where replies and events go from now on; null to drop them.
    void PostThrough(Post post) {
        post_ = std::move(post);
    }

    // Loads folder (the executable's, ending in a separator) + LibraryName
    // and starts Steam for the game appId (positive). With
    // restartThroughSteam Steam is first asked whether it must start the game
    // itself; call this before anything else of the app starts. Once.
    SteamStart Start(const std::wstring& folder, std::uint32_t appId, bool restartThroughSteam);

    // Answers a page request (a JSON object whose type begins "steam.").
    void Request(const nlohmann::json& request);

    // Hands Steam's callbacks out: the overlay's as page events, the
    // player's stats to the calls waiting for them. About every
    // PumpIntervalMs while the app runs.
    void Pump();

    // Ends Steam, refusing calls still waiting. After the page has unloaded,
    // so that what it stored on its way out is sent.
    void Shutdown();

    bool available() const {
        return available_;
    }
    // Why Steam is unavailable; empty while it is available.
    const std::string& reason() const {
        return reason_;
    }
    // {"available":BOOL,"reason":TEXT}, for the page's script.
    nlohmann::json PageState() const;

    struct Call;

private:
    static const Call Calls[];

    enum class Stats { Ready, Waiting, Unrequested };

    SteamStart Unavailable(const std::string& reason);
    std::optional<PageAnswer> Answer(const nlohmann::json& request);
    void Reply(const nlohmann::json& request, const PageAnswer& answer);
    void StatsArrived(std::int32_t result);
    void StatsMissing(const std::string& why);

    PageAnswer User(const nlohmann::json&);
    PageAnswer Language(const nlohmann::json&);
    PageAnswer Unlock(const nlohmann::json&);
    PageAnswer Clear(const nlohmann::json&);
    PageAnswer IsUnlocked(const nlohmann::json&);
    PageAnswer Names(const nlohmann::json&);
    PageAnswer Progress(const nlohmann::json&);
    PageAnswer GetStat(const nlohmann::json&);
    PageAnswer SetStat(const nlohmann::json&);
    PageAnswer StoreStats(const nlohmann::json&);
    PageAnswer OpenDialog(const nlohmann::json&);
    PageAnswer OpenUrl(const nlohmann::json&);
    PageAnswer OpenStore(const nlohmann::json&);
    PageAnswer Device(const nlohmann::json&);
    PageAnswer ShowKeyboard(const nlohmann::json&);
    PageAnswer HideKeyboard(const nlohmann::json&);

    DiagnosticsLog* log_;
    Post post_;
    SharedLibrary library_;
    std::unique_ptr<SteamFlatApi> api_;
    std::uint32_t appId_ = 0;
    bool started_ = false;  // initialised and not yet shut down
    bool available_ = false;
    std::string reason_ = "Steam has not been started";
    SteamPipe pipe_ = 0;
    ISteamUserStats* userStats_ = nullptr;
    ISteamUtils* utils_ = nullptr;
    ISteamFriends* friends_ = nullptr;
    ISteamApps* apps_ = nullptr;
    ISteamUser* user_ = nullptr;
    Stats stats_ = Stats::Ready;
    int waitedFrames_ = 0;
    std::deque<nlohmann::json> waiting_;  // requests held for the stats
};
