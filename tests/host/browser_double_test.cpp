// The browser control's test double, driven directly: creation through the
// message loop, injected failures, and scenario events reaching handlers one
// at a time, with what the handlers did read back into the transcript.
#include <gtest/gtest.h>
#include <shlwapi.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/win32/webview2.h"
#include "tests/support/com_object.h"
#include "tests/support/harness.h"

namespace {

// The double loaded once from its own folder, where its scenario and
// transcript live.
struct LoadedDouble {
    TempFolder folder{L"double"};
    HMODULE module = nullptr;
    CreateCoreWebView2EnvironmentWithOptionsFunction create = nullptr;

    LoadedDouble() {
        InstallLoaderDouble(folder.path());
        module = LoadLibraryW((folder / L"WebView2Loader.dll").c_str());
        if (module)
            create = reinterpret_cast<CreateCoreWebView2EnvironmentWithOptionsFunction>(
                reinterpret_cast<void*>(
                    GetProcAddress(module, "CreateCoreWebView2EnvironmentWithOptions")));
    }
    void Prepare(const std::string& scenario) { PlaceScenario(folder.path(), scenario); }
    std::vector<std::string> Transcript() const { return ReadLoaderTranscript(folder.path()); }
};

LoadedDouble& Double() {
    static LoadedDouble* loaded = new LoadedDouble;
    return *loaded;
}

void PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done() && GetTickCount() - start < timeoutMs) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

// Options with values of its own, so the transcript shows what was read;
// nothing puts any.
class TestOptions final : public TestComObject<ICoreWebView2EnvironmentOptions> {
public:
    HRESULT STDMETHODCALLTYPE get_AdditionalBrowserArguments(LPWSTR* value) override {
        return CopyToCoTaskMem(L"", value);
    }
    LS_UNCALLED(put_AdditionalBrowserArguments, LPCWSTR)
    HRESULT STDMETHODCALLTYPE get_Language(LPWSTR* value) override {
        return CopyToCoTaskMem(L"de", value);
    }
    LS_UNCALLED(put_Language, LPCWSTR)
    HRESULT STDMETHODCALLTYPE get_TargetCompatibleBrowserVersion(LPWSTR* value) override {
        return CopyToCoTaskMem(L"113.0.1774.30", value);
    }
    LS_UNCALLED(put_TargetCompatibleBrowserVersion, LPCWSTR)
    HRESULT STDMETHODCALLTYPE get_AllowSingleSignOnUsingOSPrimaryAccount(BOOL* allow) override {
        *allow = TRUE;
        return S_OK;
    }
    LS_UNCALLED(put_AllowSingleSignOnUsingOSPrimaryAccount, BOOL)
};

// What one completion handler saw.
template <class Object>
struct Completion {
    int calls = 0;
    HRESULT error = E_UNEXPECTED;
    ComPtr<Object> object;
};

// What the completion handlers saw. insideCall is set around the calls that
// start a creation, so a completion delivered inside one shows.
struct Completions {
    Completion<ICoreWebView2Environment> environment;
    Completion<ICoreWebView2Controller> controller;
    bool insideCall = false;
    bool reentered = false;

    auto& Of(ICoreWebView2Environment*) { return environment; }
    auto& Of(ICoreWebView2Controller*) { return controller; }
};
Completions seen;

template <class Object>
HRESULT OnCompleted(HRESULT error, Object* object) {
    auto& completion = seen.Of(object);
    ++completion.calls;
    seen.reentered |= seen.insideCall;
    completion.error = error;
    completion.object = object;
    return S_OK;
}

// A fresh scenario and transcript. What the last test still holds is let go
// first, so its release lines land in the old transcript.
void Prepare(const std::string& scenario) {
    seen = {};
    Double().Prepare(scenario);
}

// Registers on as the handler of the event that add adds to target.
template <class Target, class Handler, class... Arguments>
void Listen(Target* target,
            HRESULT (STDMETHODCALLTYPE Target::*add)(Handler*, EventRegistrationToken*),
            HRESULT (*on)(Arguments...), EventRegistrationToken* token = nullptr) {
    (target->*add)(MakeCallback<Handler>(on).Get(), token);
}

HWND MakeParent() {
    return CreateWindowExW(0, L"STATIC", L"parent", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                           nullptr, nullptr, nullptr);
}

// Walks creation as far as the scenario lets it, each completion waited for
// through the message loop.
struct Walk {
    HRESULT environmentCall = E_UNEXPECTED;
    HRESULT controllerCall = E_UNEXPECTED;
    HRESULT view2 = E_UNEXPECTED;
    ComPtr<ICoreWebView2> view;
};

Walk WalkCreation(HWND parent, ICoreWebView2EnvironmentOptions* options) {
    seen = {};
    Walk walk;
    auto environmentHandler =
        MakeCallback<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(
            &OnCompleted<ICoreWebView2Environment>);
    seen.insideCall = true;
    walk.environmentCall = Double().create(nullptr, L"C:\\data", options, environmentHandler.Get());
    seen.insideCall = false;
    PumpUntil([] { return seen.environment.calls > 0; }, ScaledMs(3000));
    if (!seen.environment.object) return walk;
    auto controllerHandler =
        MakeCallback<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>(
            &OnCompleted<ICoreWebView2Controller>);
    seen.insideCall = true;
    walk.controllerCall =
        seen.environment.object->CreateCoreWebView2Controller(parent, controllerHandler.Get());
    seen.insideCall = false;
    PumpUntil([] { return seen.controller.calls > 0; }, ScaledMs(3000));
    if (!seen.controller.object) return walk;
    seen.controller.object->get_CoreWebView2(walk.view.GetAddressOf());
    ComPtr<ICoreWebView2_2> view2;
    if (walk.view) walk.view2 = walk.view.As(&view2);
    return walk;
}

TEST(BrowserDouble, LoadsWithBothExports) {
    ASSERT_NE(Double().module, nullptr);
    ASSERT_NE(Double().create, nullptr);
    EXPECT_NE(GetProcAddress(Double().module, "GetAvailableCoreWebView2BrowserVersionString"),
              nullptr);
}

TEST(BrowserDouble, DefaultScenarioCompletesThroughTheLoopAndRecordsEveryCall) {
    ASSERT_NE(Double().create, nullptr);
    Prepare("");
    HWND parent = MakeParent();
    const auto options = Make<TestOptions>();
    const Walk walk = WalkCreation(parent, options.Get());
    EXPECT_EQ(walk.environmentCall, S_OK);
    EXPECT_EQ(seen.environment.calls, 1);
    EXPECT_EQ(seen.environment.error, S_OK);
    EXPECT_EQ(walk.controllerCall, S_OK);
    EXPECT_EQ(seen.controller.calls, 1);
    EXPECT_EQ(seen.controller.error, S_OK);
    EXPECT_FALSE(seen.reentered) << "a completion ran inside the call that started it";
    ASSERT_TRUE(walk.view);
    EXPECT_EQ(walk.view2, S_OK);

    ComPtr<ICoreWebView2Settings> settings;
    ASSERT_EQ(walk.view->get_Settings(&settings), S_OK);
    settings->put_IsScriptEnabled(TRUE);
    settings->put_AreDevToolsEnabled(FALSE);
    BOOL devTools = TRUE;
    settings->get_AreDevToolsEnabled(&devTools);
    EXPECT_FALSE(devTools);
    seen.controller.object->put_Bounds({0, 0, 300, 200});
    auto title = MakeCallback<ICoreWebView2DocumentTitleChangedEventHandler>(
        +[](ICoreWebView2*, IUnknown*) -> HRESULT { return S_OK; });
    auto navigation = MakeCallback<ICoreWebView2NavigationStartingEventHandler>(
        +[](ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs*) -> HRESULT { return S_OK; });
    walk.view->add_DocumentTitleChanged(title.Get(), nullptr);
    EventRegistrationToken token{};
    walk.view->add_NavigationStarting(navigation.Get(), &token);
    walk.view->AddWebResourceRequestedFilter(L"https://a.localhost/*",
                                             COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL);
    walk.view->Navigate(L"https://a.localhost/index.html");
    PumpFor(300);

    const std::vector<std::string> expected = {
        "CreateCoreWebView2EnvironmentWithOptions folder=null userDataFolder=\"C:\\\\data\" "
        "options=object handler=object -> 0x00000000",
        "Options.get_AdditionalBrowserArguments -> 0x00000000 value=\"\"",
        "Options.get_Language -> 0x00000000 value=\"de\"",
        "Options.get_TargetCompatibleBrowserVersion -> 0x00000000 value=\"113.0.1774.30\"",
        "Options.get_AllowSingleSignOnUsingOSPrimaryAccount -> 0x00000000 value=1",
        "Invoke EnvironmentCompleted errorCode=0x00000000 environment=object",
        "Return EnvironmentCompleted -> 0x00000000",
        "Environment.CreateCoreWebView2Controller parent=window visible=0 handler=object -> "
        "0x00000000",
        "Invoke ControllerCompleted errorCode=0x00000000 controller=object",
        "Return ControllerCompleted -> 0x00000000",
        "Controller.get_CoreWebView2 -> 0x00000000 webview=object",
        "WebView.QueryInterface iid=ICoreWebView2_2 -> 0x00000000",
        "WebView.get_Settings -> 0x00000000 settings=object",
        "Settings.put_IsScriptEnabled value=1 -> 0x00000000",
        "Settings.put_AreDevToolsEnabled value=0 -> 0x00000000",
        "Settings.get_AreDevToolsEnabled -> 0x00000000 value=0",
        "Controller.put_Bounds bounds=(0,0,300,200) -> 0x00000000",
        "WebView.add_DocumentTitleChanged handler=object token=null -> 0x00000000",
        "WebView.add_NavigationStarting handler=object token=pointer -> 0x00000000",
        "WebView.AddWebResourceRequestedFilter uri=\"https://a.localhost/*\" context=0 -> "
        "0x00000000",
        "WebView.Navigate uri=\"https://a.localhost/index.html\" -> 0x00000000 window.visible=0",
    };
    auto transcript = Double().Transcript();
    // The navigation line goes on with the parent's style and rectangle.
    if (transcript.size() > 20) transcript[20] = transcript[20].substr(0, expected[20].size());
    EXPECT_EQ(transcript, expected);
    EXPECT_NE(token.value, 0);
    DestroyWindow(parent);
}

TEST(BrowserDouble, ScenarioInjectsEachCreationFailure) {
    ASSERT_NE(Double().create, nullptr);
    const HRESULT none = E_UNEXPECTED;  // the step was never reached
    const struct {
        const char* scenario;
        HRESULT environmentCall;
        int environmentCalls;
        HRESULT environmentError;
        bool environment;
        HRESULT controllerCall;
        int controllerCalls;
        HRESULT controllerError;
        bool controller;
        HRESULT view2;
    } cases[] = {
        {R"({"environment": {"call": "0x80004005"}})", E_FAIL, 0, none, false, none, 0, none, false,
         none},
        {R"({"environment": {"result": "0x8007000E"}})", S_OK, 1, E_OUTOFMEMORY, true, S_OK, 1,
         S_OK, true, S_OK},
        {R"({"environment": {"result": 2147942402, "object": false}})", S_OK, 1,
         HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), false, none, 0, none, false, none},
        {R"({"controller": {"call": "0x80070005"}})", S_OK, 1, S_OK, true, E_ACCESSDENIED, 0, none,
         false, none},
        {R"({"controller": {"result": "0x80004004"}})", S_OK, 1, S_OK, true, S_OK, 1, E_ABORT, true,
         S_OK},
        {R"({"controller": {"object": false}})", S_OK, 1, S_OK, true, S_OK, 1, S_OK, false, none},
        {R"({"webview2": false})", S_OK, 1, S_OK, true, S_OK, 1, S_OK, true, E_NOINTERFACE},
    };
    HWND parent = MakeParent();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        Prepare(c.scenario);
        const Walk walk = WalkCreation(parent, nullptr);
        if (c.environmentCalls == 0) PumpFor(200);  // a failed call never completes
        EXPECT_EQ(walk.environmentCall, c.environmentCall);
        EXPECT_EQ(seen.environment.calls, c.environmentCalls);
        EXPECT_EQ(seen.environment.error, c.environmentError);
        EXPECT_EQ(seen.environment.object != nullptr, c.environment);
        if (c.environment && c.controllerCalls == 0) PumpFor(200);
        EXPECT_EQ(walk.controllerCall, c.controllerCall);
        EXPECT_EQ(seen.controller.calls, c.controllerCalls);
        EXPECT_EQ(seen.controller.error, c.controllerError);
        EXPECT_EQ(seen.controller.object != nullptr, c.controller);
        EXPECT_EQ(walk.view2, c.view2);
        EXPECT_FALSE(seen.reentered);
    }
    DestroyWindow(parent);
}

// The handlers of the events test: each does what a host would and notes
// what it got; depth catches an event raised inside another's handler.
struct EventLog {
    int depth = 0;
    bool nested = false;
    bool duringNavigate = false;
    bool navigating = false;
    std::vector<std::string> order;
    ComPtr<ICoreWebView2Environment> environment;
    std::string bigBody;
    std::wstring message;
    HRESULT nonStringResult = S_OK;
    bool nonStringText = false;
    std::wstring title;
    BOOL fullScreen = FALSE;
};
EventLog events;

struct Enter {
    explicit Enter(const char* name) {
        events.nested |= events.depth > 0;
        events.duringNavigate |= events.navigating;
        ++events.depth;
        events.order.push_back(name);
    }
    ~Enter() { --events.depth; }
};

HRESULT OnDom(ICoreWebView2*, ICoreWebView2DOMContentLoadedEventArgs*) {
    Enter enter("DOMContentLoaded");
    return S_OK;
}

HRESULT OnResource(ICoreWebView2*, ICoreWebView2WebResourceRequestedEventArgs* args) {
    Enter enter("WebResourceRequested");
    ComPtr<ICoreWebView2WebResourceRequest> request;
    args->get_Request(&request);
    CoTaskMemString uri;
    request->get_Uri(uri.Put());
    ComPtr<ICoreWebView2HttpRequestHeaders> headers;
    request->get_Headers(&headers);
    BOOL hasRange = FALSE;
    headers->Contains(L"range", &hasRange);
    CoTaskMemString range;
    if (hasRange) headers->GetHeader(L"Range", range.Put());
    const bool big = uri.Copy().find(L"big") != std::wstring::npos;
    const std::string body = big ? events.bigBody : "range " + std::string(hasRange ? "yes" : "no");
    ComPtr<IStream> stream;
    *stream.GetAddressOf() = SHCreateMemStream(reinterpret_cast<const BYTE*>(body.data()),
                                               static_cast<UINT>(body.size()));
    ComPtr<ICoreWebView2WebResourceResponse> response;
    events.environment->CreateWebResourceResponse(stream.Get(), hasRange ? 206 : 200,
                                                  hasRange ? L"Partial Content" : L"OK",
                                                  L"A: 1\nB:  two\r", &response);
    args->put_Response(response.Get());
    return S_OK;
}

HRESULT OnNavigation(ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs* args) {
    Enter enter("NavigationStarting");
    CoTaskMemString uri;
    args->get_Uri(uri.Put());
    if (uri.Copy().find(L"outside") != std::wstring::npos) args->put_Cancel(TRUE);
    return S_OK;
}

HRESULT OnPermission(ICoreWebView2*, ICoreWebView2PermissionRequestedEventArgs* args) {
    Enter enter("PermissionRequested");
    args->put_State(COREWEBVIEW2_PERMISSION_STATE_ALLOW);
    return S_OK;
}

HRESULT OnNewWindow(ICoreWebView2*, ICoreWebView2NewWindowRequestedEventArgs* args) {
    Enter enter("NewWindowRequested");
    args->put_Handled(TRUE);
    return S_OK;
}

HRESULT OnMessage(ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs* args) {
    Enter enter("WebMessageReceived");
    CoTaskMemString text;
    const HRESULT hr = args->TryGetWebMessageAsString(text.Put());
    if (SUCCEEDED(hr)) {
        events.message = text.Copy();
    } else {
        events.nonStringResult = hr;
        events.nonStringText = static_cast<bool>(text);
    }
    return S_OK;
}

HRESULT OnTitle(ICoreWebView2* sender, IUnknown*) {
    Enter enter("DocumentTitleChanged");
    CoTaskMemString title;
    sender->get_DocumentTitle(title.Put());
    events.title = title.Copy();
    return S_OK;
}

HRESULT OnFullScreen(ICoreWebView2* sender, IUnknown*) {
    Enter enter("ContainsFullScreenElementChanged");
    sender->get_ContainsFullScreenElement(&events.fullScreen);
    return S_OK;
}

HRESULT OnClose(ICoreWebView2*, IUnknown*) {
    Enter enter("WindowCloseRequested");
    return S_OK;
}

TEST(BrowserDouble, EventsArriveOneByOneAfterNavigationAndRecordTheHandlersDecisions) {
    ASSERT_NE(Double().create, nullptr);
    Prepare(R"({"events": [
        {"event": "DOMContentLoaded"},
        {"event": "WebResourceRequested", "uri": "https://a.localhost/a.js", "range": "bytes=0-3"},
        {"event": "WebResourceRequested", "uri": "https://a.localhost/big.bin", "delayMs": 0},
        {"event": "NavigationStarting", "uri": "https://outside.example/"},
        {"event": "NavigationStarting", "uri": "https://a.localhost/next.html"},
        {"event": "PermissionRequested", "uri": "https://a.localhost/", "kind": 2},
        {"event": "NewWindowRequested", "uri": "https://outside.example/"},
        {"event": "WebMessageReceived", "source": "https://a.localhost/", "text": "{\"a\": 1}"},
        {"event": "WebMessageReceived", "source": "https://a.localhost/", "json": "[1,2]"},
        {"event": "Pause", "delayMs": 50},
        {"event": "DocumentTitleChanged", "title": "Level 2"},
        {"event": "ContainsFullScreenElementChanged", "value": true},
        {"event": "WindowCloseRequested"}
    ]})");
    events = {};
    for (int i = 0; i < 100000; ++i) events.bigBody += static_cast<char>((i * 7919) >> 3);
    HWND parent = MakeParent();
    const Walk walk = WalkCreation(parent, nullptr);
    ASSERT_TRUE(walk.view);
    events.environment = seen.environment.object;
    ComPtr<ICoreWebView2_2> view2;
    ASSERT_EQ(walk.view.As(&view2), S_OK);
    auto& view = walk.view;
    Listen(view.Get(), &ICoreWebView2::add_DocumentTitleChanged, &OnTitle);
    Listen(view.Get(), &ICoreWebView2::add_WebResourceRequested, &OnResource);
    Listen(view.Get(), &ICoreWebView2::add_NavigationStarting, &OnNavigation);
    Listen(view.Get(), &ICoreWebView2::add_PermissionRequested, &OnPermission);
    Listen(view.Get(), &ICoreWebView2::add_ContainsFullScreenElementChanged, &OnFullScreen);
    // Registered and removed again: the close request finds no handler.
    EventRegistrationToken closeToken{};
    Listen(view.Get(), &ICoreWebView2::add_WindowCloseRequested, &OnClose, &closeToken);
    EXPECT_EQ(view->remove_WindowCloseRequested(closeToken), S_OK);
    Listen(view.Get(), &ICoreWebView2::add_NewWindowRequested, &OnNewWindow);
    Listen(view.Get(), &ICoreWebView2::add_WebMessageReceived, &OnMessage);
    Listen(view2.Get(), &ICoreWebView2_2::add_DOMContentLoaded, &OnDom);

    PumpFor(150);
    EXPECT_TRUE(LinesStartingWith(Double().Transcript(), "Raise ").empty())
        << "events before the navigation";
    events.navigating = true;
    view->Navigate(L"https://a.localhost/index.html");
    events.navigating = false;
    PumpUntil([] { return !LinesStartingWith(Double().Transcript(), "Done events=13").empty(); },
              ScaledMs(5000));

    EXPECT_FALSE(events.nested);
    EXPECT_FALSE(events.duringNavigate);
    const std::vector<std::string> order = {"DOMContentLoaded",
                                            "WebResourceRequested",
                                            "WebResourceRequested",
                                            "NavigationStarting",
                                            "NavigationStarting",
                                            "PermissionRequested",
                                            "NewWindowRequested",
                                            "WebMessageReceived",
                                            "WebMessageReceived",
                                            "DocumentTitleChanged",
                                            "ContainsFullScreenElementChanged"};
    EXPECT_EQ(events.order, order);
    EXPECT_EQ(events.message, L"{\"a\": 1}");
    EXPECT_EQ(events.nonStringResult, E_INVALIDARG);
    EXPECT_FALSE(events.nonStringText);
    EXPECT_EQ(events.title, L"Level 2");
    EXPECT_TRUE(events.fullScreen);

    const auto transcript = Double().Transcript();
    const auto returns = LinesStartingWith(transcript, "Return ");
    ASSERT_EQ(returns.size(), 14u);  // two completions, then every event but the pause
    EXPECT_EQ(FieldOf(returns[3], "status"), "206");
    EXPECT_EQ(FieldOf(returns[3], "reason"), "\"Partial Content\"");
    // Read back through the response's own header collection.
    EXPECT_EQ(FieldOf(returns[3], "headers.read"), "\"A: 1\\nB: two\\r\"");
    EXPECT_EQ(FieldOf(returns[3], "body"), "\"range yes\"");
    EXPECT_EQ(FieldOf(returns[4], "status"), "200");
    EXPECT_EQ(FieldOf(returns[4], "body.length"), "100000");
    EXPECT_EQ(FieldOf(returns[4], "body.fnv1a"), Fnv1a(events.bigBody));
    EXPECT_EQ(FieldOf(returns[4], "body"), "");  // too long to be written out
    EXPECT_EQ(FieldOf(returns[5], "cancel"), "1");
    EXPECT_EQ(FieldOf(returns[6], "cancel"), "0");
    EXPECT_EQ(FieldOf(returns[7], "state"), "1");
    EXPECT_EQ(FieldOf(returns[7], "puts"), "1");
    EXPECT_EQ(FieldOf(returns[8], "handled"), "1");
    EXPECT_EQ(FieldOf(returns[8], "newWindow"), "null");
    EXPECT_EQ(returns[13].rfind("Return WindowCloseRequested -> 0x00000000", 0), 0u);
    const auto raises = LinesStartingWith(transcript, "Raise ");
    ASSERT_EQ(raises.size(), 12u);
    EXPECT_EQ(FieldOf(raises[11], "handlers"), "0");
    EXPECT_EQ(FieldOf(raises[1], "range"), "\"bytes=0-3\"");
    EXPECT_EQ(FieldOf(raises[2], "range"), "null");
    // The raw header text as the host gave it, and the host's header queries.
    const auto created = LinesStartingWith(transcript, "Environment.CreateWebResourceResponse");
    ASSERT_EQ(created.size(), 2u);
    EXPECT_EQ(FieldOf(created[0], "headers"), "\"A: 1\\nB:  two\\r\"");
    EXPECT_EQ(LinesStartingWith(transcript, "RequestHeaders.GetHeader name=\"Range\"").size(), 1u);
    EXPECT_EQ(FieldOf(LinesStartingWith(transcript, "RequestHeaders.GetHeader")[0], "value"),
              "\"bytes=0-3\"");
    events = {};
    DestroyWindow(parent);
}

// What the failure handlers of the next test saw, and the view each event
// reached.
struct FailureLog {
    std::vector<std::string> seen;
    ICoreWebView2* sender = nullptr;
    bool browserGone = false;
};
FailureLog failures;

HRESULT OnProcessFailed(ICoreWebView2* sender, ICoreWebView2ProcessFailedEventArgs* args) {
    COREWEBVIEW2_PROCESS_FAILED_KIND kind{};
    args->get_ProcessFailedKind(&kind);
    failures.sender = sender;
    std::string note = "ProcessFailed " + std::to_string(static_cast<int>(kind));
    if (kind == COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_EXITED)
        note += " reload=" + Hex(sender->Reload());
    failures.browserGone |= kind == COREWEBVIEW2_PROCESS_FAILED_KIND_BROWSER_PROCESS_EXITED;
    failures.seen.push_back(note);
    return S_OK;
}

HRESULT OnNavigationCompleted(ICoreWebView2* sender,
                              ICoreWebView2NavigationCompletedEventArgs* args) {
    BOOL success = TRUE;
    COREWEBVIEW2_WEB_ERROR_STATUS status{};
    UINT64 id = 0;
    args->get_IsSuccess(&success);
    args->get_WebErrorStatus(&status);
    args->get_NavigationId(&id);
    failures.sender = sender;
    failures.seen.push_back("NavigationCompleted " + std::to_string(success) + " " +
                            std::to_string(static_cast<int>(status)) + " " + std::to_string(id));
    return S_OK;
}

ComPtr<ICoreWebView2> StartView(HWND parent) {
    const Walk walk = WalkCreation(parent, nullptr);
    if (!walk.view) return nullptr;
    Listen(walk.view.Get(), &ICoreWebView2::add_ProcessFailed, &OnProcessFailed);
    Listen(walk.view.Get(), &ICoreWebView2::add_NavigationCompleted, &OnNavigationCompleted);
    walk.view->Navigate(L"https://a.localhost/index.html");
    return walk.view;
}

TEST(BrowserDouble, FailureEventsReachTheViewThatNavigatedLastAndReloadAnswersAsTold) {
    ASSERT_NE(Double().create, nullptr);
    Prepare(R"({"reload": "0x80004005", "events": [
        {"event": "NavigationCompleted", "success": false, "status": 6},
        {"event": "ProcessFailed", "kind": 1},
        {"event": "ProcessFailed", "kind": 0},
        {"event": "Pause", "delayMs": 300},
        {"event": "ProcessFailed", "kind": 2},
        {"event": "NavigationCompleted"}
    ]})");
    failures = {};
    HWND parent = MakeParent();
    ComPtr<ICoreWebView2> first = StartView(parent);
    ASSERT_TRUE(first);
    PumpUntil([] { return failures.browserGone; }, ScaledMs(5000));
    ASSERT_TRUE(failures.browserGone);
    EXPECT_EQ(failures.sender, first.Get());
    // The browser is gone: the old objects go, and a new walk takes over the
    // rest of the list.
    first.Reset();
    ComPtr<ICoreWebView2> second = StartView(parent);
    ASSERT_TRUE(second);
    PumpUntil([] { return !LinesStartingWith(Double().Transcript(), "Done events=6").empty(); },
              ScaledMs(5000));
    EXPECT_EQ(failures.sender, second.Get());
    const std::vector<std::string> seenInOrder = {
        "NavigationCompleted 0 6 7", "ProcessFailed 1 reload=0x80004005", "ProcessFailed 0",
        "ProcessFailed 2", "NavigationCompleted 1 0 7"};
    EXPECT_EQ(failures.seen, seenInOrder);

    const auto transcript = Double().Transcript();
    EXPECT_EQ(LinesStartingWith(transcript, "CreateCoreWebView2EnvironmentWithOptions").size(), 2u);
    EXPECT_EQ(LinesStartingWith(transcript, "Environment.CreateCoreWebView2Controller").size(), 2u);
    // The first controller and environment were let go by the second walk.
    EXPECT_EQ(LinesStartingWith(transcript, "Controller released").size(), 1u);
    EXPECT_EQ(LinesStartingWith(transcript, "Environment released").size(), 1u);
    const auto reloads = LinesStartingWith(transcript, "WebView.Reload");
    ASSERT_EQ(reloads.size(), 1u);
    EXPECT_EQ(reloads[0].rfind("WebView.Reload -> 0x80004005 window.visible=0", 0), 0u);
    const auto raises = LinesStartingWith(transcript, "Raise ");
    ASSERT_EQ(raises.size(), 5u);
    EXPECT_EQ(raises[0].rfind("Raise NavigationCompleted success=0 status=6 handlers=1", 0), 0u);
    EXPECT_EQ(raises[2].rfind("Raise ProcessFailed kind=0 handlers=1", 0), 0u);
    EXPECT_EQ(raises[3].rfind("Raise ProcessFailed kind=2 handlers=1", 0), 0u);
    EXPECT_EQ(LinesStartingWith(transcript, "WebView.add_ProcessFailed handler=object").size(), 2u);
    DestroyWindow(parent);
}

}  // namespace
