// The real Linux executable against the real engine, on a display of the
// test's own. The test host is the shipped startup and host plus a result
// channel (see test_host.cpp); the shipped executable itself is run where no
// page results are needed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e_support.h"
#include "tests/support/log_lines.h"

namespace {

using e2e::Host;
using e2e::Sandbox;
using nlohmann::json;
using std::chrono::milliseconds;

const std::string TestHost = LS_TEST_HOST;
const std::string Shipped = LS_SHIPPED_HOST;
// The session's bound on the page's unload (host/session.h).
constexpr int PageUnloadTimeoutMsForTests = 2000;

e2e::Display* display = nullptr;

class LinuxHost : public testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!display) display = new e2e::Display();
    }
    static void TearDownTestSuite() {
        delete display;
        display = nullptr;
    }

    // A sandbox named after the running test.
    static Sandbox MakeSandbox(const std::string& app, const std::string& executable = TestHost) {
        return Sandbox(testing::UnitTest::GetInstance()->current_test_info()->name(), executable,
                       app);
    }
    static std::string ExecutableIn(const Sandbox& sandbox, const std::string& executable) {
        return sandbox.app + "/" + std::filesystem::path(executable).filename().string();
    }
    static std::string Output(const Host& host) {
        std::string text;
        for (const auto& line : host.lines()) text += line + "\n";
        return text;
    }
};

// (module (func (export "add") (param i32 i32) (result i32) local.get 0 local.get 1 i32.add))
const std::string AddModule(
    "\0asm\1\0\0\0\1\7\1\x60\2\x7f\x7f\1\x7f\3\2\1\0\7\7\1\3add\0\0\n\x09\1\7\0\x20\0\x20\1\x6a"
    "\x0b",
    41);

TEST_F(LinuxHost, PageLoadsFromTheAppOriginAndFollowsTheRules) {
    Sandbox sandbox = MakeSandbox("basics");
    sandbox.WriteFile("www/add.wasm", AddModule);
    sandbox.WriteFile("www/range.txt", "0123456789abcdefghijKLMNOPQRST");
    std::filesystem::copy_file(std::string(LS_EXAMPLE_APP_DIR) + "/www/audio/chime.wav",
                               sandbox.app + "/www/chime.wav");
    Host host(ExecutableIn(sandbox, TestHost), sandbox.Environment(display->name()));

    // The manifest's start page, query included, under the fixed origin; the
    // query is no part of the file the start page check looks for.
    EXPECT_EQ(host.Result("location"), "lanternshell://app/index.html?from=manifest");
    EXPECT_EQ(host.Result("secure"), true);
    EXPECT_EQ(host.Result("size"), json::array({640, 480}));
    EXPECT_EQ(host.Result("postMessage"), "function");
    EXPECT_EQ(host.Result("bridge hidden"), true);
    EXPECT_EQ(host.Result("missing"), 404);
    EXPECT_EQ(host.Result("outside www"), 404);
    EXPECT_EQ(host.Result("outside www backslash"), 404);
    EXPECT_EQ(host.Result("wasm"), 5);
    EXPECT_EQ(host.Result("worker"), 21);
    // A byte range asked for by the page itself, answered by the router.
    EXPECT_EQ(host.Result("range"), (json{{"status", 206},
                                          {"contentRange", "bytes 10-19/30"},
                                          {"contentLength", "10"},
                                          {"body", "abcdefghij"}}));
    // Permissions are the app's to use.
    const json located = host.Result("geolocation");
    EXPECT_TRUE(located == json::array({"allowed", "granted"}) ||
                located == json::array({"position", "granted"}))
        << located;
    // Sound needs a click unless the manifest says otherwise (the media
    // test's does), as on Windows.
    EXPECT_EQ(host.Result("autoplay"), "NotAllowedError");
    // A link, a script and a file address: the page stays where it is.
    EXPECT_EQ(host.Result("after navigation"), "lanternshell://app/index.html?from=manifest");

    // The caption follows each title the document takes.
    for (const std::string title : {"Lantern Two", "Lantern Three"}) {
        EXPECT_EQ(host.Result("title"), title);
        EXPECT_NE(display->FindWindow(title, milliseconds(1200)), 0u) << title;
    }
    EXPECT_EQ(host.Wait(), 0) << Output(host);

    // The range went through the router as the page sent it.
    EXPECT_NE(std::find(host.lines().begin(), host.lines().end(),
                        "request: 206 bytes=10-19 lanternshell://app/range.txt"),
              host.lines().end())
        << Output(host);
    // Nothing outside the app origin was ever asked of the content server.
    for (const auto& line : host.lines()) {
        if (line.rfind("request: ", 0) != 0) continue;
        EXPECT_NE(line.find(" lanternshell://app/"), std::string::npos) << line;
    }

    // The diagnostics log in the data folder: the start, the 404s, the end.
    const auto log = ReadLogEvents(sandbox.dataHome + "/ls-e2e-basics/Lanternshell.log");
    ASSERT_GE(log.size(), 4u);
    EXPECT_TRUE(
        std::regex_match(log[0], std::regex(R"(Lanternshell \d+\.\d+\.\d+\.\d+ started: )"
                                            R"("[^"]+/lanternshell_test_host" in "[^"]+/")")))
        << log[0];
    EXPECT_NE(log[0].find("\"" + sandbox.app + "/\""), std::string::npos) << log[0];
    EXPECT_EQ(log[1], "manifest: name \"ls-e2e-basics\", start page \"index.html?from=manifest\"");
    EXPECT_TRUE(std::regex_match(log[2], std::regex(R"(engine: WebKitGTK 2\.\d+\.\d+)"))) << log[2];
    EXPECT_NE(std::find(log.begin(), log.end(), "404 no-such-file.txt"), log.end());
    EXPECT_EQ(log.back(), "exit code 0");
}

TEST_F(LinuxHost, ModulesLoadWithAJavaScriptType) {
    Sandbox sandbox = MakeSandbox("basics");
    sandbox.WriteFile("www/add.wasm", AddModule);
    Host host(ExecutableIn(sandbox, TestHost), sandbox.Environment(display->name()));
    EXPECT_EQ(host.Result("module"), 42) << Output(host);
}

// The recorder stands in for every program the desktop could start: web,
// mail, text files, the app's own scheme and a store's; only web and mail
// reach it.
TEST_F(LinuxHost, NewWindowsReachTheDefaultProgramsOnlyForWebAndMail) {
    Sandbox sandbox = MakeSandbox("links");
    const std::string note = sandbox.root + "/note.txt";
    sandbox.WriteFile(note, "a local file\n");
    sandbox.WriteFile("www/local.js",
                      "document.getElementById('file').href = 'file://" + note + "';\n");
    auto environment = sandbox.Environment(display->name());
    environment["GST_PLUGIN_PATH"] = "/user/plugins";
    Host host(ExecutableIn(sandbox, TestHost), environment);
    EXPECT_EQ(host.Result("window.open"), true);
    EXPECT_EQ(host.Result("location"), "lanternshell://app/index.html");
    EXPECT_EQ(host.Result("done"), true);

    const std::set<std::string> expected{"https://example.com/from-link?x=1",
                                         "mailto:someone@example.com?subject=Hello",
                                         "https://example.org/from-script"};
    const auto recorded = sandbox.Recorded(expected.size(), milliseconds(5000));
    // Launches are asynchronous: give a wrong one time to arrive as well.
    const auto settled = sandbox.Recorded(expected.size() + 1, milliseconds(700));
    EXPECT_EQ(std::set<std::string>(settled.begin(), settled.end()), expected) << Output(host);
    EXPECT_EQ(settled.size(), expected.size());
    // The user's environment, not the one the host exports for the engine.
    std::ifstream inherited(sandbox.inherited);
    size_t launches = 0;
    for (std::string line; std::getline(inherited, line); ++launches)
        EXPECT_EQ(line, "root=unset protocols=unset plugins=/user/plugins");
    EXPECT_EQ(launches, settled.size());
}

TEST_F(LinuxHost, MessagesAndElementsSwitchFullscreenAndBack) {
    // The page leaves element fullscreen itself, or the player with F11.
    for (const bool f11 : {false, true}) {
        SCOPED_TRACE(f11 ? "F11" : "page");
        Sandbox sandbox(f11 ? "fullscreen-f11" : "fullscreen-page", TestHost, "fullscreen");
        if (f11)
            sandbox.WriteFile("package.json",
                              R"({"name": "ls-e2e-fullscreen", "main": "index.html?f11", "window":)"
                              R"( {"title": "Fullscreen", "width": 640, "height": 480,)"
                              R"( "resizable": false}})");
        Host host(ExecutableIn(sandbox, TestHost), sandbox.Environment(display->name()));
        const json screen = host.Result("screen");
        ASSERT_EQ(screen, json::array({1280, 1024})) << Output(host);
        const json windowed = json::array({640, 480});
        EXPECT_EQ(host.Result("windowed"), windowed);
        EXPECT_EQ(host.Result("message fullscreen"), screen);
        EXPECT_EQ(host.Result("still fullscreen"), screen);
        EXPECT_EQ(host.Result("message windowed"), windowed);

        ASSERT_EQ(host.Result("click me"), true);
        const unsigned long window = display->FindWindow("Fullscreen");
        ASSERT_NE(window, 0u);
        display->Click(window);
        EXPECT_EQ(host.Result("element fullscreen"), screen);
        if (f11) {
            ASSERT_EQ(host.Result("press f11"), true);
            display->Run({"xdotool", "key", "F11"});
        }
        EXPECT_EQ(host.Result("element windowed"), windowed);
        EXPECT_EQ(host.Wait(), 0) << Output(host);
    }
}

TEST_F(LinuxHost, StorageSurvivesToTheNextRunInTheDataFolder) {
    Sandbox sandbox = MakeSandbox("storage");
    const auto environment = sandbox.Environment(display->name());
    const std::string executable = ExecutableIn(sandbox, TestHost);
    for (const json& expected : {json(nullptr), json("level 1"), json("level 1+")}) {
        Host host(executable, environment);
        EXPECT_EQ(host.Result("read"), expected);
        ASSERT_EQ(host.Wait(), 0) << Output(host);
    }
    EXPECT_TRUE(std::filesystem::is_directory(sandbox.dataHome + "/ls-e2e-storage"));
}

// Every call of window.lanternshell.saves on the real engine, a refused name
// and a refused size included, and the log's lines about them.
TEST_F(LinuxHost, SavesAreWrittenReadListedAndRemovedOrRefusedByTheirRule) {
    Sandbox sandbox = MakeSandbox("saves");
    sandbox.WriteFile("package.json", R"({"name": "ls-e2e-saves", "main": "index.html?api"})");
    Host host(ExecutableIn(sandbox, TestHost), sandbox.Environment(display->name()));
    const auto ok = [](const json& value) { return json{{"value", value}}; };
    const auto refused = [](const std::string& why) { return json{{"error", why}}; };
    const std::string nameRule =
        "a save name can't be a device name (\"con\", \"nul.txt\", \"COM1\"...)";
    const std::string sizeRule =
        "a save is at most 16 MiB, and this text takes 16777217 bytes as UTF-8";
    EXPECT_EQ(host.Result("api", milliseconds(30000)), json({{"write", ok("undefined")},
                                                             {"read", ok("level 3 \u2713")},
                                                             {"missing", ok(nullptr)},
                                                             {"list", ok(json::array({"slot 1"}))},
                                                             {"name", refused(nameRule)},
                                                             {"size", refused(sizeRule)},
                                                             {"removed", ok(true)},
                                                             {"after", ok(json::array())}}))
        << Output(host);
    kill(host.pid(), SIGTERM);
    ASSERT_EQ(host.Wait(), 0) << Output(host);
    const std::string data = sandbox.dataHome + "/ls-e2e-saves";
    std::vector<std::string> savesLines;
    for (const std::string& line : ReadLogEvents(data + "/Lanternshell.log"))
        if (line.rfind("saves", 0) == 0) savesLines.push_back(line);
    // The folder at start, and a line for each refusal.
    EXPECT_EQ(savesLines, (std::vector<std::string>{"saves: \"" + data + "/saves\"",
                                                    "saves.write \"con\": " + nameRule,
                                                    "saves.write \"big\": " + sizeRule}));
}

// The mirror of local storage: a profile that was lost gets the file back
// before the page's first script, and a game's clear() is not undone.
TEST_F(LinuxHost, TheMirrorRestoresALostProfileAndKeepsAGamesClear) {
    Sandbox sandbox = MakeSandbox("saves");
    const std::string data = sandbox.dataHome + "/ls-e2e-saves";
    const std::string key = "lanternshell-mirror-generation";
    const struct {
        const char* mode;
        json first;   // local storage for the page's first script
        json mirror;  // the mirror's file once the run has ended
    } runs[] = {
        {"set", json::object(), {{"generation", 1}, {"items", {{"level", "3"}}}}},
        {"clear", {{"level", "3"}, {key, "1"}}, {{"generation", 2}, {"items", json::object()}}},
        {"check", {{key, "2"}}, {{"generation", 2}, {"items", json::object()}}},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.mode);
        sandbox.WriteFile("package.json", std::string(R"({"name": "ls-e2e-saves", "main": )") +
                                              "\"index.html?" + run.mode +
                                              R"(", "saves": {"mirror-local-storage": true}})");
        Host host(ExecutableIn(sandbox, TestHost), sandbox.Environment(display->name()));
        EXPECT_EQ(host.Result("first"), run.first) << Output(host);
        ASSERT_EQ(host.Result("changed"), true) << Output(host);
        kill(host.pid(), SIGTERM);
        ASSERT_EQ(host.Wait(), 0) << Output(host);
        std::ifstream file(data + "/saves/local-storage.json");
        EXPECT_EQ(json::parse(file, nullptr, false), run.mirror);
        // The profile is lost: all of the data folder but the saves and the log.
        if (run.mode == std::string("set"))
            for (const auto& entry : std::filesystem::directory_iterator(data))
                if (entry.path().filename() != "saves" &&
                    entry.path().filename() != "Lanternshell.log")
                    std::filesystem::remove_all(entry.path());
    }
}

// One "media: <status> <range> <uri>" line of the test plugin's log.
struct MediaAnswer {
    int status = 0;
    std::string range;  // "-" for none
    std::string uri;
};

std::optional<MediaAnswer> ReadMediaAnswer(const std::string& line) {
    if (line.rfind("media: ", 0) != 0) return std::nullopt;
    MediaAnswer answer;
    std::istringstream(line.substr(7)) >> answer.status >> answer.range >> answer.uri;
    return answer;
}

// Media plays in the engine's web process, through the plugin beside the
// executable: each of its reads is a range request answered by the router.
// The second run forces the engine's sandbox on, where the content folder
// must still be readable.
TEST_F(LinuxHost, MediaPlaysAndSeeksThroughRangeRequests) {
    std::string clipFile;
    for (const bool sandboxed : {false, true}) {
        SCOPED_TRACE(sandboxed ? "sandbox on" : "sandbox off");
        Sandbox sandbox(sandboxed ? "media-sandboxed" : "media", TestHost, "media");
        const std::string clip = sandbox.app + "/www/clip.webm";
        if (clipFile.empty()) {
            // Made here, never committed: ten seconds of VP8, a key frame a
            // second, its index at the end.
            e2e::RunAndRead({"ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                             "testsrc=size=320x240:rate=25", "-t", "10", "-c:v", "libvpx", "-b:v",
                             "400k", "-g", "25", clip});
            clipFile = clip;
        } else {
            std::filesystem::copy_file(clipFile, clip);
        }
        const uint64_t clipSize = std::filesystem::file_size(clip);
        ASSERT_GT(clipSize, 100000u);
        std::filesystem::copy_file(std::string(LS_EXAMPLE_APP_DIR) + "/www/audio/chime.wav",
                                   sandbox.app + "/www/chime.wav");
        auto environment = sandbox.Environment(display->name());
        if (sandboxed) environment["WEBKIT_FORCE_SANDBOX"] = "1";

        Host host(ExecutableIn(sandbox, TestHost), environment);
        const json duration = host.Result("duration", milliseconds(10000));
        ASSERT_TRUE(duration.is_number()) << duration << Output(host);
        EXPECT_NEAR(duration.get<double>(), 10.0, 0.2);
        EXPECT_EQ(host.Result("playing"), true);
        const double targets[] = {6, 2.5, 9.4};  // forwards, backwards, near the end
        for (const double target : targets) {
            const json seek = host.Result("seek");
            ASSERT_TRUE(seek.is_object()) << seek << Output(host);
            EXPECT_EQ(seek["target"], target);
            EXPECT_NEAR(seek["at"].get<double>(), target, 0.15) << seek;
            EXPECT_EQ(seek["advanced"], true) << seek;
        }
        const json ended = host.Result("ended");
        EXPECT_EQ(ended["ended"], true) << ended;
        EXPECT_EQ(ended["error"], nullptr) << ended;
        // The example app's chime, with its sound, started without a click.
        const json chime = host.Result("chime");
        ASSERT_TRUE(chime.is_object()) << chime << Output(host);
        EXPECT_EQ(chime["ended"], true) << chime;
        EXPECT_GT(chime["duration"].get<double>(), 0.5) << chime;
        // MEDIA_ERR_SRC_NOT_SUPPORTED: the router's 404 is the source's error.
        EXPECT_EQ(host.Result("missing"), 4);
        EXPECT_EQ(host.Wait(), 0) << Output(host);

        // The plugin's log. Every read is a 206 within the file.
        std::vector<uint64_t> readStarts;
        std::map<std::string, std::set<int>> statuses;
        for (const auto& line : host.lines()) {
            const auto answer = ReadMediaAnswer(line);
            if (!answer) continue;
            const std::string file = answer->uri.substr(answer->uri.rfind('/') + 1);
            statuses[file].insert(answer->status);
            // Without a range: the size, read before the first range.
            if (answer->range == "-" || file != "clip.webm") continue;
            EXPECT_EQ(answer->status, 206) << line;
            uint64_t first = 0, last = 0;
            ASSERT_EQ(
                std::sscanf(answer->range.c_str(), "bytes=%" SCNu64 "-%" SCNu64, &first, &last), 2)
                << line;
            EXPECT_LE(first, last) << line;
            EXPECT_LT(last, clipSize) << line;
            readStarts.push_back(first);
        }
        EXPECT_EQ(statuses["clip.webm"], std::set<int>({200, 206})) << Output(host);
        EXPECT_EQ(statuses["chime.wav"], std::set<int>({200, 206})) << Output(host);
        EXPECT_EQ(statuses["no-such.wav"], std::set<int>({404})) << Output(host);
        // Seeks read where their times lie, in the plugin's own order (the
        // page's reports travel another way and are not ordered against it):
        // a read near 6 s, then one back near 2.5 s, and after the one near
        // 6 s one near 9.4 s (the index at the end, read at the start, does
        // not count for it).
        const auto readNear = [&](size_t from, double seconds) {
            return std::find_if(
                       readStarts.begin() + static_cast<std::ptrdiff_t>(from), readStarts.end(),
                       [&](uint64_t first) {
                           return std::abs(static_cast<double>(first) / clipSize - seconds / 10) <
                                  0.15;
                       }) -
                   readStarts.begin();
        };
        const size_t forwards = readNear(0, targets[0]);
        ASSERT_LT(forwards, readStarts.size()) << "no read near 6 s\n" << Output(host);
        EXPECT_LT(readNear(forwards + 1, targets[1]), readStarts.size())
            << "no read back near 2.5 s after the one near 6 s\n"
            << Output(host);
        EXPECT_LT(readNear(forwards + 1, targets[2]), readStarts.size())
            << "no read near 9.4 s after the one near 6 s\n"
            << Output(host);
    }
}

// With the shipped media plugin, which plays but prints nothing.
TEST_F(LinuxHost, ShippedExecutableRunsTheAppWithoutTheTestChannel) {
    Sandbox sandbox = MakeSandbox("shipped", Shipped);
    std::filesystem::copy_file(std::string(LS_EXAMPLE_APP_DIR) + "/www/audio/chime.wav",
                               sandbox.app + "/www/chime.wav");
    sandbox.WriteFile("package.json", R"({"name": "ls-e2e-shipped", "main": "index.html?timeout=)" +
                                          std::to_string(ScaledMs(5000)) +
                                          "&linger=" + std::to_string(ScaledMs(1500)) +
                                          R"(", "settings": {"autoplay": true}})");
    Host host(ExecutableIn(sandbox, Shipped), sandbox.Environment(display->name()));
    const unsigned long window = display->FindWindow("no test channel, .*", milliseconds(10000));
    ASSERT_NE(window, 0u);
    EXPECT_EQ(display->Run({"xdotool", "getwindowname", std::to_string(window)}),
              "no test channel, chime played\n");
    EXPECT_EQ(host.Wait(milliseconds(10000)), 0);
    for (const auto& line : host.lines()) EXPECT_NE(line.rfind("media: ", 0), 0u) << line;
}

TEST_F(LinuxHost, StartupFailuresShowTheirTextAndExitWithOne) {
    const struct {
        const char* name;
        const char* manifest;  // null: no package.json at all
        const char* text;
        const char* caption = "Lanternshell";
    } cases[] = {
        {"missing", nullptr,
         "Failed to load package.json. Check the file is in the same folder as the app."},
        {"invalid", "{\"name\": \"x\",}",
         "Failed to parse package.json. Check the file has valid JSON and that all parameters "
         "are correct."},
        // The start page is checked before the window opens; the box names it
        // as the manifest does and carries the app's title.
        {"start page missing",
         "{\"name\": \"x\", \"main\": \"levels/one.html?level=2\", \"window\": {\"title\": "
         "\"Start\"}}",
         "The start page \"levels/one.html?level=2\" named in package.json is not in the www "
         "folder.",
         "Start"},
        // File names are case-sensitive here: www holds index.html.
        {"start page in another case",
         "{\"name\": \"x\", \"main\": \"Index.html\", \"window\": {\"title\": \"Start\"}}",
         "The start page \"Index.html\" named in package.json is not in the www folder.", "Start"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox sandbox(std::string("failure-") + c.name, Shipped, "");
        if (c.manifest) sandbox.WriteFile("package.json", c.manifest);
        sandbox.WriteFile("www/index.html", "<!doctype html><title>Start</title>");
        Host host(ExecutableIn(sandbox, Shipped), sandbox.Environment(display->name()));
        // The dialog's OK button ends the process.
        ASSERT_TRUE(display->DismissDialog(c.caption));
        EXPECT_EQ(host.Wait(), 1);
        EXPECT_EQ(host.StandardError(), std::string(c.text) + "\n");
    }
}

// The data folder, and with it the log, is $XDG_DATA_HOME/<name> when that
// is an absolute path, and ~/.local/share/<name> otherwise.
TEST_F(LinuxHost, DataFolderFollowsAnAbsoluteXdgDataHomeOnly) {
    Sandbox sandbox = MakeSandbox("", Shipped);
    sandbox.WriteFile("package.json", R"({"name": "ls-e2e-data"})");
    sandbox.WriteFile("www/index.html", "<!doctype html><script>window.close()</script>");
    const std::string fallback = sandbox.home + "/.local/share";
    const struct {
        const char* name;
        std::optional<std::string> xdgDataHome;  // nothing: unset
        std::string expected;
    } cases[] = {
        {"absolute", sandbox.dataHome + "/", sandbox.dataHome},
        {"unset", std::nullopt, fallback},
        {"relative", "relative/data", fallback},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto environment = sandbox.Environment(display->name());
        environment.erase("XDG_DATA_HOME");
        if (c.xdgDataHome) environment["XDG_DATA_HOME"] = *c.xdgDataHome;
        const std::string log = c.expected + "/ls-e2e-data/Lanternshell.log";
        std::filesystem::remove(log);
        // Started in the sandbox, where a relative folder would land.
        Host host(ExecutableIn(sandbox, Shipped), environment, sandbox.root);
        EXPECT_EQ(host.Wait(), 0);
        const auto lines = ReadLogEvents(log);
        EXPECT_FALSE(lines.empty() || lines.back() != "exit code 0") << log;
    }
    EXPECT_FALSE(std::filesystem::exists(sandbox.root + "/relative"));
}

// A web process that ends after the page has loaded is followed by a reload,
// three times in a minute; the fourth time the app gives up, as on Windows.
TEST_F(LinuxHost, CrashedPagesAreReloadedThreeTimesAMinute) {
    Sandbox sandbox = MakeSandbox("crash");
    Host host(ExecutableIn(sandbox, TestHost), sandbox.Environment(display->name()));
    for (int load = 1; load <= 4; ++load) {
        ASSERT_EQ(host.Result("loaded", milliseconds(10000)), true) << load << Output(host);
        const auto processes = e2e::ChildProcesses(host.pid(), "WebKitWebProces");
        ASSERT_FALSE(processes.empty());
        for (int pid : processes) kill(pid, SIGKILL);
    }
    ASSERT_TRUE(display->DismissDialog("Crash")) << Output(host);
    EXPECT_EQ(host.Wait(), 1);
    EXPECT_EQ(host.StandardError(),
              "The app stopped unexpectedly and could not be restarted. Run it again.\n");

    const auto log = ReadLogEvents(sandbox.dataHome + "/ls-e2e-crash/Lanternshell.log");
    const std::string reload = "process failure: the web process crashed: reloading the page";
    EXPECT_EQ(std::count(log.begin(), log.end(), reload), 3) << ::testing::PrintToString(log);
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(log.end() - 3, log.end()),
              (std::vector<std::string>{"process failure: the web process crashed",
                                        "the app stops: too many failures in one minute",
                                        "exit code 1"}));
}

// An executable whose own path can't be read (run from memory, here) has no
// folder to find its app in; the current directory is no stand-in, even when
// it holds an app.
TEST_F(LinuxHost, WithoutItsOwnPathTheHostFindsNoManifest) {
    Sandbox sandbox = MakeSandbox("shipped", Shipped);
    const int image = memfd_create("lanternshell", 0);
    ASSERT_GE(image, 0);
    {
        std::ifstream from(Shipped, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(from)),
                                std::istreambuf_iterator<char>());
        ASSERT_EQ(write(image, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    Host host("/proc/self/fd/" + std::to_string(image), sandbox.Environment(display->name()),
              sandbox.app);
    close(image);
    ASSERT_TRUE(display->DismissDialog("Lanternshell")) << Output(host);
    EXPECT_EQ(host.Wait(), 1);
    EXPECT_EQ(host.StandardError(),
              "Failed to load package.json. Check the file is in the same folder as the app.\n");
}

// The window stays hidden while the page's script holds its document back,
// then shows with the manifest's title (the page has none) and its icon.
TEST_F(LinuxHost, WindowShowsOnceTheDocumentHasLoadedWithTheManifestTitleAndIcon) {
    Sandbox sandbox = MakeSandbox("plain");
    const std::string title = "Plain from the manifest";
    // Busy long enough for the test to look, however late its result arrives.
    json manifest = json::parse(std::ifstream(sandbox.app + "/package.json"));
    manifest["main"] = "index.html?busy=" + std::to_string(ScaledMs(2000));
    sandbox.WriteFile("package.json", manifest.dump());
    Host host(ExecutableIn(sandbox, TestHost), sandbox.Environment(display->name()));
    const json busyUntil = host.Result("busy");
    ASSERT_TRUE(busyUntil.is_number()) << Output(host);
    const auto until =
        std::chrono::system_clock::time_point(milliseconds(busyUntil.get<long long>() - 300));
    int looks = 0;
    for (; std::chrono::system_clock::now() < until; ++looks) {
        EXPECT_EQ(display->FindWindow(title, milliseconds(0)), 0u) << "look " << looks;
        std::this_thread::sleep_for(milliseconds(100));
    }
    EXPECT_GE(looks, 1);
    ASSERT_EQ(host.Result("loaded"), true) << Output(host);
    const unsigned long window = display->FindWindow(title);
    ASSERT_NE(window, 0u);
    const std::string icon = display->Run({"xprop", "-id", std::to_string(window), "_NET_WM_ICON"});
    EXPECT_NE(icon.find("Icon (16 x 16)"), std::string::npos) << icon;
    EXPECT_EQ(host.Wait(), 0) << Output(host);
}

// Sizes past any display, or none at all: the window still opens at a size
// the window system takes, and closing it ends the program normally.
TEST_F(LinuxHost, ManifestSizesAreKeptToWhatTheWindowSystemTakes) {
    for (const char* size :
         {"\"width\": 2147483647, \"height\": 0", "\"width\": 2147483647, \"height\": -5",
          "\"width\": 100000, \"height\": 70000"}) {
        SCOPED_TRACE(size);
        Sandbox sandbox = MakeSandbox("sizes");
        sandbox.WriteFile("package.json", std::string("{\"name\": \"ls-e2e-sizes\", \"window\": "
                                                      "{\"title\": \"Sizes\", ") +
                                              size + "}}");
        Host host(ExecutableIn(sandbox, TestHost), sandbox.Environment(display->name()));
        const json inner = host.Result("size", milliseconds(10000));
        ASSERT_TRUE(inner.is_array()) << inner << Output(host);
        EXPECT_GE(inner[0].get<int>(), 1);
        EXPECT_LE(inner[0].get<int>(), 16384);
        EXPECT_GE(inner[1].get<int>(), 1);
        EXPECT_LE(inner[1].get<int>(), 16384);
        EXPECT_EQ(host.Wait(), 0) << Output(host);
    }
}

// The engine lets a script close only a window that has shown one document;
// the app's window closes from any of its pages.
TEST_F(LinuxHost, WindowCloseEndsTheProgramFromAnyAppPage) {
    Sandbox sandbox = MakeSandbox("pages");
    Host host(ExecutableIn(sandbox, TestHost), sandbox.Environment(display->name()));
    EXPECT_EQ(host.Result("page"), "/index.html");
    EXPECT_EQ(host.Result("page"), "/two.html");
    EXPECT_EQ(host.Result("history"), 2);
    EXPECT_EQ(host.Wait(), 0) << Output(host);
}

// The page's next key that is not Alt itself.
json NextKey(Host& host) {
    json key = host.Result("key");
    while (key == "Alt") key = host.Result("key");
    return key;
}

// Runs the quit app (with manifest, unless empty) and gives its window once
// the page has read its saves: 0 when it did not, or the window did not show,
// or saves were asked for and the page closes by itself.
unsigned long StartQuitApp(std::optional<Host>& host, const Sandbox& sandbox,
                           const std::string& manifest, json* saves = nullptr,
                           bool closesItself = false) {
    if (!manifest.empty()) sandbox.WriteFile("package.json", manifest);
    host.emplace(sandbox.app + "/lanternshell_test_host", sandbox.Environment(display->name()));
    const json read = host->Result("saves", milliseconds(10000));
    if (saves) *saves = read;
    return read.is_object() && !closesItself ? display->WindowOf(host->pid()) : 0;
}
std::string QuitManifest(const std::string& extra) {
    return R"({"name": "ls-e2e-quit", "window": {"title": "Quit")" + extra + "}";
}
int Quit(Host& host, int signal = SIGTERM) {
    kill(host.pid(), signal);
    return host.Wait();
}
size_t LogCount(const Sandbox& sandbox, const std::string& start) {
    const auto log = ReadLogEvents(sandbox.dataHome + "/ls-e2e-quit/Lanternshell.log");
    return std::count_if(log.begin(), log.end(),
                         [&](const std::string& line) { return line.rfind(start, 0) == 0; });
}

// Every way of quitting lets the page save as a browser tab would, and the
// engine writes the saves before the process ends, as the host does the save
// file the page writes in pagehide: 20 runs a way, each run reading back
// every save of the one before.
struct QuitWay {
    const char* name;
    const char* main;     // ?navigate closes by script after a navigation
    bool savesAndCloses;  // the page saves and closes in one task
    std::function<void(Host&, unsigned long window)> close;  // none: the page closes
};
const QuitWay QuitWays[] = {
    // The synthetic key is lost now and then on a busy machine, before the
    // window manager sees it (the host logs no quit): pressed again, as a
    // player would, while the window still shows.
    {"AltF4", "index.html", false,
     [](Host& host, unsigned long window) {
         for (int press = 0; press < 3; ++press) {
             display->Press(window, "alt+F4");
             const auto until = e2e::Clock::now() + Scaled(milliseconds(2000));
             while (display->WindowOf(host.pid(), milliseconds(0)) && e2e::Clock::now() < until)
                 std::this_thread::sleep_for(milliseconds(50));
             if (!display->WindowOf(host.pid(), milliseconds(0))) return;
         }
     }},
    {"SIGTERM", "index.html", false, [](Host& host, unsigned long) { kill(host.pid(), SIGTERM); }},
    {"WindowCloseAfterANavigation", "index.html?navigate", false, nullptr},
    {"SaveAndWindowCloseInOneTask", "index.html?save-and-close", true, nullptr},
};
void PrintTo(const QuitWay& way, std::ostream* out) {
    *out << way.name;
}
class QuitSequence : public LinuxHost, public testing::WithParamInterface<QuitWay> {};

TEST_P(QuitSequence, EverySaveIsReadBackByTheNextRun) {
    const QuitWay& way = GetParam();
    Sandbox sandbox = MakeSandbox("quit");
    constexpr int runs = 20;
    for (int run = 0; run < runs; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        std::optional<Host> host;
        json saves;
        const unsigned long window = StartQuitApp(
            host, sandbox,
            run ? "" : QuitManifest(std::string(R"(}, "main": ")") + way.main + R"(")"), &saves,
            !way.close);
        ASSERT_EQ(saves, json({{"pagehide", run},
                               {"visibilitychange", run},
                               {"beforeunload", run},
                               {"close", way.savesAndCloses ? run : 0},
                               {"file", run}}))
            << Output(*host);
        if (way.close) way.close(*host, window);
        ASSERT_EQ(host->Wait(), 0) << Output(*host);
    }
    EXPECT_EQ(LogCount(sandbox, "the browser exited in "), size_t(runs));
}

INSTANTIATE_TEST_SUITE_P(Ways, QuitSequence, testing::ValuesIn(QuitWays),
                         [](const auto& info) { return std::string(info.param.name); });

// The page's beforeunload asks once, the player stays (the box's default):
// the app runs on past the quit sequence's bound, and quits when asked again.
TEST_F(LinuxHost, StayingWhenThePageAsksKeepsTheApp) {
    Sandbox sandbox = MakeSandbox("quit");
    std::optional<Host> host;
    const unsigned long window =
        StartQuitApp(host, sandbox, R"({"name": "ls-e2e-quit", "main": "index.html?ask"})");
    ASSERT_NE(window, 0u) << Output(*host);
    // A page may ask only once the player has used it.
    const auto click = [&] {
        display->Click(window);
        return host->Result("click");
    };
    ASSERT_EQ(click(), 1) << Output(*host);
    kill(host->pid(), SIGTERM);
    ASSERT_TRUE(display->DismissDialog("Lanternshell")) << Output(*host);
    std::this_thread::sleep_for(milliseconds(PageUnloadTimeoutMsForTests) +
                                Scaled(milliseconds(500)));
    EXPECT_EQ(click(), 2) << Output(*host);
    EXPECT_EQ(Quit(*host), 0) << Output(*host);
    EXPECT_EQ(LogCount(sandbox, "the player chose to stay"), 1u);
}

// A page that hangs in beforeunload never keeps the app open: it quits with
// 0 once the page's bound has run out.
TEST_F(LinuxHost, AHungPageIsLeftWithinTheBounds) {
    Sandbox sandbox = MakeSandbox("quit");
    std::optional<Host> host;
    ASSERT_NE(StartQuitApp(host, sandbox, QuitManifest(R"(}, "main": "index.html?hang")")), 0u);
    kill(host->pid(), SIGTERM);
    EXPECT_EQ(host->Wait(milliseconds(9000)), 0) << Output(*host);
    EXPECT_EQ(LogCount(sandbox, "the page did not unload within 2000 ms"), 1u);
    // By the log's own clock: the page's bound, and the browser's quick exit.
    const long long took = LogMsBetween(sandbox.dataHome + "/ls-e2e-quit/Lanternshell.log",
                                        "quitting: ", "exit code ");
    EXPECT_GE(took, PageUnloadTimeoutMsForTests);
    EXPECT_LT(took, PageUnloadTimeoutMsForTests + static_cast<long long>(ScaledMs(700)));
    // Its process is ended with it, and the browser's network process ends too.
    EXPECT_EQ(LogCount(sandbox, "the browser exited in "), 1u);
}

// Changed in the first run, the window comes back so in the next two. Openbox
// has no key to maximize: that run starts from a saved maximized window.
TEST_F(LinuxHost, TheWindowComesBackWhereTheLastRunLeftIt) {
    const struct {
        const char* name;
        std::function<void(unsigned long window)> change;
        const char* state;  // in _NET_WM_STATE; empty: the size shows it
    } rows[] = {
        {"resized",
         [](unsigned long window) {
             display->Run(
                 {"xdotool", "windowsize", "--sync", std::to_string(window), "500", "300"});
         },
         ""},
        {"maximized", nullptr, "_NET_WM_STATE_MAXIMIZED_HORZ"},
        {"fullscreen", [](unsigned long window) { display->Press(window, "F11"); },
         "_NET_WM_STATE_FULLSCREEN"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Sandbox sandbox(std::string("remember-") + row.name, TestHost, "quit");
        if (!row.change)
            sandbox.WriteFile(sandbox.dataHome + "/ls-e2e-quit/window.json",
                              R"({"x":40,"y":30,"width":400,"height":250,"maximized":true,)"
                              R"("fullscreen":false})");
        for (int run = 0; run < 3; ++run) {
            SCOPED_TRACE("run " + std::to_string(run));
            std::optional<Host> host;
            const unsigned long window = StartQuitApp(
                host, sandbox, QuitManifest(R"(, "width": 320, "height": 200, "remember": true})"));
            ASSERT_NE(window, 0u) << Output(*host);
            if (run == 0 && row.change) {
                EXPECT_EQ(display->ClientSize(window), "320x200");
                row.change(window);
            }
            if (*row.state)
                EXPECT_TRUE(display->StateBecomes(window, row.state, true))
                    << display->NetWmState(window);
            else
                EXPECT_EQ(display->ClientSize(window), "500x300");
            ASSERT_EQ(Quit(*host), 0) << Output(*host);
        }
    }
}

// F11 and Alt+Enter switch the window's fullscreen both ways and the page
// never sees them; with the keys off by the manifest the page gets them.
// window.fullscreen: fullscreen from the moment the window first maps.
TEST_F(LinuxHost, FullscreenFromTheKeysUnlessTurnedOffAndFromTheStart) {
    for (const bool keys : {true, false}) {
        for (const std::string key : {"F11", "alt+Return"}) {
            SCOPED_TRACE(key + (keys ? " on" : " off"));
            Sandbox sandbox(std::string("keys-") + (keys ? "on" : "off"), TestHost, "quit");
            std::optional<Host> host;
            const unsigned long window =
                StartQuitApp(host, sandbox,
                             QuitManifest(std::string(R"(}, "settings": {"fullscreen-keys": )") +
                                          (keys ? "true" : "false") + "}"));
            ASSERT_NE(window, 0u) << Output(*host);
            display->Press(window, key);
            if (keys) {
                EXPECT_TRUE(display->StateBecomes(window, "_NET_WM_STATE_FULLSCREEN", true));
                display->Press(window, key);
                EXPECT_TRUE(display->StateBecomes(window, "_NET_WM_STATE_FULLSCREEN", false));
                display->Run({"xdotool", "key", "b"});
            }
            EXPECT_EQ(NextKey(*host), keys ? "b" : key == "F11" ? "F11" : "Enter");
            EXPECT_EQ(display->NetWmState(window).find("_NET_WM_STATE_FULLSCREEN"),
                      std::string::npos);
            EXPECT_EQ(Quit(*host), 0) << Output(*host);
        }
    }
    Sandbox sandbox("fullscreen-start", TestHost, "quit");
    sandbox.WriteFile("package.json", QuitManifest(R"(, "fullscreen": true})"));
    Host host(ExecutableIn(sandbox, TestHost), sandbox.Environment(display->name()));
    const unsigned long window = display->FindWindow("Quit");
    ASSERT_NE(window, 0u) << Output(host);
    EXPECT_NE(display->NetWmState(window).find("_NET_WM_STATE_FULLSCREEN"), std::string::npos);
    EXPECT_EQ(display->ClientSize(window), "1280x1024");
    EXPECT_EQ(Quit(host), 0) << Output(host);
}

// The page's failed loads, errors and console lines reach the log as the
// manifest's page-log says; and a fullscreen start's first layout already
// has the screen's size, with no resize after it.
TEST_F(LinuxHost, ThePagesErrorsReachTheLogAndItsFirstLayoutHasTheFinalSize) {
    const std::vector<std::string> errors = {
        "page error: failed to load script /missing.js",
        "page error: failed to load image /no-such.png",
        "page error: the console says 42",
        "page warning: careful",
        "page error: unhandled rejection: Error: nobody caught this at /index.html:",
        "page error: uncaught TypeError: thrown late at /index.html:"};
    const struct {
        const char* mode;
        size_t lines;  // starting "page"
    } cases[] = {{"errors", errors.size()}, {"all", errors.size() + 1}, {"off", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        Sandbox sandbox(std::string("page-log-") + c.mode, TestHost, "errors");
        sandbox.WriteFile("package.json",
                          std::string(R"({"name": "ls-e2e-errors", "window": {"fullscreen": true},)"
                                      R"( "settings": {"page-log": ")") +
                              c.mode + "\"}}");
        Host host(ExecutableIn(sandbox, TestHost), sandbox.Environment(display->name()));
        const json screen = {1280, 1024};
        EXPECT_EQ(host.Result("layout", milliseconds(10000)),
                  json({{"sizes", {{"ready", screen}, {"frame", screen}, {"load", screen}}},
                        {"resizes", 0}}))
            << Output(host);
        EXPECT_EQ(Quit(host), 0) << Output(host);
        std::vector<std::string> page;
        for (const auto& line : ReadLogEvents(sandbox.dataHome + "/ls-e2e-errors/Lanternshell.log"))
            if (line.rfind("page", 0) == 0) page.push_back(line);
        const auto count = [&](const std::string& start) {
            return std::count_if(page.begin(), page.end(), [&](const std::string& line) {
                return line.rfind(start, 0) == 0;
            });
        };
        EXPECT_EQ(page.size(), c.lines) << testing::PrintToString(page);
        if (!c.lines) continue;
        for (const auto& line : errors) EXPECT_EQ(count(line), 1) << line;
        EXPECT_EQ(count("page info: only with all"), c.lines > errors.size() ? 1 : 0);
    }
}

// F12 and Ctrl+Shift+I open the inspector (its own web process starts),
// unless the developer tools are off, when the page gets the key; a quit with
// it open is as quick as without.
TEST_F(LinuxHost, TheInspectorKeysOpenItAndAQuitWithItOpenIsQuick) {
    const struct {
        const char* key;
        bool devtools;
    } cases[] = {{"F12", true}, {"ctrl+shift+i", true}, {"F12", false}};
    int run = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + (c.devtools ? "" : ", devtools off"));
        Sandbox sandbox("inspector-" + std::to_string(++run), TestHost, "quit");
        std::optional<Host> host;
        const unsigned long window =
            StartQuitApp(host, sandbox,
                         QuitManifest(std::string(R"(}, "settings": {"enable-devtools": )") +
                                      (c.devtools ? "true" : "false") + "}"));
        ASSERT_NE(window, 0u) << Output(*host);
        const auto webProcesses = [&] {
            return e2e::ChildProcesses(host->pid(), "WebKitWebProces").size();
        };
        const size_t before = webProcesses();
        display->Press(window, c.key);
        if (c.devtools) {
            const auto deadline = e2e::Clock::now() + Scaled(milliseconds(5000));
            while (webProcesses() <= before && e2e::Clock::now() < deadline)
                std::this_thread::sleep_for(milliseconds(50));
            EXPECT_GT(webProcesses(), before);
        } else {
            EXPECT_EQ(NextKey(*host), "F12");
        }
        EXPECT_EQ(Quit(*host), 0) << Output(*host);
        EXPECT_EQ(LogCount(sandbox, "the browser did not exit"), 0u);
        EXPECT_LT(LogMsBetween(sandbox.dataHome + "/ls-e2e-quit/Lanternshell.log",
                               "quitting: ", "exit code "),
                  static_cast<long long>(ScaledMs(1000)));
    }
}

// Steam over its double, beside the executable as an author ships it: the
// page's calls settle, a refused name reaches nothing, the overlay's event
// reaches the page, and the stat stored in pagehide is sent before Steam is
// shut down. Without Steam or its library the page is told why.
TEST_F(LinuxHost, SteamAnswersThePageThroughTheAuthorsLibrary) {
    const struct {
        const char* play;
        bool library;
        const char* reason;  // starts it; empty while available
    } cases[] = {{"", true, ""},
                 {"absent", true, "Steam is not running"},
                 {"", false, "the game's folder has no usable libsteam_api.so"}};
    int run = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        Sandbox sandbox("steam-" + std::to_string(++run), TestHost, "steam");
        if (c.library)
            std::filesystem::copy_file(LS_STEAM_DOUBLE, sandbox.app + "/libsteam_api.so");
        auto environment = sandbox.Environment(display->name());
        const std::string calls = sandbox.root + "/calls", events = sandbox.root + "/events";
        environment["LS_STEAM_DOUBLE_CALLS"] = calls;
        environment["LS_STEAM_DOUBLE_EVENTS"] = events;
        environment["LS_STEAM_DOUBLE_PLAY"] = c.play;
        Host host(ExecutableIn(sandbox, TestHost), environment);
        const json state = host.Result("state", milliseconds(10000));
        const std::string reason = state.value("reason", "?");
        EXPECT_EQ(reason.rfind(c.reason, 0), 0u) << reason << Output(host);
        if (*c.reason) {
            EXPECT_EQ(state["available"], false);
            EXPECT_EQ(host.Result("user"), json({{"error", reason}}));
            EXPECT_EQ(host.Wait(), 0) << Output(host);
            continue;
        }
        EXPECT_EQ(state, json({{"available", true}, {"reason", ""}, {"frozen", true}}));
        EXPECT_EQ(host.Result("user"),
                  json({{"value",
                         {{"name", "Zo\u00eb \"Lantern\""}, {"steamId", "76561198000000042"}}}}));
        EXPECT_EQ(host.Result("unlock"), json::object());  // resolved with nothing
        EXPECT_EQ(host.Result("unlocked"), json({{"value", true}}));
        EXPECT_EQ(host.Result("refused").value("error", ""),
                  "the achievement name holds a control character");
        EXPECT_EQ(host.Result("stat"), json({{"value", 7}}));
        EXPECT_EQ(host.Result("keyboard"), json({{"value", false}}));
        ASSERT_EQ(host.Result("ready"), 1);
        std::ofstream(events) << "overlay 1\n";
        EXPECT_EQ(host.Result("overlay"), json({{"active", true}}));
        EXPECT_EQ(host.Wait(), 0) << Output(host);
        std::ifstream file(calls);
        const std::string recorded(std::istreambuf_iterator<char>(file), {});
        EXPECT_EQ(recorded.find("fault"), std::string::npos) << recorded;
        EXPECT_NE(recorded.find("ShowFloatingGamepadTextInput 3 10 20 300 40"), std::string::npos)
            << recorded;
        const size_t stored = recorded.rfind("StoreStats");
        EXPECT_LT(recorded.find("SetStatInt32 \"lanterns\" 9"), stored) << recorded;
        EXPECT_LT(stored, recorded.find("SteamAPI_Shutdown")) << recorded;
    }
}

// A minimized page's 100 ms timer: about once a second by the engine's own
// rule, at its pace with settings.background "run".
TEST_F(LinuxHost, AMinimizedPageKeepsItsTimersOnlyWhenTheManifestSaysRun) {
    for (const char* mode : {"throttle", "run"}) {
        SCOPED_TRACE(mode);
        Sandbox sandbox(std::string("background-") + mode, TestHost, "background");
        sandbox.WriteFile("package.json", std::string(R"({"name": "ls-e2e-background",)"
                                                      R"( "settings": {"background": ")") +
                                              mode + "\"}}");
        Host host(ExecutableIn(sandbox, TestHost), sandbox.Environment(display->name()));
        ASSERT_EQ(host.Result("loaded", milliseconds(10000)), true) << Output(host);
        const std::string window = std::to_string(display->WindowOf(host.pid()));
        display->Run({"xdotool", "windowminimize", "--sync", window});
        // Long enough for the engine's throttling, which starts a moment
        // after the page is hidden, to show in the rate.
        std::this_thread::sleep_for(milliseconds(5000));
        display->Run({"xdotool", "windowactivate", "--sync", window});
        const double rate = host.Result("rate").get<double>();
        if (std::string(mode) == "run")
            EXPECT_GT(rate, 5) << Output(host);
        else
            EXPECT_LT(rate, 3) << Output(host);
        EXPECT_EQ(Quit(host), 0) << Output(host);
    }
}

// Another window takes the keyboard; once the app's window is activated
// again, keys reach the page without a click (GTK gives the focus back to
// the view: the host needs nothing of its own for it).
TEST_F(LinuxHost, KeysReachThePageAfterAnotherWindowWasActive) {
    Sandbox sandbox = MakeSandbox("quit");
    Sandbox other("keys-other", TestHost, "quit");
    std::optional<Host> host, second;
    const unsigned long window = StartQuitApp(host, sandbox, "");
    const unsigned long otherWindow = StartQuitApp(second, other, R"({"name": "ls-e2e-other"})");
    ASSERT_TRUE(window && otherWindow) << Output(*host) << Output(*second);
    for (const char* key : {"x", "y"}) {
        display->Press(otherWindow, "o");
        EXPECT_EQ(second->Result("key"), "o");
        display->Press(window, key);
        EXPECT_EQ(host->Result("key"), key);
    }
    EXPECT_EQ(Quit(*second), 0);
    EXPECT_EQ(Quit(*host), 0);
}

// A second start of the same app presents the first (iconified here) and
// exits within a second (scaled: starting a process goes at the machine's
// pace); a killed first instance leaves no lock behind; with
// settings.single-instance false both run.
TEST_F(LinuxHost, OneInstancePerAppUnlessTheManifestAllowsMore) {
    Sandbox sandbox = MakeSandbox("quit");
    std::optional<Host> first, second;
    const unsigned long window = StartQuitApp(first, sandbox, "");
    ASSERT_NE(window, 0u) << Output(*first);
    display->Run({"xdotool", "windowminimize", "--sync", std::to_string(window)});
    ASSERT_TRUE(display->StateBecomes(window, "_NET_WM_STATE_HIDDEN", true));
    const auto started = e2e::Clock::now();
    second.emplace(ExecutableIn(sandbox, TestHost), sandbox.Environment(display->name()));
    EXPECT_EQ(second->Wait(milliseconds(1000)), 0) << Output(*second);
    EXPECT_LT(e2e::Clock::now() - started, Scaled(milliseconds(1000)));
    EXPECT_TRUE(second->lines().empty()) << Output(*second);  // no page, no request
    EXPECT_TRUE(display->StateBecomes(window, "_NET_WM_STATE_HIDDEN", false));
    char active[32];
    std::snprintf(active, sizeof active, "# 0x%lx", window);
    EXPECT_NE(display->Run({"xprop", "-root", "_NET_ACTIVE_WINDOW"}).find(active),
              std::string::npos);
    EXPECT_EQ(Quit(*first, SIGKILL), 128 + SIGKILL);
    EXPECT_NE(StartQuitApp(first, sandbox, ""), 0u) << Output(*first);
    EXPECT_NE(
        StartQuitApp(second, sandbox, QuitManifest(R"(}, "settings": {"single-instance": false})")),
        0u)
        << Output(*second);
    EXPECT_EQ(Quit(*second), 0);
    EXPECT_EQ(Quit(*first), 0);
}

// A right click reaches the page's own handler either way; the engine's
// menu, which takes the keyboard while it is open, only when the manifest
// leaves it on.
TEST_F(LinuxHost, ContextMenuCanBeSwitchedOffLeavingThePageItsClick) {
    for (const bool menu : {true, false}) {
        SCOPED_TRACE(menu ? "menu on" : "menu off");
        Sandbox sandbox(menu ? "menu-on" : "menu-off", TestHost, "menu");
        if (!menu)
            sandbox.WriteFile("package.json",
                              R"({"name": "ls-e2e-menu", "window": {"title": "Menu"},)"
                              R"( "settings": {"context-menu": false}})");
        Host host(ExecutableIn(sandbox, TestHost), sandbox.Environment(display->name()));
        ASSERT_EQ(host.Result("ready"), true) << Output(host);
        const unsigned long window = display->FindWindow("Menu");
        ASSERT_NE(window, 0u);
        display->Click(window, 3);
        EXPECT_EQ(host.Result("contextmenu"), true) << Output(host);
        // The menu opens after the page's handler has run.
        std::this_thread::sleep_for(Scaled(milliseconds(300)));
        display->Run({"xdotool", "key", "a"});
        EXPECT_EQ(host.Result("key", milliseconds(1200)),
                  menu ? json("<no result 'key'>") : json("a"));
        EXPECT_EQ(host.Wait(), 0) << Output(host);
    }
}

TEST_F(LinuxHost, WithoutADisplayTheHostSaysSoAndExitsWithOne) {
    Sandbox sandbox = MakeSandbox("shipped", Shipped);
    Host host(ExecutableIn(sandbox, Shipped), sandbox.Environment(""));
    EXPECT_EQ(host.Wait(), 1);
    EXPECT_NE(host.StandardError().find("neither DISPLAY nor WAYLAND_DISPLAY is set"),
              std::string::npos);
}

}  // namespace
