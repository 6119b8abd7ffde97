// Shared pieces of the Windows tests: the executable under test, temporary
// app folders, and running a program while watching its message boxes.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/test_time.h"
#include "tests/support/transcript.h"

// Lanternshell.exe as built, given to every test program by scripts/wine-run.
const std::wstring& LanternshellPath();
// A Unix path handed over by the test runner, as a Windows path (drive Z:).
std::wstring FromRunnerPath(const std::string& path);
std::wstring FolderOfTestProgram();

std::string ReadFileBytes(const std::wstring& path);
// A text file's lines, without line ends (LF or CRLF).
std::vector<std::string> ReadLines(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);

// A fresh folder under the temporary folder, removed with its content.
class TempFolder {
public:
    explicit TempFolder(const std::wstring& hint = L"ls");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    // The folder with a trailing backslash.
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + name; }

private:
    std::wstring path_;
};

void RemoveTree(const std::wstring& path);
void MakeFolders(const std::wstring& path);

// An app folder: the executable copied in, a package.json and a www folder
// holding index.html.
struct AppFolder {
    explicit AppFolder(const std::string& manifest, const std::wstring& hint = L"app");
    TempFolder root;
    std::wstring exe;  // root + "Lanternshell.exe"
};

enum class BoxIcon { None, Error, Information, Other };

struct BoxSeen {
    std::wstring caption;
    std::wstring text;
    BoxIcon icon = BoxIcon::None;
    bool owned = false;  // had an owner window
};

struct RunOptions {
    std::wstring currentDirectory;  // empty: the program's folder
    std::wstring commandLineTail;   // appended after the quoted program path
    DWORD timeoutMs = 60000;        // on a quiet machine: RunProgram scales it
    // Extra environment variables, NAME=value.
    std::vector<std::wstring> environment;
    // Called every poll with the process's visible or hidden top-level windows
    // that are not message boxes. Return true to stop watching such windows.
    std::function<void(HWND)> onWindow;
    // Called for each message box before it is answered with OK.
    std::function<void(HWND, const BoxSeen&)> onBox;
};

struct RunResult {
    DWORD exitCode = 0xFFFFFFFF;
    bool timedOut = false;
    std::vector<BoxSeen> boxes;
};

// Expects exactly these boxes (text and icon) in this order, each captioned
// caption and owned by no window.
void ExpectBoxes(const RunResult& run, const std::wstring& caption,
                 const std::vector<std::pair<std::wstring, BoxIcon>>& boxes);

// Starts the program, answers every message box it shows with OK (recording
// caption, text and icon), and waits for it to end.
RunResult RunProgram(const std::wstring& program, const RunOptions& options = {});

// The loader test double as built (tests/support/loader_double).
std::wstring LoaderDoublePath();
// Copies the double into folder (ending in a backslash) as
// "WebView2Loader.dll", with scenario (JSON text) as "loader-scenario.json"
// when not empty, and removes any earlier transcript and scenario.
void InstallLoaderDouble(const std::wstring& folder, const std::string& scenario = {});
// A fresh start for the double in folder: no transcript, and scenario as
// "loader-scenario.json" (none when empty).
void PlaceScenario(const std::wstring& folder, const std::string& scenario);
// The transcript the double wrote in folder, one entry per line.
std::vector<std::string> ReadLoaderTranscript(const std::wstring& folder);

// The value of " name=" in a transcript line: a quoted text with its quotes
// and escapes as written, or a bare word; empty when absent.
std::string FieldOf(const std::string& line, const std::string& name);
// The transcript lines that begin with prefix, in order.
std::vector<std::string> LinesStartingWith(const std::vector<std::string>& lines,
                                           const std::string& prefix);

// The double built as a runtime's client library, at version 120.0.2210.91,
// and the same at 113.0.1774.29, just older than the host accepts.
std::wstring RuntimeDoublePath();
std::wstring OldRuntimeDoublePath();
// Places a runtime double (the old one when old) in runtimeFolder as
// "EBWebView\x64\EmbeddedBrowserWebView.dll", with scenario beside it when
// not empty, and returns that folder (ending in a backslash), where its
// transcript appears.
std::wstring InstallRuntimeDouble(const std::wstring& runtimeFolder,
                                  const std::string& scenario = {}, bool old = false);

// Runs the system's reg.exe with arguments; its exit code.
DWORD RunReg(const std::wstring& arguments);
// Registers folder as the installed runtime under root ("HKLM" or "HKCU"), in
// the 32-bit view unless view says "/reg:64"; an empty folder removes the key.
void RegisterInstalledRuntime(const std::wstring& root, const std::wstring& folder,
                              const std::wstring& view = L"/reg:32");

// What QueryInterface answers for one interface.
struct InterfaceAnswer {
    const char* name;
    IID iid;
    HRESULT result;
};
// Expects object to answer each as given, handing out itself (and a
// reference, which is given back) or null, and E_POINTER for no
// out-parameter. The object holds one reference of its creator's.
void ExpectInterfaces(IUnknown* object, const std::vector<InterfaceAnswer>& answers);

// The top-level windows of a process with the given class.
std::vector<HWND> WindowsOfProcess(DWORD processId, const wchar_t* className);
std::wstring WindowText(HWND window);
std::wstring ClassOf(HWND window);

// The pixel size of an icon's image; {0, 0} for no icon.
SIZE IconSize(HICON icon);
