// Pieces of the install-flow tests: a loopback HTTP server that serves the
// fake installer the way a test needs it, an app folder holding the flow host,
// and a run of it that records what the user would see.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "tests/support/harness.h"

// The manifest's default runtime texts: the notice before the download and
// the box when there is still no runtime after it.
extern const wchar_t* const DefaultNoticeText;
extern const wchar_t* const DefaultFailureText;

// The test programs built beside this one.
std::wstring FakeInstallerPath();
std::wstring FlowHostPath();

// The fake installer signed at test time (tests/runtime/sign_installers.sh)
// by a code-signing certificate of the test root: "vendor" for the vendor's
// organisation, "foreign" for another one. The first call makes the test
// root a trusted root of the prefix.
std::string SignedInstaller(const char* name);
// A signed program with one byte changed where its signature covers it and
// it would still run.
std::string Tampered(std::string program);

struct ServedFile {
    std::string body;
    bool announceLength = true;               // false: no Content-Length, the end is the close
    size_t chunk = 0;                         // bytes per send; 0: all at once
    DWORD pauseMs = 0;                        // between chunks
    size_t holdAt = static_cast<size_t>(-1);  // after this many bytes, wait for Release()
    bool refuse = false;                      // close every connection once its request has arrived
    int status = 200;                         // of every answer
};

// Serves one file to every GET on 127.0.0.1 until destroyed.
class LoopbackServer {
public:
    explicit LoopbackServer(ServedFile file);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::wstring Url() const;
    // Lets held bodies go on.
    void Release();
    int Requests() const;
    // The first line of every request so far.
    std::vector<std::string> RequestLines() const;

private:
    static DWORD WINAPI Serve(void* self);
    void Answer(unsigned long long connection);

    ServedFile file_;
    unsigned long long listener_ = ~0ull;
    unsigned short port_ = 0;
    HANDLE thread_ = nullptr;
    HANDLE release_ = nullptr;
    volatile LONG requests_ = 0;
    mutable SRWLOCK lock_ = SRWLOCK_INIT;
    std::vector<std::string> requestLines_;
    std::wstring path_;
};

// An address on loopback where nothing listens.
std::wstring UnreachableUrl();

// What the fake installer wrote to its log, one entry per run.
struct InstallerRun {
    std::wstring path, currentDirectory, commandLine;
};
std::vector<InstallerRun> ReadInstallerLog(const std::wstring& log);

// The progress window as the user saw it when it first appeared.
struct ProgressWindowSeen {
    std::wstring title;
    RECT window{};
    RECT client{};
    RECT bar{};  // in client coordinates
    LONG_PTR style = 0;
    LRESULT rangeLow = -1, rangeHigh = -1;
    int children = 0;
};

struct FlowRun {
    RunResult run;
    // "box", "progress" and "main", in the order they first appeared.
    std::vector<std::string> events;
    bool sawProgressWindow = false;
    ProgressWindowSeen progress;
    // Every bar position read while the window was up, repeats dropped.
    std::vector<int> positions;
    // The colour of the bar's margin, read from the screen at every poll.
    std::vector<COLORREF> marginColors;
};

enum class Loader {
    // The loader double, reporting no runtime until the marker exists.
    MissingRuntimeDouble,
    // No loader library anywhere: the host's built-in loader serves.
    Builtin,
};

// A temporary app folder with the flow host, a manifest and the loader, and a
// separate folder for user data.
struct FlowApp {
    FlowApp(const std::string& manifest, Loader loader);
    AppFolder app;
    std::wstring host;
    TempFolder data;
    std::wstring userDataFolder;  // data + "user data", not created
    std::wstring installerLog;    // data + "installer-log.txt"
    std::wstring marker;          // data + "runtime-marker"
};

// The loader double's runtime checks, in order, from its transcript.
std::vector<std::string> VersionQueries(const std::wstring& folder);

// The diagnostics log in userDataFolder, its lines without their timestamps;
// none when there is no log.
std::vector<std::string> LogEvents(const std::wstring& userDataFolder);
// Expects each of prefixes to begin a line of lines, in that order; other
// lines may lie between.
void ExpectLinesInOrder(const std::vector<std::string>& lines,
                        const std::vector<std::string>& prefixes);

struct FlowOptions {
    // Whether the fake installer makes the runtime appear (it always logs).
    bool installs = true;
    // More of the fake installer's environment.
    std::vector<std::wstring> environment;
    // Called once when the progress window has been seen.
    std::function<void(HWND)> onProgressWindow;
};

// Runs the host against url and closes its main window once it exists.
FlowRun RunFlow(const FlowApp& flow, const std::wstring& url, const FlowOptions& options = {});
