// The real executable from end to end against the browser control's test
// double: setup, visibility, every kind of page event and the creation
// failures, judged from the double's transcript and from outside. The
// program runs once per way of reaching the control (LS_E2E_PATH): the
// loader library beside the executable, the built-in loader with a fixed
// runtime in "webview2", and the built-in loader with an installed runtime
// registered in the test prefix.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "host/page_scripts.h"
#include "platform/diagnostics_log.h"
#include "platform/text.h"
#include "tests/support/browser_scenario.h"
#include "tests/support/log_lines.h"

namespace {

// Past the environment's creation every path reaches the same control, so a
// case that starts later runs on the loader's path only.
#define SAME_ON_EVERY_PATH() \
    if (ThisPath != BrowserPath::Loader) GTEST_SKIP() << "the same on every path"

unsigned long StyleOf(const std::string& line, const char* field = "style") {
    return std::strtoul(FieldOf(line, field).c_str(), nullptr, 16);
}

std::string MonitorRect() {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &info);
    const RECT& r = info.rcMonitor;
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

// The view's first bounds are the window's size once shown: the page's first
// layout has it, and no resize follows.
void ExpectOneSize(const std::vector<std::string>& transcript) {
    const auto bounds = LinesStartingWith(transcript, "Controller.put_Bounds");
    ASSERT_FALSE(bounds.empty());
    for (const auto& line : bounds)
        EXPECT_EQ(FieldOf(line, "bounds"), FieldOf(bounds[0], "bounds"));
}

// --- Setup -----------------------------------------------------------------

std::vector<std::string> SetupLines(const std::vector<std::string>& transcript) {
    std::vector<std::string> lines;
    bool inside = false;
    for (const auto& line : transcript) {
        if (line.rfind("CreateCoreWebView2EnvironmentWithOptions", 0) == 0) inside = true;
        if (!inside) continue;
        // The navigation line goes on with the window's style and rectangle.
        const size_t observed = line.find(" window.visible=0");
        lines.push_back(line.rfind("WebView.Navigate", 0) == 0 && observed != std::string::npos
                            ? line.substr(0, observed + 17)
                            : line);
        if (line.rfind("Return ControllerCompleted", 0) == 0) break;
    }
    return lines;
}

struct SetupCase {
    const char* name;
    nlohmann::json manifest;
    bool fixed;
    const char* arguments;
    bool devTools;
    const char* navigation;  // after the origin
    bool contextMenu = true;
    bool browserKeys = true;
    PageLogMode pageLog = PageLogMode::Errors;
};

void ExpectSetup(const SetupCase& c, BrowserPath path) {
    SCOPED_TRACE(c.name);
    App app("", Manifest(c.manifest, c.fixed), path);
    MakeFolders(app.www(L"game"));
    WriteFileBytes(app.www(L"game\\start.html"), "<!doctype html>");
    const Outcome outcome = RunExecutable(app);
    ExpectCleanClose(outcome);
    EXPECT_TRUE(outcome.closedByTest);
    EXPECT_FALSE(outcome.sawVisible) << "shown before any document loaded";

    // The loader hears the folder verbatim; a runtime's client library hears
    // the kind of runtime instead.
    const std::string folder = path == BrowserPath::Loader && c.fixed ? "\"webview2\"" : "null";
    const std::string userData = TranscriptQuote(GetUserDataHome() + L"\\e2e-game");
    if (path != BrowserPath::Loader) {
        EXPECT_EQ(FirstWith(outcome.transcript, "CreateWebViewEnvironmentWithOptionsInternal"),
                  "CreateWebViewEnvironmentWithOptionsInternal checked=1 runtimeType=" +
                      std::string(path == BrowserPath::BuiltinFixed ? "1" : "0") +
                      " userDataFolder=" + userData + " handler=object");
    }
    const std::string bounds = "(0,0," + std::to_string(outcome.client.right) + "," +
                               std::to_string(outcome.client.bottom) + ")";
    const std::vector<std::string> expected = {
        "CreateCoreWebView2EnvironmentWithOptions folder=" + folder +
            " userDataFolder=" + userData + " options=object handler=object -> 0x00000000",
        "Options.get_AdditionalBrowserArguments -> 0x00000000 value=" +
            TranscriptQuote(std::wstring(c.arguments, c.arguments + strlen(c.arguments))),
        "Options.get_Language -> 0x00000000 value=\"\"",
        "Options.get_TargetCompatibleBrowserVersion -> 0x00000000 value=\"113.0.1774.30\"",
        "Options.get_AllowSingleSignOnUsingOSPrimaryAccount -> 0x00000000 value=0",
        "Invoke EnvironmentCompleted errorCode=0x00000000 environment=object",
        "Environment.CreateCoreWebView2Controller parent=window visible=0 handler=object -> "
        "0x00000000",
        "Return EnvironmentCompleted -> 0x00000000",
        "Invoke ControllerCompleted errorCode=0x00000000 controller=object",
        "Controller.get_CoreWebView2 -> 0x00000000 webview=object",
        "WebView.QueryInterface iid=ICoreWebView2_2 -> 0x00000000",
        "WebView.get_Settings -> 0x00000000 settings=object",
        "Settings.put_IsScriptEnabled value=1 -> 0x00000000",
        "Settings.put_AreHostObjectsAllowed value=0 -> 0x00000000",
        "Settings.put_AreDefaultScriptDialogsEnabled value=1 -> 0x00000000",
        "Settings.put_IsWebMessageEnabled value=1 -> 0x00000000",
        "Settings.put_IsZoomControlEnabled value=0 -> 0x00000000",
        std::string("Settings.put_AreDefaultContextMenusEnabled value=") +
            (c.contextMenu ? "1" : "0") + " -> 0x00000000",
        std::string("Settings.put_AreDevToolsEnabled value=") + (c.devTools ? "1" : "0") +
            " -> 0x00000000",
        "Settings.QueryInterface iid=ICoreWebView2Settings3 -> 0x00000000",
        std::string("Settings.put_AreBrowserAcceleratorKeysEnabled value=") +
            (c.browserKeys ? "1" : "0") + " -> 0x00000000",
        "Settings.QueryInterface iid=ICoreWebView2Settings5 -> 0x00000000",
        "Settings.put_IsPinchZoomEnabled value=0 -> 0x00000000",
        "Settings.QueryInterface iid=ICoreWebView2Settings6 -> 0x00000000",
        "Settings.put_IsSwipeNavigationEnabled value=0 -> 0x00000000",
        "Controller.put_Bounds bounds=" + bounds + " -> 0x00000000",
        "WebView.add_DocumentTitleChanged handler=object token=null -> 0x00000000",
        "WebView.AddWebResourceRequestedFilter uri=\"" + std::string(Origin) +
            "*\" context=0 -> 0x00000000",
        "WebView.add_WebResourceRequested handler=object token=null -> 0x00000000",
        "WebView.add_NavigationStarting handler=object token=null -> 0x00000000",
        "WebView.add_PermissionRequested handler=object token=null -> 0x00000000",
        "WebView.add_ContainsFullScreenElementChanged handler=object token=null -> 0x00000000",
        "WebView.add_WindowCloseRequested handler=object token=null -> 0x00000000",
        "WebView.add_NewWindowRequested handler=object token=null -> 0x00000000",
        "WebView.add_WebMessageReceived handler=object token=null -> 0x00000000",
        "WebView.add_DOMContentLoaded handler=object token=null -> 0x00000000",
        "WebView.add_NavigationCompleted handler=object token=null -> 0x00000000",
        "WebView.add_ProcessFailed handler=object token=null -> 0x00000000",
        "Controller.add_AcceleratorKeyPressed handler=object token=null -> 0x00000000",
        "WebView.AddScriptToExecuteOnDocumentCreated script=" +
            TranscriptQuote(CloseScript(L"https://lanternshell.localhost/")) +
            " handler=object -> 0x00000000",
        "WebView.AddScriptToExecuteOnDocumentCreated script=" +
            TranscriptQuote(
                PageServicesScript(L"https://lanternshell.localhost/", {SavesService()})) +
            " handler=object -> 0x00000000",
        "WebView.Navigate uri=\"" + std::string(Origin) + c.navigation +
            "\" -> 0x00000000 window.visible=0",
        "Return ControllerCompleted -> 0x00000000",
    };
    // Every step happens once, as expected; of their order only what the
    // control depends on is pinned: settings and registrations before the
    // navigation, the request filter before the request handler.
    const std::vector<std::string> setup = SetupLines(outcome.transcript);
    std::vector<std::string> sortedSetup = setup;
    std::vector<std::string> sortedExpected = expected;
    // Off, the page log adds no script.
    if (c.pageLog != PageLogMode::Off)
        sortedExpected.push_back(
            "WebView.AddScriptToExecuteOnDocumentCreated script=" +
            TranscriptQuote(PageLogScript(L"https://lanternshell.localhost/", c.pageLog)) +
            " handler=object -> 0x00000000");
    std::sort(sortedSetup.begin(), sortedSetup.end());
    std::sort(sortedExpected.begin(), sortedExpected.end());
    EXPECT_EQ(sortedSetup, sortedExpected);
    const size_t navigation = PositionOf(setup, "WebView.Navigate ");
    for (size_t i = 0; i < setup.size(); ++i) {
        const std::string& line = setup[i];
        if (line.rfind("Settings.put_", 0) == 0 || line.rfind("WebView.add_", 0) == 0 ||
            line.rfind("Controller.add_", 0) == 0 ||
            line.rfind("WebView.AddScriptToExecuteOnDocumentCreated ", 0) == 0 ||
            line.rfind("WebView.AddWebResourceRequestedFilter ", 0) == 0) {
            EXPECT_LT(i, navigation) << line;
        }
    }
    EXPECT_LT(PositionOf(setup, "WebView.AddWebResourceRequestedFilter "),
              PositionOf(setup, "WebView.add_WebResourceRequested "));
    EXPECT_GT(outcome.client.right, 0);
    // Nothing the host never needs: no slot answered "not implemented".
    for (const auto& line : outcome.transcript)
        EXPECT_EQ(line.find("-> 0x80004001"), std::string::npos) << line;
}

TEST(BrowserEndToEnd, SetupConfiguresRegistersAndNavigatesInOrder) {
    const bool fixed = ThisPath == BrowserPath::BuiltinFixed;
    const SetupCase cases[] = {
        {"defaults", nlohmann::json::object(), fixed, "--force_high_performance_gpu", true,
         "index.html"},
        {"manifest values",
         {{"main", "game/start.html?level=2#top"},
          {"chromium-args", "--disable-gpu --lang=fr"},
          {"settings",
           {{"enable-devtools", false},
            {"context-menu", false},
            {"browser-keys", false},
            {"autoplay", true},
            {"gpu", "default"},
            {"background", "run"},
            {"page-log", "all"}}}},
         fixed,
         // Ours after the manifest's own, so they win.
         "--disable-gpu --lang=fr --autoplay-policy=no-user-gesture-required "
         "--disable-background-timer-throttling --disable-renderer-backgrounding "
         "--disable-backgrounding-occluded-windows",
         false,
         "game/start.html?level=2#top",
         false,
         false,
         PageLogMode::All},
    };
    for (const auto& c : cases) ExpectSetup(c, ThisPath);
}

TEST(BrowserEndToEnd, FixedModeHandsTheLoaderTheRelativeFolder) {
    if (ThisPath != BrowserPath::Loader) GTEST_SKIP() << "the loader library's own case";
    ExpectSetup({"fixed, autoplay without other arguments",
                 {{"settings", {{"autoplay", true}, {"page-log", "off"}}}},
                 true,
                 "--autoplay-policy=no-user-gesture-required --force_high_performance_gpu",
                 true,
                 "index.html",
                 true,
                 true,
                 PageLogMode::Off},
                BrowserPath::Loader);
}

// The log's failure lines, in order.
std::vector<std::string> FailureLines() {
    std::vector<std::string> failures;
    for (const auto& line : LogEvents())
        if (line.rfind("failed: ", 0) == 0) failures.push_back(line);
    return failures;
}

// A setup call the control refuses is logged, and setup goes on without it;
// but a start page that can't be navigated to ends like a browser that can't
// start, and a refused registration of an event that shows the window shows
// it at once: no road leaves a hidden window in a running process.
TEST(BrowserEndToEnd, RefusedSetupCallsAreLoggedAndSetupGoesOn) {
    {
        SCOPED_TRACE("calls setup goes on without");
        // A runtime without the newest settings interfaces, too.
        App app(R"({"newestSettings":4,"refuse":{"add_NavigationStarting":"0x80070057",)"
                R"("AddWebResourceRequestedFilter":"0x80004005",)"
                R"("put_AreBrowserAcceleratorKeysEnabled":"0x80070057",)"
                R"("put_IsZoomControlEnabled":"0x8000FFFF","put_Bounds":"0x8007000E"}})");
        const Outcome outcome = RunExecutable(app);
        ExpectCleanClose(outcome);
        EXPECT_TRUE(outcome.closedByTest);
        EXPECT_EQ(FirstWith(outcome.transcript, "WebView.add_NavigationStarting"),
                  "WebView.add_NavigationStarting handler=object token=null -> 0x80070057");
        // The calls after the refused ones are still made.
        EXPECT_EQ(Count(outcome.transcript, "Settings.put_AreDevToolsEnabled value=1"), 1u);
        EXPECT_EQ(Count(outcome.transcript, "WebView.add_DOMContentLoaded"), 1u);
        EXPECT_EQ(Count(outcome.transcript, "WebView.Navigate uri=\"https:"), 1u);
        // Both events that show the window are heard: it waits for the page.
        EXPECT_EQ(Count(outcome.transcript, "Controller.put_IsVisible"), 0u);
        EXPECT_EQ(Count(outcome.transcript, "Settings.put_IsPinchZoomEnabled"), 0u);
        EXPECT_EQ(Count(outcome.transcript, "Settings.put_IsSwipeNavigationEnabled"), 0u);
        for (const char* lacking :
             {"the browser control lacks ICoreWebView2Settings5 (error 0x80004002): pinch zoom "
              "stays on",
              "the browser control lacks ICoreWebView2Settings6 (error 0x80004002): swipe "
              "navigation stays on"})
            EXPECT_EQ(CountContaining(LogEvents(), lacking), 1u) << lacking;
        EXPECT_EQ(FailureLines(), (std::vector<std::string>{
                                      "failed: put_IsZoomControlEnabled (error 0x8000FFFF)",
                                      "failed: put_AreBrowserAcceleratorKeysEnabled (error "
                                      "0x80070057)",
                                      "failed: put_Bounds (error 0x8007000E)",
                                      "failed: AddWebResourceRequestedFilter (error 0x80004005)",
                                      "failed: add_NavigationStarting (error 0x80070057)",
                                  }));
        EXPECT_EQ(LogEvents().back(), "exit code 0");
    }
    {
        SCOPED_TRACE("the navigation");
        App app(R"({"refuse":{"Navigate":"0x80070005"}})");
        // Nobody closes the window here: the app has to end by itself.
        const Outcome outcome = RunExecutable(app, "never", false);
        ExpectFailedRun(outcome,
                        L"Failed to start the WebView2 browser control (error 0x80070005).",
                        "failed: Navigate (error 0x80070005): the WebView2 browser control could "
                        "not be started");
        EXPECT_FALSE(outcome.sawVisible);
        EXPECT_EQ(Count(outcome.transcript, "Controller.put_IsVisible"), 0u);
    }
    for (const char* refused : {"add_DOMContentLoaded", "add_NavigationCompleted"}) {
        SCOPED_TRACE(refused);
        App app(std::string(R"({"refuse":{")") + refused + R"(":"0x80004005"}})");
        const Outcome outcome = RunExecutable(app);
        ExpectCleanClose(outcome);
        // Shown and focused right after the navigation, before any event.
        const std::vector<std::string> setup = SetupLines(outcome.transcript);
        const size_t navigation = PositionOf(setup, "WebView.Navigate ");
        const size_t shown = PositionOf(setup, "Controller.put_IsVisible value=1 ");
        ASSERT_LT(shown, setup.size());
        EXPECT_LT(navigation, shown);
        EXPECT_EQ(FieldOf(setup[shown], "window.visible"), "1");
        // Activation moves the focus too.
        EXPECT_GE(Count(setup, "Controller.MoveFocus reason=0 -> 0x00000000"), 1u);
        EXPECT_EQ(FailureLines(), std::vector<std::string>{"failed: " + std::string(refused) +
                                                           " (error 0x80004005)"});
        EXPECT_EQ(CountContaining(LogEvents(), "the window is shown before the page has loaded"),
                  1u);
    }
}

// What a handler decides and the control refuses to take is logged, and the
// app goes on.
TEST(BrowserEndToEnd, RefusedDecisionsOfTheHandlersAreLogged) {
    SAME_ON_EVERY_PATH();
    const nlohmann::json scenario = {
        {"refuse",
         {{"put_IsVisible", "0x80004005"},
          {"MoveFocus", "0x80070057"},
          {"put_Cancel", "0x8000FFFF"},
          {"put_Handled", "0x80070005"},
          {"put_State", "0x80004004"},
          {"put_Response", "0x8007000E"},
          {"put_Bounds", "0x80040001"}}},
        {"events",
         {{{"event", "DOMContentLoaded"}},
          {{"event", "NavigationStarting"}, {"uri", "https://example.com/"}},
          {{"event", "NewWindowRequested"}, {"uri", "about:blank"}},
          {{"event", "PermissionRequested"}, {"uri", Origin}, {"kind", 1}},
          {{"event", "WebResourceRequested"}, {"uri", std::string(Origin) + "index.html"}},
          // Resizes the window, so the view's bounds are set once more.
          {{"event", "ContainsFullScreenElementChanged"}, {"value", true}}}}};
    App app(scenario.dump());
    const Outcome outcome = RunToTheEnd(app);
    // The window shows even when the control won't.
    EXPECT_TRUE(outcome.sawVisible);
    const auto segments = EventSegments(outcome.transcript);
    ASSERT_EQ(segments.size(), 6u);
    EXPECT_EQ(FieldOf(segments[1].back(), "cancel"), "0") << "the refusal is the double's";
    const auto failures = FailureLines();
    for (const char* line : {
             "failed: put_IsVisible (error 0x80004005)",
             "failed: put_Cancel (error 0x8000FFFF)",
             "failed: put_Handled (error 0x80070005)",
             "failed: put_State (error 0x80004004)",
             "failed: put_Response (error 0x8007000E)",
         })
        EXPECT_EQ(std::count(failures.begin(), failures.end(), line), 1) << line;
    // On showing, and on each activation.
    EXPECT_GE(std::count(failures.begin(), failures.end(), "failed: MoveFocus (error 0x80070057)"),
              1);
    // Once at setup and at least once for the new size.
    EXPECT_GE(std::count(failures.begin(), failures.end(), "failed: put_Bounds (error 0x80040001)"),
              2);
    EXPECT_EQ(LogEvents().back(), "exit code 0");
}

// --- Visibility and the close request --------------------------------------

TEST(BrowserEndToEnd, WindowStaysHiddenUntilTheDocumentLoadsAndEachLoadFocusesThePage) {
    SAME_ON_EVERY_PATH();
    App app(Scenario({{{"event", "DOMContentLoaded"}}, {{"event", "DOMContentLoaded"}}}));
    const Outcome outcome = RunToTheEnd(app);
    EXPECT_TRUE(outcome.sawVisible);
    const auto segments = EventSegments(outcome.transcript);
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_EQ(FieldOf(FirstWith(outcome.transcript, "WebView.Navigate"), "window.visible"), "0");
    for (size_t i = 0; i < segments.size(); ++i) {
        SCOPED_TRACE(i);
        const auto& lines = segments[i];
        EXPECT_EQ(FieldOf(lines.front(), "window.visible"), i == 0 ? "0" : "1");
        EXPECT_EQ(FieldOf(lines.back(), "window.visible"), "1");
        // The control is shown and focused after the window, on every load.
        const std::string visible = FirstWith(lines, "Controller.put_IsVisible");
        EXPECT_EQ(FieldOf(visible, "value"), "1");
        EXPECT_EQ(FieldOf(visible, "window.visible"), "1");
        EXPECT_GE(LinesStartingWith(lines, "Controller.MoveFocus reason=0 -> 0x00000000").size(),
                  1u);
    }
}

TEST(BrowserEndToEnd, CloseRequestFromThePageEndsTheProcessWithZero) {
    SAME_ON_EVERY_PATH();
    App app(Scenario({{{"event", "DOMContentLoaded"}}, {{"event", "WindowCloseRequested"}}}));
    const Outcome outcome = RunExecutable(app, "", false);
    ExpectCleanClose(outcome);
    const auto segments = EventSegments(outcome.transcript);
    ASSERT_EQ(segments.size(), 2u);
    // The quit sequence starts: the window stays until the browser has exited.
    EXPECT_EQ(FieldOf(segments[1].back(), "window.visible"), "1");
    EXPECT_EQ(Count(outcome.transcript, "Controller.Close"), 1u);
}

// --- Resource requests -----------------------------------------------------

struct ResourceCase {
    const char* path;   // after the origin
    const char* range;  // null: no Range header
    const char* method;
    bool readAfterTeardown;
    int status;
    const char* reason;
    std::string headers;  // the exact header text
    bool body;            // false: no body at all
    std::string bodyBytes;
};

std::string Bytes(const std::string& all, size_t first, size_t count) {
    return all.substr(first, count);
}

TEST(BrowserEndToEnd, RouterAnswersReachTheControlExactly) {
    SAME_ON_EVERY_PATH();
    std::string clip;
    for (int i = 0; i < 1000; ++i) clip += static_cast<char>((i * 31 + 7) & 0xFF);
    const std::string page = "<!doctype html><title>e2e</title>";
    const std::string hero = "PNG-ish bytes 0123";
    const std::string html = "Content-Type: text/html; charset=utf-8";
    const std::string head = "Cache-Control: no-store\n";
    const std::string ranges = "\nAccept-Ranges: bytes";
    const std::string mp4 = head + "Content-Type: video/mp4" + ranges;
    const std::string notFound = "Cache-Control: no-store";
    const ResourceCase cases[] = {
        {"index.html", nullptr, "GET", false, 200, "OK",
         head + html + ranges + "\nContent-Length: " + std::to_string(page.size()), true, page},
        {"index.html", nullptr, "HEAD", false, 200, "OK",
         head + html + ranges + "\nContent-Length: " + std::to_string(page.size()), true, page},
        {"media/clip.mp4", "bytes=0-499", "GET", false, 206, "Partial Content",
         mp4 + "\nContent-Range: bytes 0-499/1000\nContent-Length: 500", true, Bytes(clip, 0, 500)},
        {"media/clip.mp4", "bytes=1000-", "GET", false, 416, "Range Not Satisfiable",
         mp4 + "\nContent-Range: bytes */1000", false, ""},
        {"media/clip.mp4", "bytes=500-999", "GET", true, 206, "Partial Content",
         mp4 + "\nContent-Range: bytes 500-999/1000\nContent-Length: 500", true,
         Bytes(clip, 500, 500)},
        {"img/Hero%20Walk.png", nullptr, "GET", false, 200, "OK",
         head + "Content-Type: image/png" + ranges +
             "\nContent-Length: " + std::to_string(hero.size()),
         true, hero},
        {"missing.js", nullptr, "GET", false, 404, "Not Found", notFound, true, "File not found"},
    };
    std::vector<nlohmann::json> events;
    for (const auto& c : cases) {
        nlohmann::json event = {{"event", "WebResourceRequested"},
                                {"uri", std::string(Origin) + c.path},
                                {"method", c.method},
                                {"delayMs", 0}};
        if (c.range) event["range"] = c.range;
        if (c.readAfterTeardown) event["readBody"] = "afterTeardown";
        events.push_back(event);
    }
    App app(Scenario(events));
    WriteFileBytes(app.www(L"index.html"), page);
    MakeFolders(app.www(L"media"));
    WriteFileBytes(app.www(L"media\\clip.mp4"), clip);
    MakeFolders(app.www(L"img"));
    WriteFileBytes(app.www(L"img\\Hero Walk.png"), hero);
    const Outcome outcome = RunToTheEnd(app);

    const auto segments = EventSegments(outcome.transcript);
    ASSERT_EQ(segments.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(std::string(c.path) + " " + (c.range ? c.range : "") + " " + c.method);
        const auto& lines = segments[i];
        const std::string created = FirstWith(lines, "Environment.CreateWebResourceResponse");
        EXPECT_EQ(FieldOf(created, "headers"),
                  TranscriptQuote(std::wstring(c.headers.begin(), c.headers.end())));
        EXPECT_EQ(FieldOf(created, "status"), std::to_string(c.status));
        EXPECT_EQ(FieldOf(created, "content"), c.body ? "object" : "null");
        const std::string& answer = lines.back();
        EXPECT_EQ(FieldOf(answer, "status"), std::to_string(c.status));
        EXPECT_EQ(FieldOf(answer, "reason"), "\"" + std::string(c.reason) + "\"");
        EXPECT_EQ(answer.find("\\r"), std::string::npos);
        if (!c.body) {
            EXPECT_EQ(FieldOf(answer, "body"), "none");
        } else if (c.readAfterTeardown) {
            EXPECT_EQ(FieldOf(answer, "body"), "deferred");
        } else {
            EXPECT_EQ(FieldOf(answer, "body.length"), std::to_string(c.bodyBytes.size()));
            EXPECT_EQ(FieldOf(answer, "body.fnv1a"), Fnv1a(c.bodyBytes));
        }
        // The Range header is asked for only where a file was found.
        const bool asked = !LinesStartingWith(lines, "RequestHeaders.GetHeader").empty();
        EXPECT_EQ(asked, c.range != nullptr);
    }
    // The range kept by the control is read after the host has torn down.
    const auto deferred = LinesStartingWith(outcome.transcript, "Deferred ");
    ASSERT_EQ(deferred.size(), 1u);
    EXPECT_EQ(outcome.transcript.back(), deferred[0]);
    EXPECT_EQ(FieldOf(deferred[0], "body.length"), "500");
    EXPECT_EQ(FieldOf(deferred[0], "body.fnv1a"), Fnv1a(Bytes(clip, 500, 500)));
}

// --- Navigation and permissions --------------------------------------------

TEST(BrowserEndToEnd, NavigationLeavesTheAppOriginOnlyByCancellation) {
    SAME_ON_EVERY_PATH();
    const struct {
        nlohmann::json uri;
        const char* cancel;
    } cases[] = {
        {std::string(Origin) + "next.html", "0"},
        {"https://lanternshell.localhost:8443/", "1"},
        {nullptr, "0"},  // no text at all: nothing decided, nothing breaks
    };
    std::vector<nlohmann::json> events;
    for (const auto& c : cases)
        events.push_back({{"event", "NavigationStarting"}, {"uri", c.uri}, {"delayMs", 0}});
    const auto segments = RunEvents(events);
    ASSERT_EQ(segments.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].uri.dump());
        EXPECT_EQ(FieldOf(segments[i].back(), "cancel"), cases[i].cancel);
    }
}

TEST(BrowserEndToEnd, PermissionsAreGrantedToTheAppOriginOnly) {
    SAME_ON_EVERY_PATH();
    const struct {
        nlohmann::json uri;
        int kind;
        const char* state;
        const char* puts;
    } cases[] = {
        {std::string(Origin) + "game/index.html", 3, "1", "1"},
        {"https://thirdparty.example/frame.html", 1, "0", "0"},
        {nullptr, 1, "0", "0"},
    };
    std::vector<nlohmann::json> events;
    for (const auto& c : cases)
        events.push_back(
            {{"event", "PermissionRequested"}, {"uri", c.uri}, {"kind", c.kind}, {"delayMs", 0}});
    const auto segments = RunEvents(events);
    ASSERT_EQ(segments.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].uri.dump());
        EXPECT_EQ(FieldOf(segments[i].back(), "state"), cases[i].state);
        EXPECT_EQ(FieldOf(segments[i].back(), "puts"), cases[i].puts);
    }
}

// --- New windows -----------------------------------------------------------

// A recorder program registered as the "open" command of the web and mail
// schemes in this test prefix; what it was started with is in "opened.txt".
struct ShellRecorder {
    ShellRecorder() {
        const std::wstring program = folder / L"open_recorder.exe";
        CopyFileW((FolderOfTestProgram() + L"open_recorder.exe").c_str(), program.c_str(), FALSE);
        for (const wchar_t* scheme : {L"https", L"http", L"mailto"})
            for (const wchar_t* root : {L"HKCU\\Software\\Classes\\", L"HKCR\\"}) {
                const std::wstring key = std::wstring(root) + scheme;
                RunReg(L"add \"" + key + L"\" /v \"URL Protocol\" /d \"\" /f");
                RunReg(L"add \"" + key + L"\\shell\\open\\command\" /ve /d \"\\\"" + program +
                       L"\\\" \\\"%1\\\"\" /f");
            }
    }
    std::vector<std::string> Opened(size_t expected) const {
        std::vector<std::string> lines;
        for (const ULONGLONG until = GetTickCount64() + ScaledMs(10000); GetTickCount64() < until;
             Sleep(50)) {
            lines = ReadLines(folder / L"opened.txt");
            if (lines.size() >= expected) break;
        }
        Sleep(ScaledMs(500));  // late extra openings show too
        return ReadLines(folder / L"opened.txt");
    }
    TempFolder folder{L"shell"};
};

TEST(BrowserEndToEnd, NewWindowsOpenOnlyWebAndMailLinksOutsideTheApp) {
    SAME_ON_EVERY_PATH();
    ShellRecorder recorder;
    const struct {
        nlohmann::json uri;
        bool opened;
    } cases[] = {
        {"https://example.com/news?id=1", true},
        {"file:///C:/windows/system32/calc.exe", false},
        {nullptr, false},
    };
    std::vector<nlohmann::json> events;
    std::vector<std::string> expected;
    for (const auto& c : cases) {
        events.push_back({{"event", "NewWindowRequested"}, {"uri", c.uri}, {"delayMs", 0}});
        if (c.opened) expected.push_back(c.uri.get<std::string>());
    }
    const auto segments = RunEvents(events);
    ASSERT_EQ(segments.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].uri.dump());
        // Handled either way, even without a URI: the control never opens a
        // window of its own.
        EXPECT_EQ(FieldOf(segments[i].back(), "handled"), "1");
        EXPECT_EQ(FieldOf(segments[i].back(), "newWindow"), "null");
    }
    const auto opened = recorder.Opened(expected.size());
    EXPECT_EQ(opened.size(), expected.size());
    for (const auto& uri : expected) {
        bool found = false;
        for (const auto& line : opened) found |= line.find("\"" + uri + "\"") != std::string::npos;
        EXPECT_TRUE(found) << uri;
    }
}

// --- Caption and fullscreen ------------------------------------------------

TEST(BrowserEndToEnd, CaptionFollowsTheDocumentTitle) {
    SAME_ON_EVERY_PATH();
    const char* const titles[] = {"Level 1", "Level 2 \xC3\x9C\xE2\x9C\x93", ""};
    std::vector<nlohmann::json> events;
    for (const char* title : titles)
        events.push_back({{"event", "DocumentTitleChanged"}, {"title", title}, {"delayMs", 0}});
    const auto segments = RunEvents(events);
    ASSERT_EQ(segments.size(), std::size(titles));
    EXPECT_EQ(FieldOf(segments[0].front(), "caption"), "\"E2E Game\"");
    for (size_t i = 0; i < std::size(titles); ++i)
        EXPECT_EQ(FieldOf(segments[i].back(), "caption"), "\"" + std::string(titles[i]) + "\"");
}

TEST(BrowserEndToEnd, PageMessagesAndFullScreenElementsSwitchTheWindow) {
    SAME_ON_EVERY_PATH();
    const std::string app = Origin;
    const auto message = [](const std::string& source, const char* text) {
        return nlohmann::json{{"event", "WebMessageReceived"}, {"source", source}, {"text", text}};
    };
    const auto key = [](int kind, int virtualKey, bool repeat = false) {
        return nlohmann::json{{"event", "AcceleratorKeyPressed"},
                              {"kind", kind},
                              {"key", virtualKey},
                              {"repeat", repeat}};
    };
    const int down = 0, systemDown = 2;
    const struct {
        nlohmann::json event;
        bool fullscreen;                // the mode after the event
        const char* handled = nullptr;  // what a key press was marked
    } steps[] = {
        {{{"event", "DOMContentLoaded"}}, false},
        {message(app + "index.html", R"({"type":"set-fullscreen","fullscreen":true})"), true},
        {{{"event", "WebMessageReceived"}, {"source", app}, {"json", "{\"type\":1}"}}, true},
        {message(app, R"({"type":"set-fullscreen"})"), false},
        {{{"event", "ContainsFullScreenElementChanged"}, {"value", true}}, true},
        {{{"event", "ContainsFullScreenElementChanged"}, {"value", false}}, false},
        {{{"event", "WebMessageReceived"},
          {"source", nullptr},
          {"text", R"({"type":"set-fullscreen","fullscreen":true})"}},
         false},
        {key(down, VK_F11), true, "1"},
        {key(down, VK_F11, true), true, "1"},  // held: its repeats change nothing
        {key(systemDown, VK_RETURN), false, "1"},
        {key(down, VK_RETURN), false, "0"},
        {key(systemDown, VK_F11), false, "0"},
        {key(systemDown, VK_RETURN), true, "1"},
        {key(down, VK_F11), false, "1"},
    };
    std::vector<nlohmann::json> events;
    for (const auto& step : steps) events.push_back(step.event);
    App folder(Scenario(events));
    const Outcome outcome = RunToTheEnd(folder);
    const auto segments = EventSegments(outcome.transcript);
    ASSERT_EQ(segments.size(), std::size(steps));
    // The windowed look, as it was once the document had loaded.
    const std::string windowed = segments[0].back();
    const unsigned long frame = WS_CAPTION | WS_THICKFRAME;
    ASSERT_EQ(StyleOf(windowed) & frame, frame);
    for (size_t i = 1; i < std::size(steps); ++i) {
        SCOPED_TRACE(steps[i].event.dump());
        const std::string& after = segments[i].back();
        EXPECT_EQ(FieldOf(after, "window.visible"), "1");
        if (steps[i].fullscreen) {
            EXPECT_EQ(StyleOf(after) & frame, 0u);
            EXPECT_EQ(FieldOf(after, "rect"), MonitorRect());
        } else {
            EXPECT_EQ(StyleOf(after), StyleOf(windowed));
            EXPECT_EQ(StyleOf(after, "exstyle"), StyleOf(windowed, "exstyle"));
            EXPECT_EQ(FieldOf(after, "rect"), FieldOf(windowed, "rect"));
        }
        // A switch resizes the view with the window; a message that changes
        // nothing leaves the bounds alone.
        const bool switched = steps[i].fullscreen != steps[i - 1].fullscreen;
        EXPECT_EQ(!LinesStartingWith(segments[i], "Controller.put_Bounds").empty(), switched);
        if (steps[i].handled) {
            EXPECT_EQ(FieldOf(after, "handled"), steps[i].handled);
            // Leaving by key leaves the page's element fullscreen too.
            EXPECT_EQ(Count(segments[i],
                            "WebView.ExecuteScript script=\"document.fullscreenElement "
                            "&& document.exitFullscreen()\" handler=null"),
                      switched && !steps[i].fullscreen ? 1u : 0u);
        }
    }
}

// The page's save requests are answered by id once the file is on the disk,
// in the folder the manifest chose; another origin is not heard. The mirror's
// file, read at start, reaches the page in its script.
TEST(BrowserEndToEnd, SaveRequestsWriteTheChosenFolderAndAreAnsweredById) {
    SAME_ON_EVERY_PATH();
    const auto request = [](const std::string& source, const nlohmann::json& fields) {
        return nlohmann::json{
            {"event", "WebMessageReceived"}, {"source", source}, {"text", fields.dump()}};
    };
    const auto reply = [](const std::string& json) {
        return "WebView.PostWebMessageAsJson json=" + TranscriptQuote(Utf8ToWide(json)) +
               " -> 0x00000000";
    };
    const std::string page = std::string(Origin) + "index.html";
    const nlohmann::json mirror = {{"generation", 3}, {"items", {{"a", "b"}}}};
    const struct {
        const char* name;
        nlohmann::json saves;
        std::wstring folder;
        std::vector<PageService> services;
    } cases[] = {
        {"user data",
         nlohmann::json::object(),
         GetUserDataHome() + L"\\e2e-game\\saves",
         {SavesService()}},
        {"saved games, mirrored",
         {{"folder", "saved-games"}, {"mirror-local-storage", true}},
         GetSavedGamesHome() + L"\\e2e-game",
         {SavesService(), LocalStorageMirrorService(mirror)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveTree(c.folder);
        MakeFolders(c.folder);
        WriteFileBytes(c.folder + L"\\local-storage.json", mirror.dump());
        App app(Scenario({{{"event", "DOMContentLoaded"}},
                          request(page, {{"type", "saves.write"},
                                         {"id", 7},
                                         {"name", "Slot 1"},
                                         {"text", "h\xC3\xA9llo"}}),
                          request(page, {{"type", "saves.list"}, {"id", "all"}}),
                          request(page, {{"type", "saves.read"}, {"id", 8}, {"name", "nul.txt"}}),
                          request("https://example.com/",
                                  {{"type", "saves.remove"}, {"id", 9}, {"name", "slot 1"}})}),
                Manifest({{"saves", c.saves}}));
        const Outcome outcome = RunToTheEnd(app);
        EXPECT_EQ(Count(SetupLines(outcome.transcript),
                        "WebView.AddScriptToExecuteOnDocumentCreated script=" +
                            TranscriptQuote(PageServicesScript(Utf8ToWide(Origin), c.services))),
                  1u);
        const auto segments = EventSegments(outcome.transcript);
        ASSERT_EQ(segments.size(), 5u);
        const std::vector<std::vector<std::string>> replies = {
            {reply(R"({"id":7,"ok":true,"type":"lanternshell-reply","value":null})")},
            {reply(R"({"id":"all","ok":true,"type":"lanternshell-reply","value":["slot 1"]})")},
            {reply(R"json({"error":"a save name can't be a device name (\"con\", \"nul.txt\", )json"
                   R"json(\"COM1\"...)","id":8,"ok":false,"type":"lanternshell-reply"})json")},
            {}};
        for (size_t i = 0; i < replies.size(); ++i)
            EXPECT_EQ(LinesStartingWith(segments[i + 1], "WebView.PostWebMessageAsJson"),
                      replies[i]);
        EXPECT_EQ(ReadFileBytes(c.folder + L"\\slot 1"), "h\xC3\xA9llo");
        EXPECT_EQ(Count(LogEvents(), "saves: " + Quoted(c.folder)), 1u);
    }
}

// Steam over its double beside the executable: the page's request reaches
// the library and its reply is posted, and Steam ends with the quit; when
// Steam must relaunch the game, the start ends with exit code 0 before any
// browser.
TEST(BrowserEndToEnd, SteamCallsReachTheLibraryAndARelaunchEndsTheStartAtOnce) {
    SAME_ON_EVERY_PATH();
    for (const bool relaunch : {false, true}) {
        SCOPED_TRACE(relaunch ? "relaunch" : "running");
        App app(Scenario({{{"event", "DOMContentLoaded"}},
                          {{"event", "WebMessageReceived"},
                           {"source", std::string(Origin) + "index.html"},
                           {"text", R"({"type":"steam.achievements.unlock","id":3,)"
                                    R"("name":"FIRST_LANTERN"})"}}}),
                Manifest({{"steam", {{"app-id", 480}}}}));
        ASSERT_TRUE(CopyFileW(FromRunnerPath(LS_STEAM_DOUBLE).c_str(),
                              (app.folder.root / L"steam_api64.dll").c_str(), FALSE));
        const std::wstring calls = app.folder.root / L"steam-calls";
        SetEnvironmentVariableW(L"LS_STEAM_DOUBLE_CALLS", calls.c_str());
        SetEnvironmentVariableW(L"LS_STEAM_DOUBLE_PLAY", relaunch ? L"restart" : L"");
        const Outcome outcome = relaunch ? RunExecutable(app) : RunToTheEnd(app);
        SetEnvironmentVariableW(L"LS_STEAM_DOUBLE_PLAY", nullptr);
        const std::string recorded = ReadFileBytes(calls);
        EXPECT_EQ(recorded.find("fault"), std::string::npos) << recorded;
        if (relaunch) {
            EXPECT_EQ(outcome.run.exitCode, 0u);
            EXPECT_TRUE(outcome.transcript.empty());
            EXPECT_FALSE(outcome.sawVisible);
            EXPECT_EQ(recorded, "SteamAPI_RestartAppIfNecessary 480\n");
            continue;
        }
        EXPECT_EQ(Count(outcome.transcript,
                        "WebView.PostWebMessageAsJson json=" +
                            TranscriptQuote(
                                LR"({"id":3,"ok":true,"type":"lanternshell-reply","value":null})") +
                            " -> 0x00000000"),
                  1u);
        const size_t stored = recorded.find("StoreStats");
        EXPECT_LT(recorded.find("SetAchievement \"FIRST_LANTERN\""), stored) << recorded;
        EXPECT_LT(stored, recorded.find("SteamAPI_Shutdown")) << recorded;
    }
}

// Keys off by the manifest reach the page; window.fullscreen shows the
// first frame fullscreen already.
TEST(BrowserEndToEnd, FullscreenKeysOffAndAFullscreenStart) {
    SAME_ON_EVERY_PATH();
    {
        SCOPED_TRACE("keys off");
        App app(Scenario({{{"event", "DOMContentLoaded"}},
                          {{"event", "AcceleratorKeyPressed"}, {"kind", 0}, {"key", VK_F11}},
                          {{"event", "AcceleratorKeyPressed"}, {"kind", 2}, {"key", VK_RETURN}}}),
                Manifest({{"settings", {{"fullscreen-keys", false}}}}));
        const auto segments = EventSegments(RunToTheEnd(app).transcript);
        ASSERT_EQ(segments.size(), 3u);
        for (size_t i = 1; i < 3; ++i) {
            EXPECT_EQ(FieldOf(segments[i].back(), "handled"), "0");
            EXPECT_EQ(StyleOf(segments[i].back()), StyleOf(segments[0].back()));
        }
    }
    {
        SCOPED_TRACE("window.fullscreen");
        App app(Scenario({{{"event", "DOMContentLoaded"}}}),
                Manifest({{"window", {{"fullscreen", true}}}}));
        const auto transcript = RunToTheEnd(app).transcript;
        EXPECT_EQ(FieldOf(FirstWith(transcript, "Controller.put_Bounds"), "bounds"), MonitorRect());
        ExpectOneSize(transcript);
        const auto segments = EventSegments(transcript);
        ASSERT_EQ(segments.size(), 1u);
        // The first line that sees the window visible sees it fullscreen.
        const auto visible = std::find_if(segments[0].begin(), segments[0].end(), [](auto& line) {
            return FieldOf(line, "window.visible") == "1";
        });
        ASSERT_NE(visible, segments[0].end());
        EXPECT_EQ(StyleOf(*visible) & (WS_CAPTION | WS_THICKFRAME), 0u) << *visible;
        EXPECT_EQ(FieldOf(*visible, "rect"), MonitorRect());
    }
}

// --- Quitting --------------------------------------------------------------

// The quit sequence's calls and the double's answers, cut before the
// window's state and the handler counts.
std::vector<std::string> QuitSteps(const std::vector<std::string>& transcript) {
    static const char* const prefixes[] = {
        "WebView.Navigate uri=\"about:blank\"", "Quit: ",
        "Environment.QueryInterface",           "Environment.add_BrowserProcessExited",
        "WebView.get_BrowserProcessId",         "Controller.Close"};
    std::vector<std::string> steps;
    for (std::string line : transcript) {
        bool quitting = false;
        for (const char* prefix : prefixes) quitting |= line.rfind(prefix, 0) == 0;
        if (!quitting) continue;
        for (const char* cut : {" handlers=", " window.visible=", " window="}) {
            const size_t at = line.find(cut);
            if (at != std::string::npos) line.resize(at);
        }
        steps.push_back(line);
    }
    return steps;
}

const std::vector<std::string> UnloadedSteps = {
    "WebView.Navigate uri=\"about:blank\" -> 0x00000000",
    "Quit: Raise NavigationStarting uri=\"about:blank\"",
    "Quit: Return NavigationStarting -> 0x00000000 cancel=0",
    "Quit: Raise NavigationCompleted success=1",
    "Quit: Return NavigationCompleted -> 0x00000000",
};

std::vector<std::string> Then(std::vector<std::string> first,
                              const std::vector<std::string>& more) {
    first.insert(first.end(), more.begin(), more.end());
    return first;
}

const std::vector<std::string> ExitedSteps = {
    "Environment.QueryInterface iid=ICoreWebView2Environment5 -> 0x00000000",
    "Environment.add_BrowserProcessExited handler=object token=null -> 0x00000000",
    "Controller.Close -> 0x00000000",
    "Quit: Raise BrowserProcessExited",
    "Quit: Return BrowserProcessExited -> 0x00000000",
};

// The log from the first "quitting:" line on, measured milliseconds as "N"
// (the bounds, "within 2000 ms", are text).
std::vector<std::string> QuitLog() {
    std::vector<std::string> lines;
    for (const std::string& line : LogEvents())
        if (!lines.empty() || line.rfind("quitting: ", 0) == 0)
            lines.push_back(
                std::regex_replace(line, std::regex("\\b(in|after) \\d+ ms"), "$1 N ms"));
    return lines;
}

TEST(Quitting, EveryWayOfQuittingUnloadsThePageThenAwaitsTheBrowser) {
    SAME_ON_EVERY_PATH();
    const nlohmann::json loaded = {{"event", "DOMContentLoaded"}};
    const nlohmann::json closeMessage = {
        {"event", "WebMessageReceived"}, {"source", Origin}, {"text", R"({"type":"close"})"}};
    const nlohmann::json queryEnd = {{"event", "WindowMessage"}, {"message", WM_QUERYENDSESSION}};
    const nlohmann::json endSession = {
        {"event", "WindowMessage"}, {"message", WM_ENDSESSION}, {"wParam", 1}};
    const std::string unloaded = "the page unloaded in N ms";
    const std::string exited = "the browser exited in N ms";
    const struct {
        const char* name;
        nlohmann::json scenario;  // "events" and the quit's keys
        bool closedByTest;        // WM_CLOSE, as the caption's button sends it
        std::vector<std::string> steps;
        std::vector<std::string> log;
        bool bounded = false;  // both bounds ran out: timed by the log's clock
    } cases[] = {
        {"the caption's button",
         {{"events", {loaded}}},
         true,
         Then(UnloadedSteps, ExitedSteps),
         {"quitting: the player closed the window", unloaded, exited, "exit code 0"}},
        {"the close message",
         {{"events", {loaded, closeMessage}}},
         false,
         Then(UnloadedSteps, ExitedSteps),
         {"quitting: the page closed the window", unloaded, exited, "exit code 0"}},
        {"the close request",
         {{"events", {loaded, {{"event", "WindowCloseRequested"}}}}},
         false,
         Then(UnloadedSteps, ExitedSteps),
         {"quitting: the page closed the window", unloaded, exited, "exit code 0"}},
        // The whole sequence inside WM_ENDSESSION: the process ends after it.
        {"the session's end",
         {{"events", {loaded, queryEnd, endSession}}},
         false,
         Then(UnloadedSteps, ExitedSteps),
         {"quitting: the user's session ends", unloaded, exited, "exit code 0"}},
        {"a runtime without Environment5",
         {{"events", {loaded}}, {"environment5", false}},
         true,
         Then(UnloadedSteps,
              {"Environment.QueryInterface iid=ICoreWebView2Environment5 -> 0x80004002",
               "WebView.get_BrowserProcessId -> 0x00000000 process=started",
               "Controller.Close -> 0x00000000", "Quit: browser process ended"}),
         {"quitting: the player closed the window", unloaded,
          "the browser control lacks ICoreWebView2Environment5 (error 0x80004002): the browser "
          "process is awaited instead",
          exited, "exit code 0"}},
        // Both bounds: 2 s for the page, 5 s for the browser, and no more.
        {"a hung page and a browser that never exits",
         {{"events", {loaded}},
          {"unload", {{"result", "never"}}},
          {"browserExit", {{"never", true}}}},
         true,
         Then(
             {"WebView.Navigate uri=\"about:blank\" -> 0x00000000", "Quit: the page never unloads"},
             {"Environment.QueryInterface iid=ICoreWebView2Environment5 -> 0x00000000",
              "Environment.add_BrowserProcessExited handler=object token=null -> 0x00000000",
              "Controller.Close -> 0x00000000", "Quit: the browser never exits"}),
         {"quitting: the player closed the window",
          "the page did not unload within 2000 ms: the app quits without it",
          "the browser did not exit within 5000 ms: its profile may not be written", "exit code 0"},
         true},
        // The question reaches the session, which holds the bound for it.
        {"a page whose question outlasts the bound",
         {{"events", {loaded}}, {"unload", {{"delayMs", 3000}, {"dialog", true}}}},
         true,
         Then(Then({UnloadedSteps[0], "Quit: the page asks before it unloads"},
                   {UnloadedSteps.begin() + 1, UnloadedSteps.end()}),
              ExitedSteps),
         {"quitting: the player closed the window", unloaded, exited, "exit code 0"}},
        {"no browser process to wait on",
         {{"events", {loaded}}, {"environment5", false}, {"browserProcess", "refuse"}},
         true,
         Then(UnloadedSteps,
              {"Environment.QueryInterface iid=ICoreWebView2Environment5 -> 0x80004002",
               "WebView.get_BrowserProcessId -> 0x80004005 process=none",
               "Controller.Close -> 0x00000000"}),
         {"quitting: the player closed the window", unloaded,
          "the browser control lacks ICoreWebView2Environment5 (error 0x80004002): the browser "
          "process is awaited instead",
          "failed: get_BrowserProcessId (error 0x80004005)",
          "the browser did not exit within 5000 ms: its profile may not be written",
          "exit code 0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        App app(c.scenario.dump());
        const Outcome outcome = RunExecutable(app, "Done events=", c.closedByTest);
        ExpectCleanClose(outcome);
        EXPECT_EQ(QuitSteps(outcome.transcript), c.steps);
        EXPECT_EQ(QuitLog(), c.log);
        // The window goes only at the end of it.
        for (const auto& line : outcome.transcript) {
            if (line.rfind("Controller.Close", 0) == 0) break;
            EXPECT_EQ(line.find("window=destroyed"), std::string::npos) << line;
        }
        if (c.bounded) {
            const long long took =
                LogMsBetween(LogPath(), "quitting: ", "the browser did not exit within");
            EXPECT_GE(took, 6900);
            EXPECT_LE(took, 7000 + static_cast<long long>(ScaledMs(500)));
        }
    }
}

// The page's beforeunload asked and the player stayed: the app runs on, and
// a later close quits.
TEST(Quitting, ThePlayerWhoStaysKeepsTheAppRunning) {
    SAME_ON_EVERY_PATH();
    App app(nlohmann::json{{"events", {{{"event", "DOMContentLoaded"}}}},
                           {"unload", {{"result", "cancelled"}}}}
                .dump());
    int closes = 0;
    bool aliveAfterStaying = false;
    RunOptions options;
    options.timeoutMs = 30000;
    options.onWindow = [&](HWND window) {
        if (ClassOf(window) != MainClass) return;
        const auto transcript = ReadLoaderTranscript(app.transcriptFolder);
        if (closes == 0 && Count(transcript, "Done events=") == 1) {
            ++closes;
            PostMessageW(window, WM_CLOSE, 0, 0);
        } else if (closes == 1 && Count(transcript, "Quit: Return NavigationCompleted") == 1) {
            // The next unload succeeds.
            Sleep(ScaledMs(300));
            aliveAfterStaying = IsWindow(window) && IsWindowVisible(window);
            WriteFileBytes(app.transcriptFolder + L"loader-scenario.json",
                           R"({"events":[{"event":"DOMContentLoaded"}]})");
            ++closes;
            PostMessageW(window, WM_CLOSE, 0, 0);
        }
    };
    const RunResult run = RunProgram(app.folder.exe, options);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(aliveAfterStaying);
    EXPECT_EQ(closes, 2);
    EXPECT_EQ(QuitLog(), (std::vector<std::string>{
                             "quitting: the player closed the window",
                             "the player chose to stay: the app keeps running (after N ms)",
                             "quitting: the player closed the window", "the page unloaded in N ms",
                             "the browser exited in N ms", "exit code 0"}));
    EXPECT_EQ(Count(ReadLoaderTranscript(app.transcriptFolder), "Controller.Close"), 1u);
}

// --- Focus and the fullscreen keys -----------------------------------------

TEST(BrowserEndToEnd, ActivationMovesTheFocusIntoThePage) {
    SAME_ON_EVERY_PATH();
    const auto message = [](UINT id, WPARAM wParam) {
        return nlohmann::json{{"event", "WindowMessage"}, {"message", id}, {"wParam", wParam}};
    };
    const struct {
        nlohmann::json event;
        bool focuses;
    } steps[] = {
        {{{"event", "DOMContentLoaded"}}, true},
        {message(WM_ACTIVATE, WA_ACTIVE), true},
        {message(WM_ACTIVATE, WA_CLICKACTIVE), true},
        {message(WM_ACTIVATE, WA_INACTIVE), false},
        {message(WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 1)), false},  // minimized
        {message(WM_SETFOCUS, 0), true},
    };
    std::vector<nlohmann::json> events;
    for (const auto& step : steps) events.push_back(step.event);
    const auto segments = RunEvents(events);
    ASSERT_EQ(segments.size(), std::size(steps));
    for (size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(steps[i].event.dump());
        EXPECT_EQ(Count(segments[i], "Controller.MoveFocus reason=0 -> 0x00000000") > 0,
                  steps[i].focuses);
    }
}

// --- The window remembered and one instance per app ------------------------

std::wstring WindowFile() {
    return GetUserDataHome() + L"\\e2e-game\\window.json";
}

TEST(WindowRemembered, ASecondRunComesBackWhereTheFirstLeftAndAPlaceOffEveryMonitorIsIgnored) {
    SAME_ON_EVERY_PATH();
    DeleteFileW(WindowFile().c_str());
    const std::string manifest = Manifest({{"window", {{"remember", true}}}});
    const std::string loaded = Scenario({{{"event", "DOMContentLoaded"}}});
    // Where the control was first made visible: the window's first frame.
    const auto firstShown = [](const std::vector<std::string>& transcript) {
        return FieldOf(FirstWith(transcript, "Controller.put_IsVisible value=1"), "rect");
    };
    {
        SCOPED_TRACE("moved by the player, then closed");
        App app(loaded, manifest);
        const RunResult run = RunActingOnceLoaded(app, [](HWND window) {
            SetWindowPos(window, nullptr, 123, 77, 700, 500, SWP_NOZORDER);
            PostMessageW(window, WM_CLOSE, 0, 0);
        });
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_NE(ReadFileBytes(WindowFile()).find("{\"x\":123,\"y\":77,"), std::string::npos);
    }
    {
        SCOPED_TRACE("started again");
        App app(loaded, manifest);
        EXPECT_EQ(firstShown(RunToTheEnd(app).transcript), "(123,77,823,577)");
    }
    {
        SCOPED_TRACE("a place off every monitor");
        WriteFileBytes(WindowFile(), R"({"x":-60000,"y":-60000,"width":640,"height":480,)"
                                     R"("maximized":false,"fullscreen":false})");
        App app(loaded, manifest);
        const std::string rect = firstShown(RunToTheEnd(app).transcript);
        EXPECT_EQ(rect.find("(-6"), std::string::npos) << rect;
        EXPECT_EQ(CountContaining(LogEvents(),
                                  "the window's saved place is not restored: the saved "
                                  "window lies on no monitor's work area"),
                  1u);
    }
    for (const bool maximized : {true, false}) {
        SCOPED_TRACE(maximized ? "maximized" : "fullscreen");
        WriteFileBytes(WindowFile(), nlohmann::json{{"x", 100},
                                                    {"y", 60},
                                                    {"width", 640},
                                                    {"height", 480},
                                                    {"maximized", maximized},
                                                    {"fullscreen", !maximized}}
                                         .dump());
        App app(loaded, manifest);
        const auto transcript = RunToTheEnd(app).transcript;
        const std::string shown = FirstWith(transcript, "Controller.put_IsVisible value=1");
        ExpectOneSize(transcript);
        if (maximized) {
            EXPECT_NE(StyleOf(shown) & WS_MAXIMIZE, 0u) << shown;
        } else {
            EXPECT_EQ(StyleOf(shown) & WS_CAPTION, 0u) << shown;
            EXPECT_EQ(FieldOf(shown, "rect"), MonitorRect());
        }
    }
    DeleteFileW(WindowFile().c_str());
}

TEST(OneInstance, ASecondStartPresentsTheFirstAndStartsNoBrowser) {
    SAME_ON_EVERY_PATH();
    for (const bool single : {true, false}) {
        SCOPED_TRACE(single ? "single-instance" : "several allowed");
        App app(Scenario({{{"event", "DOMContentLoaded"}}}),
                Manifest({{"settings", {{"single-instance", single}}}}));
        RunResult second;
        ULONGLONG took = 0;
        bool started = false, presented = false;
        const RunResult first = RunActingOnceLoaded(app, [&](HWND window) {
            started = true;
            ShowWindow(window, SW_MINIMIZE);
            RunOptions secondOptions;
            secondOptions.timeoutMs = 30000;
            bool closed = false;
            secondOptions.onWindow = [&closed](HWND other) {
                if (ClassOf(other) != MainClass || closed || !IsWindowVisible(other)) return;
                closed = true;
                PostMessageW(other, WM_CLOSE, 0, 0);
            };
            const ULONGLONG start = GetTickCount64();
            second = RunProgram(app.folder.exe, secondOptions);
            took = GetTickCount64() - start;
            presented = !IsIconic(window);
            PostMessageW(window, WM_CLOSE, 0, 0);
        });
        EXPECT_FALSE(first.timedOut);
        EXPECT_EQ(first.exitCode, 0u);
        ASSERT_TRUE(started);
        EXPECT_FALSE(second.timedOut);
        EXPECT_EQ(second.exitCode, 0u);
        const auto transcript = ReadLoaderTranscript(app.transcriptFolder);
        EXPECT_EQ(Count(transcript, "CreateCoreWebView2EnvironmentWithOptions"), single ? 1u : 2u);
        if (single) {
            EXPECT_LT(took, ScaledMs(1000));
            EXPECT_TRUE(presented);
        }
    }
}

// --- Creation failures -----------------------------------------------------

TEST(BrowserEndToEnd, EachCreationFailureShowsTheBoxAndExitsWithOne) {
    const struct {
        const char* scenario;
        HRESULT code;  // 0: any failure code the host picks for a missing object
    } cases[] = {
        {R"({"environment": {"call": "0x80004005"}})", E_FAIL},
        {R"({"environment": {"result": "0x8007000E"}})", E_OUTOFMEMORY},
        {R"({"environment": {"object": false}})", 0},
        {R"({"controller": {"call": "0x80070005"}})", E_ACCESSDENIED},
        {R"({"controller": {"result": "0x80004004", "object": false}})", E_ABORT},
        {R"({"controller": {"object": false}})", 0},
        {R"({"webview2": false})", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        App app(c.scenario);
        const Outcome outcome = RunExecutable(app, "never", false);
        EXPECT_FALSE(outcome.run.timedOut);
        EXPECT_EQ(outcome.run.exitCode, 1u);
        EXPECT_FALSE(outcome.sawVisible);
        ASSERT_EQ(outcome.run.boxes.size(), 1u);
        const BoxSeen& box = outcome.run.boxes[0];
        EXPECT_EQ(box.caption, L"E2E Game");
        EXPECT_EQ(box.icon, BoxIcon::Error);
        EXPECT_FALSE(box.owned);
        const std::wstring prefix = L"Failed to start the WebView2 browser control (error 0x";
        ASSERT_EQ(box.text.rfind(prefix, 0), 0u) << WideToUtf8(box.text);
        const std::wstring digits = box.text.substr(prefix.size(), 8);
        EXPECT_EQ(box.text.substr(prefix.size() + 8), L").");
        const unsigned long shown = std::wcstoul(digits.c_str(), nullptr, 16);
        if (c.code) {
            EXPECT_EQ(shown, static_cast<unsigned long>(static_cast<unsigned>(c.code)));
        } else {
            EXPECT_TRUE(FAILED(static_cast<HRESULT>(shown))) << WideToUtf8(digits);
        }
        // Nothing goes on after the failure: no view is set up.
        EXPECT_TRUE(LinesStartingWith(outcome.transcript, "WebView.Navigate").empty());
        // The failed step is logged (its words are the session's).
        const auto log = LogEvents();
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log[log.size() - 2].rfind("failed: ", 0), 0u) << log[log.size() - 2];
        EXPECT_EQ(log.back(), "exit code 1");
    }
}

// --- Recovery from failed browser processes --------------------------------

const wchar_t* const StoppedText =
    L"The app stopped unexpectedly and could not be restarted. Run it again.";
const wchar_t* const NotRespondingText = L"The app is not responding. Reload it?";

nlohmann::json Loaded() {
    return {{"event", "DOMContentLoaded"}};
}
nlohmann::json Failed(int kind, int delayMs = 20) {
    return {{"event", "ProcessFailed"}, {"kind", kind}, {"delayMs", delayMs}};
}

TEST(BrowserRecovery, ACrashedPageIsReloadedAndAReloadRefusedStopsTheApp) {
    SAME_ON_EVERY_PATH();
    {
        SCOPED_TRACE("a crash");
        App app(Scenario({Loaded(), Failed(1)}));
        const Outcome outcome = RunToTheEnd(app);
        EXPECT_EQ(Count(outcome.transcript, "WebView.Reload -> 0x00000000"), 1u);
        EXPECT_EQ(CountContaining(LogEvents(),
                                  "process failure: render process exited: reloading the page"),
                  1u);
    }
    {
        // The bounds are the session's; here the giving up reaches the window.
        SCOPED_TRACE("a reload that fails");
        App app(R"({"reload": "0x80004005", "events": [{"event": "DOMContentLoaded"},
                   {"event": "ProcessFailed", "kind": 1}, {"event": "Pause", "delayMs": 3000}]})");
        const Outcome outcome = RunExecutable(app, "never", false);
        ExpectFailedRun(outcome, StoppedText, "the app stops: the page could not be reloaded");
        EXPECT_EQ(CountContaining(LogEvents(), "failed: Reload (error 0x80004005)"), 1u);
    }
}

TEST(BrowserRecovery, AHangingPageIsReloadedOnlyWhenThePlayerSaysSo) {
    SAME_ON_EVERY_PATH();
    for (const int answer : {IDNO, IDYES}) {
        SCOPED_TRACE(answer == IDYES ? "yes" : "no");
        App app(Scenario({Loaded(), Failed(2)}));
        const Outcome outcome = RunExecutable(app, "Done events=", true, answer);
        EXPECT_FALSE(outcome.run.timedOut);
        EXPECT_EQ(outcome.run.exitCode, 0u);
        ASSERT_EQ(outcome.run.boxes.size(), 1u);
        const BoxSeen& box = outcome.run.boxes[0];
        EXPECT_EQ(box.text, NotRespondingText);
        EXPECT_EQ(box.caption, L"E2E Game");
        EXPECT_TRUE(box.owned) << "the question belongs to the game's window";
        EXPECT_EQ(Count(outcome.transcript, "WebView.Reload"), answer == IDYES ? 1u : 0u);
        const auto log = LogEvents();
        EXPECT_EQ(CountContaining(log, "asking the player whether to reload"), 1u);
        EXPECT_EQ(CountContaining(log, answer == IDYES ? "the player chose to reload the page"
                                                       : "the player chose to wait"),
                  1u);
    }
}

TEST(BrowserRecovery, ABrowserThatExitedIsStartedAgain) {
    {
        App app(Scenario({Loaded(), Failed(0), {{"event", "DOMContentLoaded"}, {"delayMs", 500}}}));
        const Outcome outcome = RunToTheEnd(app);
        const auto& lines = outcome.transcript;
        // The same folder, user data folder and options, all read again.
        const auto creations =
            LinesStartingWith(lines, "CreateCoreWebView2EnvironmentWithOptions ");
        ASSERT_EQ(creations.size(), 2u);
        EXPECT_EQ(creations[0], creations[1]);
        const auto arguments = LinesStartingWith(lines, "Options.get_AdditionalBrowserArguments");
        ASSERT_EQ(arguments.size(), 2u);
        EXPECT_EQ(arguments[0], arguments[1]);
        EXPECT_EQ(Count(lines, "Environment.CreateCoreWebView2Controller parent=window visible=1"),
                  1u);
        EXPECT_EQ(Count(lines, "WebView.Navigate uri=\"" + std::string(Origin) + "index.html\""),
                  2u);
        EXPECT_EQ(Count(lines, "WebView.add_ProcessFailed"), 2u);
        // The old objects are closed and let go before the new environment.
        const size_t failure = PositionOf(lines, "Raise ProcessFailed kind=0");
        const size_t again =
            failure + PositionOf(std::vector<std::string>(lines.begin() + failure, lines.end()),
                                 "CreateCoreWebView2EnvironmentWithOptions ");
        for (const char* step :
             {"Controller.Close", "Controller released", "Environment released"}) {
            const size_t at = PositionOf(lines, step);
            EXPECT_GT(at, failure) << step;
            EXPECT_LT(at, again) << step;
        }
        // The rest of the scenario reaches the new view, and the page is
        // shown and focused there.
        const auto segments = EventSegments(lines);
        ASSERT_EQ(segments.size(), 3u);
        EXPECT_EQ(FieldOf(segments[2].front(), "handlers"), "1");
        EXPECT_EQ(Count(segments[2], "Controller.MoveFocus"), 1u);
        EXPECT_EQ(CountContaining(LogEvents(),
                                  "process failure: browser process exited: starting the browser"),
                  1u);
    }
}

TEST(BrowserRecovery, OtherProcessesAreLeftToTheControl) {
    SAME_ON_EVERY_PATH();
    std::vector<nlohmann::json> events = {Loaded()};
    events.push_back(Failed(6, 0));
    App app(Scenario(events));
    const Outcome outcome = RunToTheEnd(app);
    EXPECT_EQ(Count(outcome.transcript, "WebView.Reload"), 0u);
    EXPECT_EQ(Count(outcome.transcript, "CreateCoreWebView2EnvironmentWithOptions "), 1u);
    EXPECT_EQ(CountContaining(LogEvents(),
                              "process failure: GPU process exited: left to the browser control"),
              1u);
}

// --- The window after a failed navigation ----------------------------------

TEST(BrowserEndToEnd, AFailedFirstNavigationStillShowsTheWindow) {
    SAME_ON_EVERY_PATH();
    App app(Scenario({{{"event", "NavigationCompleted"}, {"success", false}, {"status", 6}},
                      {{"event", "NavigationCompleted"}, {"success", true}},
                      Loaded()}));
    const Outcome outcome = RunToTheEnd(app);
    EXPECT_TRUE(outcome.sawVisible);
    const auto segments = EventSegments(outcome.transcript);
    ASSERT_EQ(segments.size(), 3u);
    EXPECT_EQ(FieldOf(segments[0].front(), "window.visible"), "0");
    EXPECT_EQ(FieldOf(segments[0].back(), "window.visible"), "1");
    EXPECT_EQ(Count(segments[0], "Controller.put_IsVisible value=1"), 1u);
    // A visible window is left as it is; a document that loads after all
    // still gets the focus.
    EXPECT_EQ(Count(segments[1], "Controller."), 0u);
    EXPECT_EQ(Count(segments[2], "Controller.MoveFocus"), 1u);
    EXPECT_EQ(CountContaining(LogEvents(), "navigation failed (web error status 6)"), 1u);
}

// --- The start page --------------------------------------------------------

TEST(StartPage, AStartPageThatIsNotInWwwStopsBeforeTheWindowIsMade) {
    SAME_ON_EVERY_PATH();
    // Which names are served is the router's rule (its own tests): here one
    // start page found, query and all, and one not.
    for (const std::string main : {"game.html?level=2#top", "missing.html?level=2"}) {
        SCOPED_TRACE(main);
        App app("", Manifest({{"main", main}}));
        WriteFileBytes(app.www(L"game.html"), "<!doctype html>");
        DeleteFileW(app.www(L"index.html").c_str());
        const Outcome outcome = RunExecutable(app);
        if (main.rfind("game", 0) == 0) {
            ExpectCleanClose(outcome);
            EXPECT_EQ(Count(outcome.transcript,
                            "WebView.Navigate uri=\"" + std::string(Origin) + main + "\""),
                      1u);
            continue;
        }
        ExpectFailedRun(outcome,
                        L"The start page \"" + std::wstring(main.begin(), main.end()) +
                            L"\" named in package.json is not in the www folder.",
                        "failed: the start page \"" + main + "\" is not in the www folder");
        // Stopped before the runtime check, let alone the window.
        EXPECT_TRUE(outcome.transcript.empty());
        EXPECT_EQ(outcome.client.right, 0);
    }
}

// --- The diagnostics log ---------------------------------------------------

TEST(DiagnosticsLogEndToEnd, TellsTheStartTheRuntime404sAFailureAndTheExitCode) {
    {
        SCOPED_TRACE("a normal start");
        const auto request = [](const char* path) {
            return nlohmann::json{{"event", "WebResourceRequested"},
                                  {"uri", std::string(Origin) + path},
                                  {"delayMs", 0}};
        };
        const auto pageLog = [](const std::string& source, const char* text) {
            return nlohmann::json{
                {"event", "WebMessageReceived"}, {"source", source}, {"text", text}};
        };
        const std::string page = std::string(Origin) + "index.html";
        App app(Scenario(
            {Loaded(), request("missing.js?v=1"), request("missing.js?v=2"),
             request("img/no%20such.png#x"), request("index.html"),
             pageLog(page,
                     R"({"type":"page-log","level":"error","text":"uncaught x at /a.js:3:9"})"),
             pageLog("https://evil.example/", R"({"type":"page-log","level":"error","text":"no"})"),
             pageLog(page, R"({"type":"page-log","level":"info","text":"only with all"})"),
             pageLog(page, R"({"type":"page-log","level":"warning","text":"careful"})"),
             pageLog(page, R"({"type":"page-log","dropped":7})")}));
        const Outcome outcome = RunToTheEnd(app);
        // Every line is stamped: LogEvents marks one that is not with "?".
        const std::string text = ReadFileBytes(LogPath());
        for (const auto& line : LogEvents()) EXPECT_NE(line.front(), '?') << line;
        EXPECT_EQ(text.substr(0, 2), "20");
        const auto log = LogEvents();
        ASSERT_GE(log.size(), 7u);
        EXPECT_EQ(log[0].rfind("Lanternshell 1.0.0.0 started: \"", 0), 0u) << log[0];
        EXPECT_NE(log[0].find("Lanternshell.exe\" in \""), std::string::npos) << log[0];
        const bool fixed = ThisPath == BrowserPath::BuiltinFixed;
        EXPECT_EQ(log[1], std::string("manifest: name \"e2e-game\", distribution mode ") +
                              (fixed ? "fixed" : "evergreen") + ", start page \"index.html\"");
        EXPECT_EQ(log[2].rfind("saves: \"", 0), 0u) << log[2];
        EXPECT_NE(log[2].find("\\e2e-game\\saves\""), std::string::npos) << log[2];
        EXPECT_EQ(log[3], std::string("runtime ") + (fixed ? "in \"webview2\"" : "installed") +
                              " found: version 120.0.2210.91, through " +
                              (ThisPath == BrowserPath::Loader ? "the vendor's loader library"
                                                               : "the built-in loader"));
        EXPECT_EQ(CountContaining(log, "404 missing.js"), 1u);
        EXPECT_EQ(CountContaining(log, "404 img/no such.png"), 1u);
        EXPECT_EQ(CountContaining(log, "404"), 2u);
        // The app's own page's lines, in its mode (errors).
        EXPECT_EQ(LinesStartingWith(log, "page"),
                  (std::vector<std::string>{"page error: uncaught x at /a.js:3:9",
                                            "page warning: careful",
                                            "page: 7 lines left out (at most 100 a minute)"}));
        EXPECT_EQ(log.back(), "exit code 0");
    }
    if (ThisPath != BrowserPath::Loader) return;
    {
        SCOPED_TRACE("an icon that does not load");
        App app("", Manifest({{"window", {{"icon", "art/missing.png"}}}}));
        ExpectCleanClose(RunExecutable(app));
        EXPECT_EQ(CountContaining(LogEvents(),
                                  "failed: loading the window icon \"art/missing.png\": "
                                  "the standard icon is used"),
                  1u);
    }
}

TEST(DiagnosticsLogEndToEnd, AFullLogIsMovedAsideAndAnUnwritableOneLeavesTheAppRunning) {
    SAME_ON_EVERY_PATH();
    {
        SCOPED_TRACE("rotation");
        App app(Scenario({Loaded()}));
        MakeFolders(GetUserDataHome() + L"\\e2e-game");
        const std::string filler(1024 * 1024 - 40, 'f');
        WriteFileBytes(LogPath(), filler);
        const Outcome outcome = RunToTheEnd(app);
        EXPECT_EQ(ReadFileBytes(OldLogPath()), filler);
        const auto log = LogEvents();
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log[0].rfind("Lanternshell ", 0), 0u);
        EXPECT_EQ(log.back(), "exit code 0");
    }
    {
        SCOPED_TRACE("a folder where the log belongs");
        App app(Scenario({Loaded()}));
        MakeFolders(LogPath());
        const Outcome outcome = RunToTheEnd(app);
        EXPECT_TRUE(outcome.sawVisible);
        EXPECT_TRUE(RemoveDirectoryW(LogPath().c_str()));
        EXPECT_FALSE(FileExists(OldLogPath()));
    }
}

}  // namespace
