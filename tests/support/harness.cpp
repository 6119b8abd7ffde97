#include "tests/support/harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>

#include "platform/text.h"

std::string lanternshellArgument;

std::wstring FromRunnerPath(const std::string& path) {
    std::wstring wide(path.begin(), path.end());
    if (!wide.empty() && wide[0] == L'/') wide = L"Z:" + wide;
    for (auto& c : wide)
        if (c == L'/') c = L'\\';
    return wide;
}

const std::wstring& LanternshellPath() {
    static const std::wstring path = FromRunnerPath(lanternshellArgument);
    return path;
}

std::wstring LoaderDoublePath() {
    return FromRunnerPath(LS_LOADER_DOUBLE);
}

void PlaceScenario(const std::wstring& folder, const std::string& scenario) {
    DeleteFileW((folder + L"loader-transcript.txt").c_str());
    DeleteFileW((folder + L"loader-scenario.json").c_str());
    if (!scenario.empty()) WriteFileBytes(folder + L"loader-scenario.json", scenario);
}

namespace {

// A double copied into folder as name, with its scenario.
void PlaceDouble(const std::wstring& library, const std::wstring& folder, const wchar_t* name,
                 const std::string& scenario) {
    CopyFileW(library.c_str(), (folder + name).c_str(), FALSE);
    PlaceScenario(folder, scenario);
}

}  // namespace

void InstallLoaderDouble(const std::wstring& folder, const std::string& scenario) {
    PlaceDouble(LoaderDoublePath(), folder, L"WebView2Loader.dll", scenario);
}

std::wstring RuntimeDoublePath() {
    return FromRunnerPath(LS_RUNTIME_DOUBLE);
}

std::wstring OldRuntimeDoublePath() {
    return FromRunnerPath(LS_OLD_RUNTIME_DOUBLE);
}

std::wstring InstallRuntimeDouble(const std::wstring& runtimeFolder, const std::string& scenario,
                                  bool old) {
    std::wstring folder = runtimeFolder;
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    folder += L"EBWebView\\x64\\";
    MakeFolders(folder);
    PlaceDouble(old ? OldRuntimeDoublePath() : RuntimeDoublePath(), folder,
                L"EmbeddedBrowserWebView.dll", scenario);
    return folder;
}

DWORD RunReg(const std::wstring& arguments) {
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring program = std::wstring(system) + L"\\reg.exe";
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    // Its chatter ("Unable to find the specified registry key") goes nowhere.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE nul =
        CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
    PROCESS_INFORMATION process{};
    DWORD exitCode = 0xFFFFFFFF;
    if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       system, &startup, &process)) {
        WaitForSingleObject(process.hProcess, ScaledMs(20000));
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(nul);
    return exitCode;
}

void RegisterInstalledRuntime(const std::wstring& root, const std::wstring& folder,
                              const std::wstring& view) {
    const std::wstring key = L"\"" + root +
                             L"\\SOFTWARE\\Microsoft\\EdgeUpdate\\ClientState\\"
                             L"{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}\"";
    if (folder.empty())
        RunReg(L"delete " + key + L" /f " + view);
    else
        RunReg(L"add " + key + L" /v EBWebView /t REG_SZ /d \"" + folder + L"\" /f " + view);
}

std::vector<std::string> ReadLines(const std::wstring& path) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : ReadFileBytes(path)) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

std::vector<std::string> ReadLoaderTranscript(const std::wstring& folder) {
    return ReadLines(folder + L"loader-transcript.txt");
}

std::string FieldOf(const std::string& line, const std::string& name) {
    const std::string key = " " + name + "=";
    size_t at = 0;
    // Skip matches inside quoted texts.
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (quoted) {
            if (line[i] == '\\')
                ++i;
            else if (line[i] == '"')
                quoted = false;
            continue;
        }
        if (line[i] == '"') {
            quoted = true;
            continue;
        }
        if (line.compare(i, key.size(), key) == 0) {
            at = i + key.size();
            if (at < line.size() && line[at] == '"') {
                size_t end = at + 1;
                while (end < line.size() && line[end] != '"') end += line[end] == '\\' ? 2 : 1;
                return line.substr(at, end + 1 - at);
            }
            const size_t end = line.find(' ', at);
            return line.substr(at, end == std::string::npos ? std::string::npos : end - at);
        }
    }
    return {};
}

std::vector<std::string> LinesStartingWith(const std::vector<std::string>& lines,
                                           const std::string& prefix) {
    std::vector<std::string> found;
    for (const auto& line : lines)
        if (line.rfind(prefix, 0) == 0) found.push_back(line);
    return found;
}

std::wstring FolderOfTestProgram() {
    return FolderOfPath(GetExecutablePath());
}

std::string ReadFileBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void MakeFolders(const std::wstring& path) {
    for (size_t i = 3; i <= path.size(); ++i)
        if (i == path.size() || path[i] == L'\\')
            CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
}

void RemoveTree(const std::wstring& path) {
    std::wstring folder = path;
    if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = folder + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

TempFolder::TempFolder(const std::wstring& hint) {
    static std::atomic<unsigned> counter{0};
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    for (;;) {
        path_ = std::wstring(temp) + hint + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(counter++) + L"\\";
        if (CreateDirectoryW(path_.c_str(), nullptr)) break;
    }
}

TempFolder::~TempFolder() {
    RemoveTree(path_);
}

AppFolder::AppFolder(const std::string& manifest, const std::wstring& hint)
    : root(hint), exe(root / L"Lanternshell.exe") {
    CopyFileW(LanternshellPath().c_str(), exe.c_str(), FALSE);
    if (!manifest.empty()) WriteFileBytes(root / L"package.json", manifest);
    CreateDirectoryW((root / L"www").c_str(), nullptr);
    // The start page a manifest names by default; the host refuses to start
    // without it.
    WriteFileBytes(root / L"www\\index.html", "<!doctype html><title>app</title>");
}

std::wstring WindowText(HWND window) {
    wchar_t buffer[4096];
    const int n = GetWindowTextW(window, buffer, 4096);
    return std::wstring(buffer, n > 0 ? n : 0);
}

std::wstring ClassOf(HWND window) {
    wchar_t buffer[256];
    const int n = GetClassNameW(window, buffer, 256);
    return std::wstring(buffer, n > 0 ? n : 0);
}

SIZE IconSize(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return {0, 0};
    BITMAP bitmap{};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return {bitmap.bmWidth, bitmap.bmHeight};
}

namespace {

struct Search {
    DWORD processId;
    const wchar_t* className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && (!search->className || ClassOf(window) == search->className))
        search->found.push_back(window);
    return TRUE;
}

// The pixels of a window's client area as 32-bit BGRX, top row first.
std::vector<DWORD> CapturePixels(HDC source, int width, int height, int x = 0, int y = 0) {
    HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
    GdiFlush();
    std::vector<DWORD> pixels(static_cast<const DWORD*>(bits),
                              static_cast<const DWORD*>(bits) + width * height);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    for (auto& p : pixels) p &= 0x00FFFFFF;
    return pixels;
}

// The share of pixels where the captured icon differs from ours drawn on the
// same background.
double IconDifference(const std::vector<DWORD>& seen, int width, int height, HICON icon) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const DWORD background = seen.empty() ? 0 : seen[0];
    HBRUSH brush = CreateSolidBrush(
        RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF));
    RECT all{0, 0, width, height};
    FillRect(memory, &all, brush);
    DeleteObject(brush);
    DrawIconEx(memory, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    const auto drawn = CapturePixels(memory, width, height);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    size_t differing = 0;
    for (size_t i = 0; i < seen.size() && i < drawn.size(); ++i) differing += seen[i] != drawn[i];
    return seen.empty() ? 1.0 : static_cast<double>(differing) / static_cast<double>(seen.size());
}

BoxIcon IconOf(HWND box) {
    // Icon handles are not shared between processes, so the box's icon
    // control is read back as pixels and compared with the system icons.
    HWND control = GetDlgItem(box, 0x0440);
    if (!control || !IsWindowVisible(control)) return BoxIcon::None;
    RECT client{};
    GetClientRect(control, &client);
    if (client.right <= 0 || client.bottom <= 0) return BoxIcon::None;
    // Another process's window surface is not readable through its own DC;
    // the screen is. A box just shown may not have drawn its icon yet (all
    // its pixels one colour then), the later the busier the machine.
    std::vector<DWORD> seen;
    for (const ULONGLONG until = GetTickCount64() + ScaledMs(2000);; Sleep(30)) {
        RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        POINT origin{0, 0};
        ClientToScreen(control, &origin);
        HDC screen = GetDC(nullptr);
        seen = CapturePixels(screen, client.right, client.bottom, origin.x, origin.y);
        ReleaseDC(nullptr, screen);
        if (std::adjacent_find(seen.begin(), seen.end(), std::not_equal_to<>()) != seen.end() ||
            GetTickCount64() > until)
            break;
    }
    const struct {
        LPCWSTR id;
        BoxIcon kind;
    } candidates[] = {{IDI_ERROR, BoxIcon::Error},
                      {IDI_INFORMATION, BoxIcon::Information},
                      {IDI_WARNING, BoxIcon::Other},
                      {IDI_QUESTION, BoxIcon::Other}};
    BoxIcon best = BoxIcon::Other;
    double bestDifference = 0.2;
    for (const auto& candidate : candidates) {
        const double d =
            IconDifference(seen, client.right, client.bottom, LoadIconW(nullptr, candidate.id));
        if (d < bestDifference) bestDifference = d, best = candidate.kind;
    }
    return best;
}

std::vector<wchar_t> EnvironmentBlock(const std::vector<std::wstring>& extra) {
    std::vector<wchar_t> block;
    if (extra.empty()) return block;
    wchar_t* current = GetEnvironmentStringsW();
    for (const wchar_t* p = current; *p; p += wcslen(p) + 1)
        block.insert(block.end(), p, p + wcslen(p) + 1);
    FreeEnvironmentStringsW(current);
    for (const auto& entry : extra)
        block.insert(block.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
    block.push_back(L'\0');
    return block;
}

}  // namespace

void ExpectBoxes(const RunResult& run, const std::wstring& caption,
                 const std::vector<std::pair<std::wstring, BoxIcon>>& boxes) {
    ASSERT_EQ(run.boxes.size(), boxes.size());
    for (size_t i = 0; i < boxes.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(run.boxes[i].text, boxes[i].first);
        EXPECT_EQ(run.boxes[i].icon, boxes[i].second);
        EXPECT_EQ(run.boxes[i].caption, caption);
        EXPECT_FALSE(run.boxes[i].owned);
    }
}

void ExpectInterfaces(IUnknown* object, const std::vector<InterfaceAnswer>& answers) {
    for (const auto& answer : answers) {
        SCOPED_TRACE(answer.name);
        void* given = reinterpret_cast<void*>(1);
        EXPECT_EQ(object->QueryInterface(answer.iid, &given), answer.result);
        EXPECT_EQ(given, answer.result == S_OK ? static_cast<void*>(object) : nullptr);
        if (answer.result == S_OK && given) {
            EXPECT_EQ(object->Release(), 1u);
        }
    }
    EXPECT_EQ(object->QueryInterface(__uuidof(IUnknown), nullptr), E_POINTER);
}

std::vector<HWND> WindowsOfProcess(DWORD processId, const wchar_t* className) {
    Search search{processId, className, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

RunResult RunProgram(const std::wstring& program, const RunOptions& options) {
    RunResult result;
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!options.commandLineTail.empty()) commandLine += L" " + options.commandLineTail;
    std::wstring folder = options.currentDirectory;
    if (folder.empty()) folder = program.substr(0, program.rfind(L'\\') + 1);
    auto environment = EnvironmentBlock(options.environment);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT,
                        environment.empty() ? nullptr : environment.data(), folder.c_str(),
                        &startup, &process)) {
        return result;
    }
    std::set<HWND> answered, pending;
    const DWORD start = GetTickCount();
    for (;;) {
        if (WaitForSingleObject(process.hProcess, 30) == WAIT_OBJECT_0) break;
        if (GetTickCount() - start > ScaledMs(options.timeoutMs)) {
            result.timedOut = true;
            TerminateProcess(process.hProcess, 0xDEAD);
            WaitForSingleObject(process.hProcess, ScaledMs(5000));
            break;
        }
        for (HWND window : WindowsOfProcess(process.dwProcessId, nullptr)) {
            if (ClassOf(window) != L"#32770") {
                if (options.onWindow) options.onWindow(window);
                continue;
            }
            if (answered.count(window) || !IsWindowVisible(window)) continue;
            // Give a new box one poll to paint before reading it.
            if (pending.insert(window).second) continue;
            BoxSeen box;
            box.caption = WindowText(window);
            box.text = WindowText(GetDlgItem(window, 0xFFFF));
            box.icon = IconOf(window);
            box.owned = GetWindow(window, GW_OWNER) != nullptr;
            if (options.onBox) options.onBox(window, box);
            result.boxes.push_back(box);
            answered.insert(window);
            PostMessageW(window, WM_COMMAND, IDOK, 0);
        }
    }
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}
