// The session's rules against a stand-in engine that records every call:
// what each engine event leads to, the texts the player sees and the lines
// the log gets. Each engine's own tests only check that its events reach
// the session and its calls reach the engine.
#include "host/session.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <string>
#include <vector>

#include "host/save_files.h"
#include "host/steam.h"
#include "platform/diagnostics_log.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tests/server/content_folder.h"
#include "tests/support/log_lines.h"

namespace {

const wchar_t Origin[] = L"app://game/";
const std::wstring AppPage = std::wstring(Origin) + L"index.html";

std::int64_t nowMs = 0;
std::int64_t TestClock() {
    return nowMs;
}

SessionSettings SettingsOf(const wchar_t* startPage, const wchar_t* caption,
                           const wchar_t* engineName, DiagnosticsLog* log) {
    SessionSettings settings;
    settings.origin = Origin;
    settings.startPage = startPage;
    settings.caption = caption;
    settings.engineName = engineName;
    settings.log = log;
    settings.clock = &TestClock;
    return settings;
}

class RecordingEngine final : public Engine {
public:
    std::vector<std::string> calls;
    std::optional<std::string> navigateRefusal;
    bool reloadWorks = true;
    bool answerYes = false;
    bool unloadWorks = true;
    std::function<void()> whileAsking;  // runs inside the question's own loop

    std::optional<std::string> Navigate(const std::wstring& uri) override {
        calls.push_back("Navigate " + WideToUtf8(uri));
        return navigateRefusal;
    }
    bool Reload() override {
        calls.push_back("Reload");
        return reloadWorks;
    }
    void RestartBrowser() override { calls.push_back("RestartBrowser"); }
    void SetFullscreen(bool on) override { calls.push_back(on ? "Fullscreen" : "Windowed"); }
    void SetCaption(const std::wstring& caption) override {
        calls.push_back("Caption " + WideToUtf8(caption));
    }
    void ShowWindow() override { calls.push_back("Show"); }
    void ShowError(const std::wstring& text, const std::wstring& caption) override {
        calls.push_back("Error [" + WideToUtf8(caption) + "] " + WideToUtf8(text));
    }
    bool AskYesNo(const std::wstring& text, const std::wstring& caption) override {
        calls.push_back("Ask [" + WideToUtf8(caption) + "] " + WideToUtf8(text));
        if (whileAsking) whileAsking();
        return answerYes;
    }
    void OpenOutside(const std::wstring& uri) override {
        calls.push_back("Open " + WideToUtf8(uri));
    }
    void Quit() override { calls.push_back("Quit"); }
    bool UnloadPage() override {
        calls.push_back("UnloadPage");
        return unloadWorks;
    }
    void CloseBrowser() override { calls.push_back("CloseBrowser"); }
    void StartTimer(int ms) override { calls.push_back("Timer " + std::to_string(ms)); }
    void StopTimer() override { calls.push_back("StopTimer"); }
    void ExitElementFullscreen() override { calls.push_back("ExitElementFullscreen"); }
    std::optional<WindowRecord> CurrentWindowRecord() override {
        calls.push_back("CurrentWindowRecord");
        return window;
    }
    void PostToPage(const std::string& json) override { calls.push_back("Post " + json); }
    void StartPump(int ms) override { calls.push_back("Pump " + std::to_string(ms)); }
    std::optional<WindowRecord> window;
};

// The recovery's rules, step by step: each failure's first engine call says
// what was done. The steps up to an answer run inside the question's loop.
enum class A { Ignore, Reload, AskToReload, RestartBrowser, GiveUp };
constexpr auto Browser = ProcessFailure::BrowserGone;
constexpr auto Render = ProcessFailure::RendererGone;
constexpr auto Hang = ProcessFailure::RendererUnresponsive;
constexpr auto Other = ProcessFailure::Other;
constexpr auto Answer = static_cast<ProcessFailure>(-1);  // not a kind: the player answers "No"

struct Step {
    ProcessFailure kind;
    std::int64_t atMs;
    A expected;  // ignored for an answer
};

A ActionOf(const std::vector<std::string>& calls, size_t from) {
    if (from == calls.size()) return A::Ignore;
    const std::string& call = calls[from];
    if (call == "Reload") return A::Reload;
    if (call == "RestartBrowser") return A::RestartBrowser;
    if (call.rfind("Ask ", 0) == 0) return A::AskToReload;
    return call.rfind("Error ", 0) == 0 ? A::GiveUp : A::Ignore;
}

void Replay(const char* name, const std::vector<Step>& steps) {
    SCOPED_TRACE(name);
    RecordingEngine engine;
    Session session(SettingsOf(L"", L"T", L"E", nullptr), engine);
    session.OnDocumentLoaded();
    size_t next = 0;
    engine.whileAsking = [&] {
        while (next < steps.size()) {
            const Step& step = steps[next++];
            nowMs = step.atMs;
            if (step.kind == Answer) return;
            const size_t from = engine.calls.size();
            session.OnProcessFailed(step.kind, "what failed");
            EXPECT_EQ(ActionOf(engine.calls, from), step.expected)
                << "step " << next - 1 << ": kind " << static_cast<int>(step.kind) << " at "
                << step.atMs << " ms";
        }
    };
    engine.whileAsking();
}

TEST(ProcessRecovery, ReloadsThreeTimesInAnySixtySecondsThenGivesUp) {
    Replay("a fourth crash within the minute", {{Render, 0, A::Reload},
                                                {Render, 1000, A::Reload},
                                                {Render, 2000, A::Reload},
                                                {Render, 59999, A::GiveUp},
                                                {Render, 200000, A::Ignore},
                                                {Browser, 200000, A::Ignore}});
    // The window slides: a reload leaves it exactly sixty seconds later.
    Replay("spread out", {{Render, 0, A::Reload},
                          {Render, 30000, A::Reload},
                          {Render, 59000, A::Reload},
                          {Render, 60000, A::Reload},
                          {Render, 89999, A::GiveUp}});
    Replay("far apart", {{Render, 0, A::Reload},
                         {Render, 60000, A::Reload},
                         {Render, 120000, A::Reload},
                         {Render, 180000, A::Reload},
                         {Render, 240000, A::Reload}});
}

TEST(ProcessRecovery, RestartsTheBrowserOnceInAnySixtySeconds) {
    Replay("twice within the minute",
           {{Browser, 5000, A::RestartBrowser}, {Browser, 64999, A::GiveUp}});
    Replay("a minute apart", {{Browser, 5000, A::RestartBrowser},
                              {Browser, 65000, A::RestartBrowser},
                              {Browser, 125000, A::RestartBrowser}});
    // Reloads and restarts are counted apart.
    Replay("mixed", {{Render, 0, A::Reload},
                     {Render, 1, A::Reload},
                     {Render, 2, A::Reload},
                     {Browser, 3, A::RestartBrowser},
                     {Render, 4, A::GiveUp}});
}

TEST(ProcessRecovery, AsksAboutAHangOneQuestionAtATimeAndNotAgainWithinAMinute) {
    Replay("repeated while the question is open, then within a minute of the answer",
           {{Hang, 0, A::AskToReload},
            {Hang, 5000, A::Ignore},
            {Hang, 90000, A::Ignore},
            {Answer, 100000, A::Ignore},
            {Hang, 100001, A::Ignore},
            {Hang, 159999, A::Ignore},
            {Hang, 160000, A::AskToReload}});
    // A hang never counts against the reloads, nor ends the app.
    Replay("hangs and crashes", {{Hang, 0, A::AskToReload},
                                 {Answer, 10, A::Ignore},
                                 {Render, 20, A::Reload},
                                 {Render, 30, A::Reload},
                                 {Render, 40, A::Reload},
                                 {Hang, 70000, A::AskToReload}});
}

TEST(ProcessRecovery, OtherProcessesAreLeftToTheEngine) {
    Replay("other processes", {{Other, 0, A::Ignore},
                               {Other, 1, A::Ignore},
                               {Other, 2, A::Ignore},
                               {Other, 3, A::Ignore},
                               {Render, 4, A::Reload}});
}

class SessionTest : public ::testing::Test {
protected:
    SessionTest() {
        log_.Open(folder_.HostPath(L"../data"));
        nowMs = 0;
    }

    std::vector<std::string> LogLines() const { return LogLinesOf(log_); }
    static std::vector<std::string> LogLinesOf(const DiagnosticsLog& log) {
        return LogEventsOf(ReadWholeFile(log.path()));
    }
    std::vector<std::string> TakeCalls() { return std::exchange(engine.calls, {}); }

    ContentFolder folder_;
    DiagnosticsLog log_;
    RecordingEngine engine;
    Session session{SettingsOf(L"index.html?from=manifest", L"My Game", L"Test engine", &log_),
                    engine};
};

using Calls = std::vector<std::string>;

TEST_F(SessionTest, NavigationsStayOnTheAppOriginAndFramesMayHoldEmptyDocuments) {
    const struct {
        const wchar_t* uri;
        bool allowed, allowedWithFrames;
    } cases[] = {
        {L"app://game/index.html", true, true},
        {L"app://game/level/2.html?x#y", true, true},
        {L"app://game/", true, true},
        {L"app://game", false, false},
        {L"APP://GAME/index.html", false, false},
        {L"https://example.com/", false, false},
        {L"about:blank", false, true},
        {L"about:srcdoc", false, true},
        {L"data:text/html,hi", false, false},
        {L"", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(session.OnNavigationStarting(c.uri), c.allowed) << WideToUtf8(c.uri);
        EXPECT_EQ(session.OnNavigationStarting(c.uri, true), c.allowedWithFrames)
            << WideToUtf8(c.uri);
    }
    EXPECT_EQ(TakeCalls(), Calls{});
}

TEST_F(SessionTest, OnlyWebAndMailLinksOutsideTheAppLeaveAndPermissionsGoToItsPages) {
    for (const wchar_t* uri : {L"https://example.com/a?b", L"HTTP://example.com/", L"mailto:a@b.c"})
        session.OnNewWindowRequested(uri);
    for (const wchar_t* uri : {L"app://game/two.html", L"file:///etc/passwd", L"javascript:x()",
                               L"ms-settings:", L"https://example.com/\"x", L""})
        session.OnNewWindowRequested(uri);
    EXPECT_EQ(TakeCalls(), (Calls{"Open https://example.com/a?b", "Open HTTP://example.com/",
                                  "Open mailto:a@b.c"}));

    EXPECT_TRUE(session.OnPermissionRequested(AppPage));
    EXPECT_TRUE(session.OnPermissionRequested(Origin));
    for (const wchar_t* requester : {L"https://example.com/", L"app://game", L"APP://game/", L""})
        EXPECT_FALSE(session.OnPermissionRequested(requester)) << WideToUtf8(requester);
}

TEST_F(SessionTest, PageMessagesAreHeardFromTheAppsTopPageAndShareTheModeWithElements) {
    const std::wstring enter = L"{\"type\":\"set-fullscreen\",\"fullscreen\":true}";
    const std::wstring leave = L"{\"type\":\"set-fullscreen\",\"fullscreen\":false}";
    session.OnPageMessage(L"https://example.com/", enter);
    session.OnPageMessage(L"app://game", enter);
    session.OnPageMessage(AppPage, L"{\"type\":\"set-fullscreen\"");
    EXPECT_EQ(TakeCalls(), Calls{});

    session.OnPageMessage(AppPage, enter);
    session.OnPageMessage(AppPage, enter);  // the mode it has: nothing to do
    EXPECT_TRUE(session.IsFullscreen());
    session.OnFullscreenElementChanged(true);
    session.OnFullscreenElementChanged(false);
    session.OnFullscreenElementChanged(true);
    session.OnPageMessage(AppPage, leave);
    EXPECT_EQ(TakeCalls(), (Calls{"Fullscreen", "Windowed", "Fullscreen", "Windowed"}));

    session.OnPageMessage(L"https://example.com/", L"{\"type\":\"close\"}");
    EXPECT_EQ(TakeCalls(), Calls{});
    session.OnPageMessage(AppPage, L"{\"type\":\"close\"}");
    session.OnCloseRequested();  // once is enough
    EXPECT_EQ(TakeCalls(), (Calls{"Timer 2000", "UnloadPage"}));
    EXPECT_EQ(LogLines(), std::vector<std::string>{"quitting: the page closed the window"});
}

// Requests go to the service their type names, answered now (the store's
// write is on the disk before its reply) or later by the service itself;
// one of no service is refused, and another origin is not heard.
TEST_F(SessionTest, PageRequestsReachTheirServiceAndTheRepliesThePage) {
    SaveStore saves(folder_.HostPath(L"../saves"), false, &log_);
    SessionSettings settings = SettingsOf(L"", L"T", L"E", &log_);
    settings.saves = &saves;
    Session withSaves(settings, engine);
    std::vector<std::string> later;
    withSaves.AddPageService("later.", [&](const PageRequest& request) {
        later.push_back(request.type);
        return std::nullopt;
    });
    const auto post = [&](std::wstring_view page, const char* text) {
        withSaves.OnPageMessage(page, Utf8ToWide(text));
    };
    post(AppPage, R"({"type":"saves.write","id":"s1","name":"Slot","text":"x"})");
    EXPECT_EQ(ReadWholeFile(folder_.HostPath(L"../saves/slot")), "x");
    post(L"https://example.com/", R"({"type":"saves.remove","id":2,"name":"slot"})");
    post(AppPage, R"({"type":"later.call","id":3})");
    post(AppPage, R"({"type":"savesx.list","id":4})");
    withSaves.PostToPage("{}");
    // While the page unloads, what it saves in pagehide is still written.
    withSaves.OnQuitRequested(QuitCause::Window);
    post(AppPage, R"({"type":"saves.write","id":5,"name":"quit","text":"y"})");
    EXPECT_EQ(ReadWholeFile(folder_.HostPath(L"../saves/quit")), "y");
    EXPECT_EQ(TakeCalls(),
              (Calls{R"(Post {"id":"s1","ok":true,"type":"lanternshell-reply","value":null})",
                     R"(Post {"error":"there is no request \"savesx.list\"","id":4,"ok":false,)"
                     R"("type":"lanternshell-reply"})",
                     "Post {}", "Timer 2000", "UnloadPage",
                     R"(Post {"id":5,"ok":true,"type":"lanternshell-reply","value":null})"}));
    EXPECT_EQ(later, std::vector<std::string>{"later.call"});
    EXPECT_TRUE(QueryFileStatus(folder_.HostPath(L"../saves/slot")).exists);
}

// Steam over its double: pumped from the window's creation, answering
// through the page, and shut down after the page's last word and before the
// browser closes.
TEST_F(SessionTest, SteamIsPumpedAnswersThePageAndEndsBetweenThePageAndTheBrowser) {
    setenv("LS_STEAM_DOUBLE_CALLS", folder_.NativePath(L"../steam-calls").c_str(), 1);
    setenv("LS_STEAM_DOUBLE_PLAY", "", 1);
    SteamService steam(&log_, nullptr);
    ASSERT_EQ(steam.Start(Utf8ToWide(LS_STEAM_DOUBLES "sdk165/"), 480, false), SteamStart::Running);
    SessionSettings settings = SettingsOf(L"", L"T", L"E", &log_);
    settings.steam = &steam;
    {
        Session withSteam(settings, engine);
        withSteam.OnWindowCreated();
        withSteam.OnPageMessage(AppPage, LR"({"type":"steam.language","id":1})");
        withSteam.OnQuitRequested(QuitCause::Window);
        withSteam.OnPageMessage(AppPage, LR"({"type":"steam.stats.store","id":2})");
        EXPECT_TRUE(steam.available());
        withSteam.OnQuitEvent(QuitEvent::PageUnloaded);
        EXPECT_FALSE(steam.available());
        EXPECT_EQ(TakeCalls(),
                  (Calls{"Pump 33",
                         R"(Post {"id":1,"ok":true,"type":"lanternshell-reply","value":"french"})",
                         "Timer 2000", "UnloadPage",
                         R"(Post {"id":2,"ok":true,"type":"lanternshell-reply","value":null})",
                         "Timer 5000", "CloseBrowser"}));
    }
    const std::string recorded = ReadWholeFile(folder_.HostPath(L"../steam-calls"));
    EXPECT_LT(recorded.find("StoreStats"), recorded.find("SteamAPI_Shutdown")) << recorded;
}

// What the engine reports in the quit sequence, each at its time.
struct QuitStep {
    std::int64_t atMs;
    QuitEvent event;
};

TEST_F(SessionTest, EveryQuitUnloadsThePageSavesTheWindowAndLetsTheBrowserEndWithinBounds) {
    const WindowRecord placed{40, 30, 800, 600, true, false};
    const std::string quitting = "quitting: the player closed the window";
    const std::string pageHung = "the page did not unload within 2000 ms: the app quits without it";
    const std::string browserHung =
        "the browser did not exit within 5000 ms: its profile may not be written";
    const Calls unload = {"Timer 2000", "UnloadPage"};
    const Calls close = {"Timer 5000", "CloseBrowser", "StopTimer", "Quit"};
    const QuitEvent unloaded = QuitEvent::PageUnloaded, stayed = QuitEvent::PlayerStayed,
                    asked = QuitEvent::QuestionOpened, answered = QuitEvent::QuestionAnswered,
                    exited = QuitEvent::BrowserExited, timer = QuitEvent::TimerRanOut;
    const auto then = [](Calls first, const Calls& more) {
        first.insert(first.end(), more.begin(), more.end());
        return first;
    };
    const struct {
        const char* name;
        struct {
            QuitCause cause;
            bool remember, unloadWorks;
        } start;
        std::vector<QuitStep> steps;  // from the quit request at 0 ms
        Calls calls;
        std::vector<std::string> log;
    } cases[] = {
        {"unloaded, exited",
         {QuitCause::Window, true, true},
         {{30, unloaded}, {80, exited}, {90, timer}},
         then(then(unload, {"CurrentWindowRecord"}), close),
         {quitting, "the page unloaded in 30 ms", "the browser exited in 80 ms"}},
        // Both bounds: late answers change nothing.
        {"a hung page and a browser that never exits",
         {QuitCause::SessionEnd, false, true},
         {{2000, timer}, {2500, unloaded}, {7000, timer}, {7100, exited}},
         then(unload, close),
         {"quitting: the user's session ends", pageHung, browserHung}},
        {"the player stays",
         {QuitCause::Signal, true, true},
         {{30, stayed}, {2000, timer}, {2100, unloaded}},
         then(unload, {"StopTimer"}),
         {"quitting: the process was asked to end",
          "the player chose to stay: the app keeps running (after 30 ms)"}},
        // The player is never hurried: the bound waits while the page asks.
        {"a question that outlasts the bound",
         {QuitCause::Window, false, true},
         {{10, asked}, {3000, answered}, {3010, unloaded}, {3050, exited}},
         then(then(unload, {"StopTimer", "Timer 2000"}), close),
         {quitting, "the page unloaded in 3010 ms", "the browser exited in 3050 ms"}},
        // Answered, the page gets its whole bound afresh.
        {"a question answered, then a page that hangs",
         {QuitCause::Window, false, true},
         {{500, asked}, {1000, answered}, {3000, timer}, {3100, exited}},
         then(then(unload, {"StopTimer", "Timer 2000"}), close),
         {quitting, pageHung, "the browser exited in 3100 ms"}},
        {"a page that can't be left",
         {QuitCause::Window, false, false},
         {{40, exited}},
         then(unload, close),
         {quitting, pageHung, "the browser exited in 40 ms"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ContentFolder folder;
        DiagnosticsLog log;
        log.Open(folder.HostPath(L"../data"));
        RecordingEngine engine;
        engine.window = placed;
        engine.unloadWorks = c.start.unloadWorks;
        SessionSettings settings = SettingsOf(L"", L"My Game", L"E", &log);
        settings.dataFolder = folder.HostPath(L"../data");
        settings.rememberWindow = c.start.remember;
        Session session(settings, engine);
        session.OnDocumentLoaded();
        engine.calls.clear();
        nowMs = 0;
        session.OnQuitRequested(c.start.cause);
        session.OnQuitRequested(QuitCause::Window);  // goes on as it is
        EXPECT_EQ(session.OnNavigationStarting(L"about:blank"), c.start.unloadWorks);
        // The blank page's load shows nothing, and a crash now reloads nothing.
        session.OnDocumentLoaded();
        session.OnNavigationCompleted();
        session.OnProcessFailed(ProcessFailure::RendererGone, "crashed");
        for (const QuitStep& step : c.steps) {
            nowMs = step.atMs;
            session.OnQuitEvent(step.event);
            // Quitting, the browser ends on purpose: no restart.
            if (session.Quitting()) session.OnProcessFailed(ProcessFailure::BrowserGone, "exited");
        }
        EXPECT_FALSE(session.OnNavigationStarting(L"about:blank"));
        EXPECT_EQ(engine.calls, c.calls);
        EXPECT_EQ(session.ExitCode(), 0);
        const bool quit = c.calls.back() == "Quit";
        EXPECT_EQ(session.Ending(), quit);
        std::string reason;
        const auto saved = LoadWindowRecord(settings.dataFolder, reason);
        EXPECT_EQ(saved.has_value(), c.start.remember && quit);
        if (saved) {
            EXPECT_EQ(FormatWindowRecord(*saved), FormatWindowRecord(placed));
        }
        EXPECT_EQ(LogLinesOf(log), c.log);
        // A saved place not believed is said once, with its reason.
        if (!c.start.remember) continue;
        folder.Write(L"../data/window.json", "{");
        EXPECT_FALSE(RememberedWindow(true, settings.dataFolder, &log));
        EXPECT_EQ(LogLinesOf(log).back(),
                  "window.json is ignored: not valid JSON (cut short or corrupt): the manifest's "
                  "size is used");
    }
}

TEST_F(SessionTest, FullscreenKeysSwitchBothWaysLeavingElementFullscreenAndCanBeOff) {
    EXPECT_TRUE(session.OnFullscreenKey());
    session.OnFullscreenElementChanged(true);
    EXPECT_TRUE(session.OnFullscreenKey());
    EXPECT_FALSE(session.IsFullscreen());
    EXPECT_EQ(TakeCalls(), (Calls{"Fullscreen", "Windowed", "ExitElementFullscreen"}));

    SessionSettings settings = SettingsOf(L"", L"T", L"E", &log_);
    settings.fullscreenKeys = false;
    settings.startFullscreen = true;
    Session keysOff(settings, engine);
    EXPECT_FALSE(keysOff.OnFullscreenKey());
    keysOff.OnWindowCreated();
    keysOff.OnEngineReady();
    keysOff.OnDocumentLoaded();
    keysOff.OnDocumentLoaded();
    EXPECT_EQ(TakeCalls(), (Calls{"Fullscreen", "Navigate app://game/", "Show", "Show"}));
}

TEST_F(SessionTest, TheWindowShowsOnEachDocumentOrOnceANavigationEndsWithoutOne) {
    session.OnEngineReady();
    EXPECT_EQ(TakeCalls(), Calls{"Navigate app://game/index.html?from=manifest"});
    session.OnNavigationCompleted(std::string("web error status 6"));
    session.OnNavigationCompleted();
    session.OnDocumentLoaded();
    session.OnDocumentLoaded();
    session.OnTitleChanged(L"");
    session.OnTitleChanged(L"Score 3");
    EXPECT_EQ(TakeCalls(), (Calls{"Show", "Show", "Show", "Caption ", "Caption Score 3"}));

    Session early(SettingsOf(L"", L"T", L"E", &log_), engine);
    early.OnShowEventsUnavailable();
    early.OnNavigationCompleted();
    EXPECT_EQ(TakeCalls(), Calls{"Show"});
    EXPECT_EQ(LogLines(), (std::vector<std::string>{
                              "navigation failed (web error status 6)",
                              "the window is shown before the page has loaded: an event that "
                              "shows it can't be heard"}));
}

TEST_F(SessionTest, AFailedStartIsToldOnceAndEndsWithOne) {
    engine.navigateRefusal = "error 0x80070005";
    session.OnEngineReady();
    session.FailEngineStart("controller creation", "error 0x80004005");
    session.OnProcessFailed(ProcessFailure::RendererGone, "crashed");
    session.OnPageMessage(AppPage, L"{\"type\":\"set-fullscreen\",\"fullscreen\":true}");
    EXPECT_EQ(
        TakeCalls(),
        (Calls{"Navigate app://game/index.html?from=manifest",
               "Error [My Game] Failed to start the Test engine (error 0x80070005).", "Quit"}));
    EXPECT_TRUE(session.Ending());
    EXPECT_EQ(session.ExitCode(), 1);
    EXPECT_EQ(LogLines(), std::vector<std::string>{"failed: Navigate (error 0x80070005): the Test "
                                                   "engine could not be started"});

    // Before the first document, a renderer gone is the engine failing to start.
    RecordingEngine first;
    Session early(SettingsOf(L"", L"My Game", L"Test engine", &log_), first);
    early.OnProcessFailed(ProcessFailure::RendererGone, "the web process crashed");
    EXPECT_EQ(first.calls,
              (Calls{"Error [My Game] Failed to start the Test engine (the web process crashed).",
                     "Quit"}));
    EXPECT_EQ(LogLines().back(),
              "failed: loading the first page (the web process crashed): the Test engine could not "
              "be started");
}

TEST_F(SessionTest, CrashedPagesAreReloadedThreeTimesAMinuteThenTheAppStops) {
    const Calls stopped{
        "Error [My Game] The app stopped unexpectedly and could not be restarted. Run it again.",
        "Quit"};
    session.OnDocumentLoaded();
    TakeCalls();
    const std::string crashed = "render process exited";
    for (const std::int64_t at : {0, 1000, 59999, 60000}) {
        nowMs = at;
        session.OnProcessFailed(ProcessFailure::RendererGone, crashed);
    }
    EXPECT_EQ(TakeCalls(), Calls(4, "Reload"));
    nowMs = 60500;
    session.OnProcessFailed(ProcessFailure::RendererGone, "the web process crashed");
    session.OnProcessFailed(ProcessFailure::RendererGone, crashed);
    EXPECT_EQ(TakeCalls(), stopped);
    EXPECT_EQ(session.ExitCode(), 1);
    const auto log = LogLines();
    ASSERT_EQ(log.size(), 6u);
    EXPECT_EQ(log[0], "process failure: render process exited: reloading the page");
    EXPECT_EQ(log[4], "process failure: the web process crashed");
    EXPECT_EQ(log[5], "the app stops: too many failures in one minute");

    // A page the engine won't reload stops the app at once.
    RecordingEngine refusing;
    refusing.reloadWorks = false;
    Session other(SettingsOf(L"", L"My Game", L"E", &log_), refusing);
    other.OnDocumentLoaded();
    other.OnProcessFailed(ProcessFailure::RendererGone, crashed);
    EXPECT_EQ(refusing.calls, (Calls{"Show", "Reload", stopped[0], "Quit"}));
    EXPECT_EQ(LogLines().back(), "the app stops: the page could not be reloaded");
}

TEST_F(SessionTest, AHangingPageIsReloadedOnlyWhenThePlayerSaysSoAndAskedOnceAMinute) {
    const std::string question = "Ask [My Game] The app is not responding. Reload it?";
    // More reports while the question is open ask nothing more.
    const auto hang = [this] {
        session.OnProcessFailed(ProcessFailure::RendererUnresponsive,
                                "render process unresponsive");
    };
    engine.whileAsking = hang;
    hang();
    nowMs = 59000;
    hang();
    engine.answerYes = true;
    nowMs = 60000;
    hang();
    EXPECT_EQ(TakeCalls(), (Calls{question, question, "Reload"}));
    const auto log = LogLines();
    EXPECT_EQ(log, (std::vector<std::string>{
                       "process failure: render process unresponsive: asking the player whether "
                       "to reload",
                       "process failure: render process unresponsive: the player is asked at "
                       "most once a minute",
                       "the player chose to wait",
                       "process failure: render process unresponsive: the player is asked at "
                       "most once a minute",
                       "process failure: render process unresponsive: asking the player whether "
                       "to reload",
                       "process failure: render process unresponsive: the player is asked at "
                       "most once a minute",
                       "the player chose to reload the page"}));
}

TEST_F(SessionTest, ABrowserThatExitedIsStartedAgainOnceAMinuteAndOtherProcessesAreLeft) {
    const std::string exited = "browser process exited";
    session.OnProcessFailed(ProcessFailure::BrowserGone, exited);
    session.OnEngineReady();  // the new browser loads the start page
    session.OnProcessFailed(ProcessFailure::Other, "GPU process exited");
    session.OnProcessFailed(ProcessFailure::Other, "process kind 42 exited");
    nowMs = 59999;
    session.OnProcessFailed(ProcessFailure::BrowserGone, exited);
    session.OnProcessFailed(ProcessFailure::BrowserGone, exited);
    EXPECT_EQ(TakeCalls(),
              (Calls{"RestartBrowser", "Navigate app://game/index.html?from=manifest",
                     "Error [My Game] The app stopped unexpectedly and could not be restarted. "
                     "Run it again.",
                     "Quit"}));
    EXPECT_EQ(LogLines(),
              (std::vector<std::string>{
                  "process failure: browser process exited: starting the browser again",
                  "process failure: GPU process exited: left to the browser control",
                  "process failure: process kind 42 exited: left to the browser control",
                  "process failure: browser process exited",
                  "the app stops: too many failures in one minute"}));
}

}  // namespace
