#include "tests/support/loader_double/double.h"

#include "platform/win32/module_path.h"
#include "tests/support/test_time.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>

namespace browser_double {

namespace {

HMODULE OwnModule() {
    HMODULE self = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&OwnModule), &self);
    return self;
}

}  // namespace

std::wstring OwnFolder() {
    return FolderOfPath(GetModulePath(OwnModule()));
}

std::string Quote(const wchar_t* text) {
    return text ? TranscriptQuote(text) : "null";
}

std::string Object(const void* pointer) {
    return pointer ? "object" : "null";
}

std::string Rect(const RECT& rect) {
    char text[80];
    std::snprintf(text, sizeof text, "(%ld,%ld,%ld,%ld)", static_cast<long>(rect.left),
                  static_cast<long>(rect.top), static_cast<long>(rect.right),
                  static_cast<long>(rect.bottom));
    return text;
}

void Record(const std::string& line) {
    AppendLine(OwnFolder() + L"loader-transcript.txt", line);
}

nlohmann::json Scenario() {
    std::ifstream in((OwnFolder() + L"loader-scenario.json").c_str(), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    const auto parsed = nlohmann::json::parse(text, nullptr, false);
    return parsed.is_object() ? parsed : nlohmann::json::object();
}

HRESULT HresultOr(const nlohmann::json& object, const char* key, HRESULT fallback) {
    if (!object.is_object() || !object.contains(key)) return fallback;
    const auto& value = object[key];
    if (value.is_number_integer()) return static_cast<HRESULT>(value.get<int64_t>());
    if (value.is_string()) {
        const std::string text = value.get<std::string>();
        return static_cast<HRESULT>(std::strtoul(text.c_str(), nullptr, 0));
    }
    return fallback;
}

HRESULT Refusal(const char* call) {
    return HresultOr(Section(Scenario(), "refuse"), call, S_OK);
}

HRESULT AddHandlerAnswer(const char* object, const std::string& event, const void* handler,
                         const EventRegistrationToken* token) {
    const std::string name = "add_" + event;
    const HRESULT hr = handler ? Refusal(name.c_str()) : E_INVALIDARG;
    Record(std::string(object) + "." + name + " handler=" + Object(handler) +
           " token=" + (token ? "pointer" : "null") + " -> " + Hex(hr));
    return hr;
}

void RecordQuery(const char* object, REFIID iid, REFIID newest, const char* newestName, REFIID base,
                 HRESULT hr) {
    if (iid == newest)
        Record(std::string(object) + ".QueryInterface iid=" + newestName + " -> " + Hex(hr));
    else if (iid != __uuidof(IUnknown) && iid != base)
        Record(std::string(object) + ".QueryInterface iid=other -> " + Hex(hr));
}

nlohmann::json Section(const nlohmann::json& object, const char* key) {
    if (!object.is_object() || !object.contains(key) || !object[key].is_object())
        return nlohmann::json::object();
    return object[key];
}

wchar_t* TaskMemCopy(const std::wstring& text) {
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
    if (copy) memcpy(copy, text.c_str(), bytes);
    return copy;
}

HRESULT CopyOut(const std::wstring& text, LPWSTR* out) {
    if (!out) return E_POINTER;
    *out = TaskMemCopy(text);
    return *out ? S_OK : E_OUTOFMEMORY;
}

bool SameName(const std::wstring& a, const wchar_t* b) {
    return b && CompareStringOrdinal(a.c_str(), -1, b, -1, TRUE) == CSTR_EQUAL;
}

// The scheduler: a message-only window of the double on the thread that
// created the environment. Jobs run one per message or timer.
namespace {

const UINT RunJob = WM_APP + 0x42;

struct Scheduler {
    HWND window = nullptr;
    std::map<UINT_PTR, std::function<void()>> jobs;
    UINT_PTR nextId = 1;
};

// Never destroyed: jobs and streams may outlive every static of the host.
Scheduler& TheScheduler() {
    static Scheduler* scheduler = new Scheduler;
    return *scheduler;
}

void RunScheduled(UINT_PTR id) {
    auto& jobs = TheScheduler().jobs;
    const auto found = jobs.find(id);
    if (found == jobs.end()) return;
    auto job = std::move(found->second);
    jobs.erase(found);
    job();
}

LRESULT CALLBACK SchedulerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == RunJob) {
        RunScheduled(static_cast<UINT_PTR>(wParam));
        return 0;
    }
    if (message == WM_TIMER) {
        KillTimer(window, wParam);
        RunScheduled(static_cast<UINT_PTR>(wParam));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND SchedulerWindow() {
    auto& scheduler = TheScheduler();
    if (scheduler.window && IsWindow(scheduler.window)) return scheduler.window;
    const wchar_t* const className = L"BrowserDoubleScheduler";
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = SchedulerProc;
    windowClass.hInstance = OwnModule();
    windowClass.lpszClassName = className;
    RegisterClassW(&windowClass);
    scheduler.window = CreateWindowExW(0, className, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                       OwnModule(), nullptr);
    return scheduler.window;
}

}  // namespace

void Schedule(std::function<void()> job, UINT delayMs) {
    HWND window = SchedulerWindow();
    auto& scheduler = TheScheduler();
    const UINT_PTR id = scheduler.nextId++;
    scheduler.jobs[id] = std::move(job);
    if (delayMs == 0)
        PostMessageW(window, RunJob, id, 0);
    else
        SetTimer(window, id, delayMs, nullptr);
}

std::string ObserveWindow(HWND window) {
    if (!window || !IsWindow(window)) return "window=destroyed";
    RECT rect{};
    GetWindowRect(window, &rect);
    wchar_t caption[1024];
    const int n = GetWindowTextW(window, caption, 1024);
    char styles[64];
    std::snprintf(styles, sizeof styles, "style=0x%08lX exstyle=0x%08lX",
                  static_cast<unsigned long>(GetWindowLongW(window, GWL_STYLE)),
                  static_cast<unsigned long>(GetWindowLongW(window, GWL_EXSTYLE)));
    return std::string("window.visible=") + (IsWindowVisible(window) ? "1" : "0") + " " + styles +
           " rect=" + Rect(rect) +
           " caption=" + Quote(std::wstring(caption, n > 0 ? n : 0).c_str());
}

std::string DescribeBody(IStream* stream) {
    if (!stream) return "body=none";
    std::string bytes;
    Fnv1aHash hash;
    uint64_t length = 0;
    char buffer[65536];
    for (;;) {
        ULONG read = 0;
        const HRESULT hr = stream->Read(buffer, sizeof buffer, &read);
        hash.Add(buffer, read);
        if (bytes.size() < 65) bytes.append(buffer, std::min<size_t>(read, 65 - bytes.size()));
        length += read;
        if (FAILED(hr)) return "body.error=" + Hex(hr) + " body.length=" + std::to_string(length);
        if (read == 0) break;
    }
    std::string out = "body.length=" + std::to_string(length) + " body.fnv1a=" + hash.Text();
    if (length <= 64) out += " body=" + QuoteBytes(bytes);
    return out;
}

namespace {

struct DeferredBody {
    std::string label;
    IStream* stream;  // one reference, kept to the end
};

std::vector<DeferredBody>& DeferredBodies() {
    static auto* bodies = new std::vector<DeferredBody>;
    return *bodies;
}

}  // namespace

void DeferBodyRead(const std::string& label, IStream* stream) {
    if (stream) stream->AddRef();
    DeferredBodies().push_back({label, stream});
}

void ReadDeferredBodies() {
    for (auto& body : DeferredBodies()) {
        Record("Deferred " + body.label + " -> " + DescribeBody(body.stream));
        // The process is ending: the stream's owner may be gone, so it is
        // left unreleased.
        body.stream = nullptr;
    }
    DeferredBodies().clear();
}

namespace {

class HeaderIterator final : public ComObject<ICoreWebView2HttpHeadersCollectionIterator> {
public:
    explicit HeaderIterator(std::vector<Header> headers) : headers_(std::move(headers)) {}

    HRESULT STDMETHODCALLTYPE GetCurrentHeader(LPWSTR* name, LPWSTR* value) override {
        if (!name || !value) return E_POINTER;
        *name = *value = nullptr;
        if (at_ >= headers_.size()) return E_BOUNDS_VALUE;
        *name = TaskMemCopy(headers_[at_].name);
        *value = TaskMemCopy(headers_[at_].value);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_HasCurrentHeader(BOOL* hasCurrent) override {
        if (!hasCurrent) return E_POINTER;
        *hasCurrent = at_ < headers_.size();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE MoveNext(BOOL* hasNext) override {
        if (!hasNext) return E_POINTER;
        if (at_ < headers_.size()) ++at_;
        *hasNext = at_ < headers_.size();
        return S_OK;
    }

private:
    static constexpr HRESULT E_BOUNDS_VALUE = static_cast<HRESULT>(0x8000000B);
    std::vector<Header> headers_;
    size_t at_ = 0;
};

}  // namespace

ComPtr<ICoreWebView2HttpHeadersCollectionIterator> MakeHeaderIterator(std::vector<Header> headers) {
    return Make<HeaderIterator>(std::move(headers));
}

namespace {

HANDLE& BrowserProcess() {
    static HANDLE process = nullptr;
    return process;
}

std::vector<KeyHandler>& TheKeyHandlers() {
    static auto* handlers = new std::vector<KeyHandler>;
    return *handlers;
}

}  // namespace

DWORD StartBrowserProcess() {
    if (BrowserProcess()) return GetProcessId(BrowserProcess());
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(system) + L"\\cmd.exe\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    // Suspended, it does nothing until it is ended.
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE,
                        CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started))
        return 0;
    CloseHandle(started.hThread);
    BrowserProcess() = started.hProcess;
    return started.dwProcessId;
}

void EndBrowserProcess() {
    if (!BrowserProcess()) return;
    TerminateProcess(BrowserProcess(), 0);
    WaitForSingleObject(BrowserProcess(), ScaledMs(5000));
    CloseHandle(BrowserProcess());
    BrowserProcess() = nullptr;
    Record("Quit: browser process ended");
}

void BrowserClosing(const std::function<void()>& exited) {
    const auto exit = Section(Scenario(), "browserExit");
    if (GetBoolOr(exit, "never", false)) {
        Record("Quit: the browser never exits");
        return;
    }
    Schedule(
        [exited] {
            EndBrowserProcess();
            if (exited) exited();
        },
        static_cast<UINT>(exit.value("delayMs", 50)));
}

void AddKeyHandler(ICoreWebView2Controller* controller,
                   ICoreWebView2AcceleratorKeyPressedEventHandler* handler) {
    TheKeyHandlers().push_back({controller, handler});
}

void DropKeyHandlers(ICoreWebView2Controller* controller) {
    auto& handlers = TheKeyHandlers();
    handlers.erase(std::remove_if(handlers.begin(), handlers.end(),
                                  [controller](const KeyHandler& entry) {
                                      return entry.controller == controller;
                                  }),
                   handlers.end());
}

std::vector<KeyHandler> KeyHandlers() {
    return TheKeyHandlers();
}

}  // namespace browser_double

// At detach the host's teardown is over: its message loop has ended, its
// file mappings are released and its process-wide holders are gone.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_DETACH) {
        browser_double::ReadDeferredBodies();
        // A browser that "never" exits is not left behind the test.
        browser_double::EndBrowserProcess();
    }
    return TRUE;
}
