// What a running app does, whatever the browser engine: which navigations,
// new windows, permissions and page messages are accepted and what follows,
// the recovery from failed browser processes and its bounds, when the window
// is first shown, the fullscreen mode, every text the player sees and every
// line the log gets, and the exit code. Each host implements Engine over its
// engine and turns the engine's events into calls of the session; the
// session answers or calls the engine back. UI thread only.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/page_log.h"
#include "host/page_request.h"
#include "host/window_state.h"

class DiagnosticsLog;
class SaveStore;
class SteamService;

// The calls the session makes. Each does what it says and nothing more; the
// decisions are the session's.
class Engine {
public:
    virtual ~Engine() = default;

    // Loads uri in the view; the failure's detail ("error 0x80070005") when
    // the engine refuses at once.
    virtual std::optional<std::string> Navigate(const std::wstring& uri) = 0;
    // Loads the current page again; false when the engine refuses (it has
    // logged the refused call).
    virtual bool Reload() = 0;
    // The browser is gone: a new one in the same window, with the same
    // settings. Once it is ready the engine calls Session::OnEngineReady.
    virtual void RestartBrowser() = 0;
    virtual void SetFullscreen(bool fullscreen) = 0;
    virtual void SetCaption(const std::wstring& caption) = 0;
    // Shows the window and gives the page the keyboard focus.
    virtual void ShowWindow() = 0;
    // A box with the error icon that the player dismisses.
    virtual void ShowError(const std::wstring& text, const std::wstring& caption) = 0;
    // A question owned by the window; true for Yes.
    virtual bool AskYesNo(const std::wstring& text, const std::wstring& caption) = 0;
    // Hands a link to the user's default program for it.
    virtual void OpenOutside(const std::wstring& uri) = 0;
    // Ends the main loop; the window goes with it.
    virtual void Quit() = 0;

    // Lets the page end as a browser tab does: beforeunload, pagehide,
    // visibilitychange (hidden) and unload run. Answered with
    // Session::OnQuitEvent as it goes; false when the page can't be left.
    virtual bool UnloadPage() = 0;
    // Closes the browser so that it writes the profile and its processes
    // end; answered with QuitEvent::BrowserExited once they have ended.
    virtual void CloseBrowser() = 0;
    // Answers QuitEvent::TimerRanOut once, after ms; a timer started again
    // replaces the one pending. The quit sequence's bounds are timed so.
    virtual void StartTimer(int ms) = 0;
    virtual void StopTimer() = 0;
    // Leaves the page's element fullscreen, when it has one.
    virtual void ExitElementFullscreen() = 0;
    // The window's place and size now, for window.json; nothing without a
    // window.
    virtual std::optional<WindowRecord> CurrentWindowRecord() = 0;
    // Posts a reply or an event (host/page_request.h), a JSON object, to the
    // page, whose chrome.webview "message" listeners get it as event.data.
    // Nothing when there is no page to post to.
    virtual void PostToPage(const std::string& json) = 0;
    // Calls Session::OnPump every ms on the UI thread until the window goes.
    virtual void StartPump(int ms) = 0;
};

// Every way the app is asked to quit; each runs the same sequence.
enum class QuitCause {
    Window,      // the caption's button, Alt+F4, the system menu, the taskbar
    Page,        // window.close() or the page's close request
    SessionEnd,  // the user logs off or the system shuts down
    Signal,      // the process was asked to end (SIGTERM, SIGINT, SIGHUP)
};

// What the engine reports in the quit sequence.
enum class QuitEvent {
    PageUnloaded,      // the blank page committed: the page has ended
    PlayerStayed,      // the page's beforeunload asked, and the player stayed
    QuestionOpened,    // that question is up: the player is never hurried
    QuestionAnswered,  // and answered: the page's bound starts afresh
    BrowserExited,     // the browser's processes have ended
    TimerRanOut,       // the engine's timer (Engine::StartTimer)
};

// The quit sequence's bounds: a hung page or browser never keeps the app
// open longer than their sum.
constexpr int PageUnloadTimeoutMs = 2000;
constexpr int BrowserExitTimeoutMs = 5000;
// How long the user's session end is held at most: both bounds, while a
// page's question that nobody answers stops neither.
constexpr int SessionEndTimeoutMs = PageUnloadTimeoutMs + BrowserExitTimeoutMs + 500;

// A browser process that failed, as each engine maps its own.
enum class ProcessFailure {
    RendererGone,          // the page's render process crashed or was ended
    RendererUnresponsive,  // the page stopped responding
    BrowserGone,           // the browser process exited
    Other,                 // any other process: the engine recovers by itself
};

// Milliseconds of a steady clock, for the recovery bounds.
using SteadyClock = std::int64_t (*)();

struct SessionSettings {
    std::wstring origin;            // the engine's app origin, with its final slash
    std::wstring startPage;         // relative to the origin, query included
    std::wstring caption;           // of every box: the manifest's title
    std::wstring engineName;        // as the player knows it: "WebView2 browser control"
    DiagnosticsLog* log = nullptr;  // may be null
    SteadyClock clock = nullptr;
    std::wstring dataFolder;                    // holds window.json
    bool rememberWindow = false;                // the window's place is saved there on quitting
    bool fullscreenKeys = true;                 // F11 and Alt+Enter switch fullscreen
    bool startFullscreen = false;               // the first frame shown is fullscreen
    PageLogMode pageLog = PageLogMode::Errors;  // the page's own lines in the log
    SaveStore* saves = nullptr;                 // answers the page's "saves." requests; may be null
    // Answers the page's "steam." requests, pumped while the app runs and
    // shut down once the page has unloaded; may be null.
    SteamService* steam = nullptr;
};

// Answers the page's requests of one service: the answer, which the session
// posts at once, or nothing when the service posts it later itself
// (Session::PostToPage).
using PageRequestHandler = std::function<std::optional<PageAnswer>(const PageRequest&)>;

// The manifest's window icon did not load and the standard one is used; why
// is the platform's reason when it gives one.
void LogIconNotLoaded(DiagnosticsLog& log, const std::wstring& icon, const std::string& why);

class Session {
public:
    Session(SessionSettings settings, Engine& engine);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The window exists, hidden, in the place it first shows in: a
    // fullscreen start takes the screen now, before the page's first layout.
    void OnWindowCreated();
    // The engine can load pages (at first, and after a restart): the start
    // page is loaded. A refusal ends the app as a failed start.
    void OnEngineReady();
    // The box naming the engine and detail, then the loop ends with exit
    // code 1; only the first failure counts. operation is for the log.
    void FailEngineStart(const std::string& operation, const std::string& detail);
    // The engine can't report the events that show the window: it is shown
    // at once, so there is always a window to close.
    void OnShowEventsUnavailable();

    // withFrames: the engine does not tell the view's own navigations from
    // its frames', so frames' empty documents (about:blank, about:srcdoc)
    // are let through.
    bool OnNavigationStarting(std::wstring_view uri, bool withFrames = false);
    // Web and mail links outside the app go to the user's programs; nothing
    // ever opens inside the host.
    void OnNewWindowRequested(std::wstring_view uri);
    // requester is a page's address. Not granting leaves the decision to the
    // engine where it has one, and refuses where it has none.
    bool OnPermissionRequested(std::wstring_view requester) const;
    // topPage: the top-level page that posted text, as the engine knows it.
    // Only the app's own page is heard, also while it unloads: a request
    // (host/page_request.h) goes to the service its type's prefix names, and
    // one of no service is refused.
    void OnPageMessage(std::wstring_view topPage, const std::wstring& text);
    // The page's requests whose type starts with prefix ("saves.") go to handle.
    void AddPageService(std::string prefix, PageRequestHandler handle);
    // A reply or an event for the page, until the app ends.
    void PostToPage(const std::string& json);
    // Engine::StartPump's beat: Steam's callbacks are handed out.
    void OnPump();
    void OnFullscreenElementChanged(bool containsFullscreenElement);
    // The page asked to close its window: the quit sequence.
    void OnCloseRequested();
    // Starts the quit sequence: the page unloads, the window's place is
    // saved, the browser writes its profile and ends, then the loop ends.
    // Each step has its bound. Asked again while it runs, it goes on as it is.
    void OnQuitRequested(QuitCause cause);
    // What happened in the quit sequence; nothing when it does not run.
    void OnQuitEvent(QuitEvent event);
    // F11 or Alt+Enter: switches fullscreen, leaving element fullscreen too.
    // False when the manifest turned the keys off (the page gets them then).
    bool OnFullscreenKey();
    // The caption follows, an empty title included. An engine that can't
    // tell an empty title from none reports neither.
    void OnTitleChanged(const std::wstring& title);
    // A document of the top-level page has loaded its content.
    void OnDocumentLoaded();
    // failure: the engine's words when the navigation failed ("web error status 6").
    void OnNavigationCompleted(const std::optional<std::string>& failure = std::nullopt);
    // what says it in the engine's words, for the log. Before the first
    // document a renderer gone is a failed start. Later, in any minute a
    // crashed page is reloaded three times and a browser that exited is
    // started again once, past that the app stops; a hanging page asks the
    // player, at most once a minute.
    void OnProcessFailed(ProcessFailure kind, const std::string& what);

    void SetFullscreen(bool fullscreen);
    bool IsFullscreen() const { return fullscreen_; }
    // The app is ending after a failure or quitting; engine events change
    // nothing now.
    bool Ending() const { return ending_; }
    // The quit sequence runs: the page unloads or the browser closes.
    bool Quitting() const { return quitStep_ != QuitStep::None; }
    int ExitCode() const { return exitCode_; }

private:
    void Log(const std::string& text) const;
    void Show();
    // The box the player dismisses, then the loop ends with exit code 1.
    void Stop(const std::string& line, const std::wstring& text);
    void Reload();
    void AskToReload();
    std::string QuitElapsed() const;
    // The page has ended, or its bound ran out: on to the browser.
    void LeavePage(const std::string& line);
    void EndQuit(const std::string& line);

    const SessionSettings settings_;
    Engine& engine_;
    PageLog pageLog_;
    bool fullscreen_ = false;
    bool shown_ = false;
    bool documentLoaded_ = false;
    bool ending_ = false;
    int exitCode_ = 0;
    enum class QuitStep { None, Unloading, ClosingBrowser } quitStep_ = QuitStep::None;
    std::int64_t quitStartMs_ = 0;
    std::deque<std::int64_t> reloads_;   // of the last minute
    std::deque<std::int64_t> restarts_;  // of the last minute
    bool asking_ = false;                // whether to reload a hanging page
    std::optional<std::int64_t> answeredAt_;
    std::vector<std::pair<std::string, PageRequestHandler>> services_;
};
