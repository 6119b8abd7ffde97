#include "tests/runtime/flow_support.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <commctrl.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <atomic>

#include "platform/text.h"
#include "tests/support/log_lines.h"

namespace {

void StartWinsock() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

SOCKET BoundLoopbackSocket(unsigned short& port) {
    StartWinsock();
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int length = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return s;
}

bool SendAll(SOCKET s, const char* data, size_t size) {
    while (size > 0) {
        const int sent = send(s, data, static_cast<int>(size), 0);
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

}  // namespace

const wchar_t* const DefaultNoticeText =
    L"This app requires the Microsoft Edge WebView2 runtime. It will be downloaded and installed "
    L"for you now.";
const wchar_t* const DefaultFailureText =
    L"Failed to install the Microsoft Edge WebView2 runtime. Check that you have permission to "
    L"install it, and that your Internet connection is working. Run the app again to try again.";

std::wstring FakeInstallerPath() {
    return FolderOfTestProgram() + L"fake_installer.exe";
}

std::wstring FlowHostPath() {
    return FolderOfTestProgram() + L"flow_host.exe";
}

std::string SignedInstaller(const char* name) {
    const std::wstring folder = FolderOfTestProgram() + L"signed\\";
    static const bool trusted = [&] {
        const std::string root = ReadFileBytes(folder + L"root.der");
        HCERTSTORE store =
            CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
        const bool added =
            store && CertAddEncodedCertificateToStore(
                         store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(root.data()),
                         static_cast<DWORD>(root.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
        if (store) CertCloseStore(store, 0);
        return added;
    }();
    EXPECT_TRUE(trusted) << "the test root is not among the trusted roots";
    const std::string program = ReadFileBytes(folder + Utf8ToWide(name) + L".exe");
    EXPECT_FALSE(program.empty()) << name;
    return program;
}

std::string Tampered(std::string program) {
    // The last byte of the last section's data on file: slack that is never
    // loaded, yet covered by the signature.
    const auto read = [&](size_t at, size_t size) {
        std::uint32_t value = 0;
        if (at + size <= program.size()) memcpy(&value, program.data() + at, size);
        return value;
    };
    const size_t pe = read(0x3C, 4);
    const size_t sections = pe + 24 + read(pe + 20, 2);
    size_t end = 0;
    for (size_t i = 0; i < read(pe + 6, 2); ++i)
        end = std::max<size_t>(end,
                               read(sections + 40 * i + 20, 4) + read(sections + 40 * i + 16, 4));
    EXPECT_GT(end, 0u);
    if (end > 0 && end <= program.size()) program[end - 1] ^= 1;
    return program;
}

LoopbackServer::LoopbackServer(ServedFile file) : file_(std::move(file)) {
    static std::atomic<unsigned> counter{0};
    path_ = L"/installer-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(counter++) + L".exe";
    release_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const SOCKET s = BoundLoopbackSocket(port_);
    listen(s, 8);
    listener_ = s;
    thread_ = CreateThread(nullptr, 0, Serve, this, 0, nullptr);
}

LoopbackServer::~LoopbackServer() {
    SetEvent(release_);
    closesocket(static_cast<SOCKET>(listener_));
    WaitForSingleObject(thread_, ScaledMs(10000));
    CloseHandle(thread_);
    CloseHandle(release_);
}

std::wstring LoopbackServer::Url() const {
    return L"http://127.0.0.1:" + std::to_wstring(port_) + path_;
}

void LoopbackServer::Release() {
    SetEvent(release_);
}

int LoopbackServer::Requests() const {
    return static_cast<int>(requests_);
}

std::vector<std::string> LoopbackServer::RequestLines() const {
    AcquireSRWLockShared(&lock_);
    std::vector<std::string> lines = requestLines_;
    ReleaseSRWLockShared(&lock_);
    return lines;
}

DWORD WINAPI LoopbackServer::Serve(void* self) {
    auto* server = static_cast<LoopbackServer*>(self);
    for (;;) {
        const SOCKET connection = accept(static_cast<SOCKET>(server->listener_), nullptr, nullptr);
        if (connection == INVALID_SOCKET) return 0;
        server->Answer(connection);
        closesocket(connection);
    }
}

void LoopbackServer::Answer(unsigned long long connection) {
    const SOCKET s = static_cast<SOCKET>(connection);
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
        const int n = recv(s, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        request.append(buffer, static_cast<size_t>(n));
    }
    InterlockedIncrement(&requests_);
    AcquireSRWLockExclusive(&lock_);
    requestLines_.push_back(request.substr(0, request.find("\r\n")));
    ReleaseSRWLockExclusive(&lock_);
    if (file_.refuse) return;
    std::string head = "HTTP/1.1 " + std::to_string(file_.status) +
                       " Status\r\nContent-Type: application/octet-stream\r\n"
                       "Cache-Control: no-store\r\nConnection: close\r\n";
    if (file_.announceLength)
        head += "Content-Length: " + std::to_string(file_.body.size()) + "\r\n";
    head += "\r\n";
    if (!SendAll(s, head.data(), head.size())) return;
    if (request.rfind("HEAD ", 0) == 0) return;
    const size_t chunk = file_.chunk ? file_.chunk : file_.body.size();
    size_t sent = 0;
    while (sent < file_.body.size()) {
        if (sent >= file_.holdAt) WaitForSingleObject(release_, ScaledMs(20000));
        size_t size = std::min(chunk, file_.body.size() - sent);
        if (sent < file_.holdAt) size = std::min(size, file_.holdAt - sent);
        if (!SendAll(s, file_.body.data() + sent, size)) return;
        sent += size;
        if (file_.pauseMs && sent < file_.body.size()) Sleep(file_.pauseMs);
    }
    shutdown(s, SD_SEND);
}

std::wstring UnreachableUrl() {
    unsigned short port = 0;
    closesocket(BoundLoopbackSocket(port));
    return L"http://127.0.0.1:" + std::to_wstring(port) + L"/Webview2Setup.exe";
}

std::vector<InstallerRun> ReadInstallerLog(const std::wstring& log) {
    std::vector<InstallerRun> runs;
    for (const auto& line : ReadLines(log)) {
        const size_t cwd = line.find("|cwd=");
        const size_t args = line.find("|args=");
        if (line.rfind("path=", 0) != 0 || cwd == std::string::npos || args == std::string::npos)
            continue;
        runs.push_back({Utf8ToWide(line.substr(5, cwd - 5)),
                        Utf8ToWide(line.substr(cwd + 5, args - cwd - 5)),
                        Utf8ToWide(line.substr(args + 6))});
    }
    return runs;
}

namespace {

// No runtime until marker exists. (A path quoted as the transcript quotes
// it is a JSON string.)
std::string MissingRuntimeScenario(const std::wstring& marker) {
    return R"({"runtime":false,"runtimeMarker":)" + TranscriptQuote(marker) + "}";
}

}  // namespace

FlowApp::FlowApp(const std::string& manifest, Loader loader)
    : app(manifest, L"flow"),
      host(app.root / L"flow_host.exe"),
      data(L"flowdata"),
      userDataFolder(data / L"user data"),
      installerLog(data / L"installer-log.txt"),
      marker(data / L"runtime-marker") {
    CopyFileW(FlowHostPath().c_str(), host.c_str(), FALSE);
    if (loader == Loader::MissingRuntimeDouble)
        InstallLoaderDouble(app.root.path(), MissingRuntimeScenario(marker));
}

std::vector<std::string> VersionQueries(const std::wstring& folder) {
    return LinesStartingWith(ReadLoaderTranscript(folder),
                             "GetAvailableCoreWebView2BrowserVersionString ");
}

std::vector<std::string> LogEvents(const std::wstring& userDataFolder) {
    return ReadLogEvents(userDataFolder + L"\\Lanternshell.log");
}

void ExpectLinesInOrder(const std::vector<std::string>& lines,
                        const std::vector<std::string>& prefixes) {
    size_t at = 0;
    for (const auto& prefix : prefixes) {
        while (at < lines.size() && lines[at].rfind(prefix, 0) != 0) ++at;
        if (at == lines.size()) {
            std::string all;
            for (const auto& line : lines) all += "\n  " + line;
            ADD_FAILURE() << "no line \"" << prefix << "...\" in its place among:" << all;
            return;
        }
        ++at;
    }
}

FlowRun RunFlow(const FlowApp& flow, const std::wstring& url, const FlowOptions& options) {
    FlowRun result;
    bool closedMain = false;
    HWND progressWindow = nullptr;
    RunOptions run;
    run.environment = options.environment;
    run.environment.push_back(L"LS_FAKE_INSTALLER_LOG=" + flow.installerLog);
    if (options.installs) run.environment.push_back(L"LS_FAKE_INSTALLER_MARKER=" + flow.marker);
    run.commandLineTail = L"\"" + flow.userDataFolder + L"\" \"" + url + L"\"";
    run.timeoutMs = 60000;
    run.onBox = [&](HWND, const BoxSeen&) { result.events.push_back("box"); };
    run.onWindow = [&](HWND window) {
        const std::wstring windowClass = ClassOf(window);
        if (windowClass == L"WindowsLanternshell" && !closedMain) {
            closedMain = true;
            result.events.push_back("main");
            PostMessageW(window, WM_CLOSE, 0, 0);
            return;
        }
        if (windowClass != L"WebView2Setup" || !IsWindow(window)) return;
        // Seen first between its creation and its bar's, it waits one poll.
        HWND bar = FindWindowExW(window, nullptr, L"msctls_progress32", nullptr);
        if (!bar) return;
        if (window != progressWindow) {
            progressWindow = window;
            result.sawProgressWindow = true;
            result.events.push_back("progress");
            ProgressWindowSeen& seen = result.progress;
            seen.title = WindowText(window);
            GetWindowRect(window, &seen.window);
            GetClientRect(window, &seen.client);
            seen.style = GetWindowLongPtrW(window, GWL_STYLE);
            for (HWND child = GetWindow(window, GW_CHILD); child;
                 child = GetWindow(child, GW_HWNDNEXT))
                ++seen.children;
            GetWindowRect(bar, &seen.bar);
            MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&seen.bar), 2);
            DWORD_PTR low = 0, high = 0;
            SendMessageTimeoutW(bar, PBM_GETRANGE, TRUE, 0, SMTO_ABORTIFHUNG, ScaledMs(2000), &low);
            SendMessageTimeoutW(bar, PBM_GETRANGE, FALSE, 0, SMTO_ABORTIFHUNG, ScaledMs(2000),
                                &high);
            seen.rangeLow = static_cast<LRESULT>(low);
            seen.rangeHigh = static_cast<LRESULT>(high);
            if (options.onProgressWindow) options.onProgressWindow(window);
        }
        POINT corner{2, 2};
        ClientToScreen(window, &corner);
        HDC screen = GetDC(nullptr);
        result.marginColors.push_back(GetPixel(screen, corner.x, corner.y) & 0xFFFFFF);
        ReleaseDC(nullptr, screen);
        DWORD_PTR position = 0;
        if (SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, ScaledMs(2000),
                                &position)) {
            const int value = static_cast<int>(position);
            if (result.positions.empty() || result.positions.back() != value)
                result.positions.push_back(value);
        }
    };
    result.run = RunProgram(flow.host, run);
    return result;
}
