// The Windows end-to-end tests' plumbing: an app folder with the browser
// control's double where one way of reaching the control finds it, a run of
// the real executable against a scenario of events, and the double's
// transcript cut into what each event led to. For the program of
// tests/host/browser_e2e_test.cpp, whose LS_E2E_PATH names the way.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/text.h"
#include "tests/support/harness.h"
#include "tests/support/log_lines.h"

enum class BrowserPath { Loader, BuiltinFixed, BuiltinInstalled };
// The way of this run: LS_E2E_PATH, as ctest sets it for each run of the
// program; a name it does not know ends the run.
inline BrowserPath PathOfThisRun() {
    const char* set = std::getenv("LS_E2E_PATH");
    const std::string name = set ? set : "";
    if (name == "loader") return BrowserPath::Loader;
    if (name == "builtin_fixed") return BrowserPath::BuiltinFixed;
    if (name == "builtin_installed") return BrowserPath::BuiltinInstalled;
    std::fprintf(stderr, "LS_E2E_PATH is \"%s\", not loader, builtin_fixed or builtin_installed\n",
                 name.c_str());
    std::exit(2);
}
inline const BrowserPath ThisPath = PathOfThisRun();

inline const char* const Origin = "https://lanternshell.localhost/";
inline const wchar_t* const MainClass = L"WindowsLanternshell";

// Of lines: the first that starts with prefix (empty when none), how many
// do, how many hold part, and the index of the first that starts with
// prefix (lines.size() when none).
inline std::string FirstWith(const std::vector<std::string>& lines, const std::string& prefix) {
    const auto found = LinesStartingWith(lines, prefix);
    return found.empty() ? std::string() : found[0];
}
inline size_t Count(const std::vector<std::string>& lines, const std::string& prefix) {
    return LinesStartingWith(lines, prefix).size();
}
inline size_t CountContaining(const std::vector<std::string>& lines, const std::string& part) {
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const auto& line) {
        return line.find(part) != std::string::npos;
    }));
}
inline size_t PositionOf(const std::vector<std::string>& lines, const std::string& prefix) {
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].rfind(prefix, 0) == 0) return i;
    return lines.size();
}

// The manifest of the app "e2e-game", with extra merged in.
inline std::string Manifest(const nlohmann::json& extra = nlohmann::json::object(),
                            bool fixed = ThisPath == BrowserPath::BuiltinFixed) {
    nlohmann::json manifest = {
        {"name", "e2e-game"}, {"window", {{"title", "E2E Game"}, {"width", 640}, {"height", 480}}}};
    if (fixed) manifest["settings"]["distribution-mode"] = "fixed";
    manifest.merge_patch(extra);
    return manifest.dump();
}
// Its diagnostics log, and the log's events.
inline std::wstring LogPath() {
    return GetUserDataHome() + L"\\e2e-game\\Lanternshell.log";
}
inline std::wstring OldLogPath() {
    return GetUserDataHome() + L"\\e2e-game\\Lanternshell.old.log";
}
inline std::vector<std::string> LogEvents() {
    return ReadLogEvents(LogPath());
}

// An app folder with the double placed where path's loader finds it; every
// app starts a log of its own.
struct App {
    explicit App(const std::string& scenario = "", const std::string& manifest = Manifest(),
                 BrowserPath path = ThisPath)
        : folder(manifest, L"e2e"), path(path) {
        DeleteFileW(LogPath().c_str());
        DeleteFileW(OldLogPath().c_str());
        switch (path) {
            case BrowserPath::Loader:
                InstallLoaderDouble(folder.root.path(), scenario);
                transcriptFolder = folder.root.path();
                break;
            case BrowserPath::BuiltinFixed:
                transcriptFolder = InstallRuntimeDouble(folder.root / L"webview2", scenario);
                break;
            case BrowserPath::BuiltinInstalled:
                transcriptFolder = InstallRuntimeDouble(runtimes / L"120.0.2210.91", scenario);
                RegisterInstalledRuntime(L"HKCU", runtimes / L"120.0.2210.91");
                break;
        }
    }
    ~App() {
        if (path == BrowserPath::BuiltinInstalled) RegisterInstalledRuntime(L"HKCU", L"");
    }
    std::wstring www(const std::wstring& name) const { return folder.root / (L"www\\" + name); }

    AppFolder folder;
    TempFolder runtimes{L"runtimes"};
    BrowserPath path;
    std::wstring transcriptFolder;
};

// A scenario that raises events, in order.
inline std::string Scenario(const std::vector<nlohmann::json>& events) {
    return nlohmann::json{{"events", events}}.dump();
}

struct Outcome {
    RunResult run;
    std::vector<std::string> transcript;
    bool sawVisible = false;    // the main window was ever seen visible
    bool closedByTest = false;  // the test sent WM_CLOSE after the scenario
    RECT client{};
};

// Runs the app until the double reports marker in its transcript, then closes
// the main window as a user would (unless closing is the page's job). A
// Yes/No box gets yesNoAnswer, every other box OK.
inline Outcome RunExecutable(const App& app,
                             const std::string& marker = "Return ControllerCompleted",
                             bool close = true, int yesNoAnswer = IDNO) {
    Outcome outcome;
    RunOptions options;
    options.timeoutMs = 40000;
    options.onBox = [yesNoAnswer](HWND box, const BoxSeen&) {
        if (GetDlgItem(box, IDYES)) PostMessageW(box, WM_COMMAND, yesNoAnswer, 0);
    };
    options.onWindow = [&](HWND window) {
        if (ClassOf(window) != MainClass) return;
        outcome.sawVisible |= IsWindowVisible(window) != FALSE;
        GetClientRect(window, &outcome.client);
        if (!close || outcome.closedByTest) return;
        for (const auto& line : ReadLoaderTranscript(app.transcriptFolder))
            if (line.rfind(marker, 0) == 0) {
                outcome.closedByTest = true;
                PostMessageW(window, WM_CLOSE, 0, 0);
                break;
            }
    };
    outcome.run = RunProgram(app.folder.exe, options);
    outcome.transcript = ReadLoaderTranscript(app.transcriptFolder);
    return outcome;
}
// Runs the app and, once the double has raised its whole scenario and the
// main window is visible, hands that window to act, once.
inline RunResult RunActingOnceLoaded(const App& app, const std::function<void(HWND)>& act) {
    bool acted = false;
    RunOptions options;
    options.timeoutMs = 40000;
    options.onWindow = [&](HWND window) {
        if (acted || ClassOf(window) != MainClass || !IsWindowVisible(window) ||
            Count(ReadLoaderTranscript(app.transcriptFolder), "Done events=") == 0)
            return;
        acted = true;
        act(window);
    };
    return RunProgram(app.folder.exe, options);
}

inline void ExpectCleanClose(const Outcome& outcome) {
    EXPECT_FALSE(outcome.run.timedOut);
    EXPECT_EQ(outcome.run.exitCode, 0u);
    EXPECT_TRUE(outcome.run.boxes.empty());
}
// A run that ended by itself with exit code 1 after one error box showing
// text under the manifest's title, and whose log ends with lastEvent and the
// exit code.
inline void ExpectFailedRun(const Outcome& outcome, const std::wstring& text,
                            const std::string& lastEvent) {
    EXPECT_FALSE(outcome.run.timedOut);
    EXPECT_EQ(outcome.run.exitCode, 1u);
    ASSERT_EQ(outcome.run.boxes.size(), 1u);
    EXPECT_EQ(outcome.run.boxes[0].text, text);
    EXPECT_EQ(outcome.run.boxes[0].caption, L"E2E Game");
    EXPECT_EQ(outcome.run.boxes[0].icon, BoxIcon::Error);
    const auto log = LogEvents();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], lastEvent);
    EXPECT_EQ(log.back(), "exit code 1");
}
// Runs app until the double has raised the last event of its scenario, and
// expects a clean close after it.
inline Outcome RunToTheEnd(const App& app) {
    Outcome outcome = RunExecutable(app, "Done events=");
    ExpectCleanClose(outcome);
    return outcome;
}
// Each event's lines: from its "Raise" line to its "Return" line.
inline std::vector<std::vector<std::string>> EventSegments(
    const std::vector<std::string>& transcript) {
    std::vector<std::vector<std::string>> segments;
    bool inside = false;
    for (const auto& line : transcript) {
        if (line.rfind("Raise ", 0) == 0) {
            segments.emplace_back();
            inside = true;
        }
        if (inside) segments.back().push_back(line);
        if (inside && line.rfind("Return ", 0) == 0) inside = false;
    }
    return segments;
}
// Runs an app whose scenario raises events, expects it to close cleanly after
// the last one, and gives each event's lines.
inline std::vector<std::vector<std::string>> RunEvents(const std::vector<nlohmann::json>& events) {
    App app(Scenario(events));
    const Outcome outcome = RunToTheEnd(app);
    return EventSegments(outcome.transcript);
}
