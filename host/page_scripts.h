// Scripts the hosts run in the page, kept in one place so both hosts run the
// same text and the browser suite can run the very text a host adds.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/page_log.h"

// Makes window.close() in the app's own top-level page (its origin is
// origin, with its final slash) post {"type":"close"} through
// chrome.webview.postMessage, so the host quits as for the page's close
// request: the browser refuses window.close() once the page has navigated.
// Frames and pages of other origins keep the browser's own window.close.
std::wstring CloseScript(std::wstring_view origin);

// Leaves the page's element fullscreen, when it has one: a fullscreen key
// that leaves the window's fullscreen leaves the element's too.
constexpr const wchar_t* ExitElementFullscreenScript =
    L"document.fullscreenElement && document.exitFullscreen()";

// Posts the app's own top-level page's errors as "page-log" messages (see
// PageLog): uncaught errors, unhandled rejections, the page's elements that
// failed to load (script, style, image, media, from any origin),
// console.error and console.warn, and in mode All console.log and
// console.info, each within PageLogTextLimit units and PageLogLineLimit
// lines in windowMs. Places are paths under origin ("/js/game.js:12:7"),
// or the full address of another origin. Frames and pages of other origins
// post nothing: the host hears the top-level page alone. Empty in mode Off.
// windowMs is the host's window; the browser suite gives a shorter one.
std::wstring PageLogScript(std::wstring_view origin, PageLogMode mode,
                           int windowMs = PageLogWindowMs);

// A member of window.lanternshell, built in the page by its own script over
// the request channel every service shares.
struct PageService {
    // The member's name; empty for a service that adds none.
    std::string name;
    // A script expression for a function of request(type, fields) that
    // returns the member's object (or nothing). request posts
    // {type, id, ...fields} and returns a Promise that the host's reply with
    // that id settles: resolved with its value, or rejected with an Error
    // whose message is its error. A string field that is not well-formed
    // UTF-16 is rejected before it is posted: the host reads UTF-8. Kept in
    // UTF-8, as the scripts take half the bytes in the executable so.
    std::string factory;
};

// Defines window.lanternshell, frozen, with a member per service, in the
// app's own top-level page only (its origin is origin, with its final slash),
// over chrome.webview: the requests are posted through postMessage, the
// replies and the host's events arrive as "message" events (see
// host/page_request.h), and each event is raised on window as
// "lanternshell-NAME" with its detail.
std::wstring PageServicesScript(std::wstring_view origin, const std::vector<PageService>& services);

// window.lanternshell.saves: write(name, text), read(name), list() and
// remove(name), each a Promise over its "saves." request; write resolves
// with nothing.
PageService SavesService();

// The local-storage key that holds the page's generation of the mirror; the
// page can neither set nor remove it, and clear() keeps it.
constexpr const char* MirrorGenerationKey = "lanternshell-mirror-generation";

struct MirrorTiming {
    int quietMs = 1000;     // a change is written once storage has been quiet this long...
    int longestMs = 60000;  // ...or this long after the first change not yet written
    int checkMs = 60000;    // how often changes that bypass the Storage methods are looked for
};

// Mirrors the page's local storage to its file through "saves.mirror"
// requests. file is the file as the host read it at start (SaveStore's
// ReadMirror), or null. At document start, before the page's own scripts,
// the file replaces local storage when the profile has no generation or an
// older one than the file. Then every change through setItem, removeItem or
// clear (which keeps the generation) or of another document of the app
// raises the generation and is written within MirrorTiming, never sooner than
// quietMs after the previous write; an assignment (localStorage.x = 1) is
// found by the next check. From pagehide on, changes are written at once.
PageService LocalStorageMirrorService(const nlohmann::json& file, const MirrorTiming& timing = {});

// window.lanternshell.steam over the "steam." requests (host/steam.h):
// available and reason from state (SteamService::PageState()); user(),
// language(), achievements.unlock/clear/isUnlocked/names/progress,
// stats.get/set/store, overlay.open/openUrl/openStore, device() and
// keyboard.show/hide, each a Promise. The calls that only act resolve with
// nothing; keyboard.show takes the text field in the page's CSS pixels and
// asks for it in the window's.
PageService SteamPageService(const nlohmann::json& state);
