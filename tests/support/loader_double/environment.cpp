// The environment, its creation, the controller, the settings and the
// responses the host creates for resource requests.
//
// Scenario keys for creation (HRESULTs as numbers or "0x..." texts):
//   "environment": {"call": hr}     the creation call answers hr at once and
//                                   never completes
//                  {"result": hr}   the completion delivers hr (default S_OK)
//                  {"object": false} the completion delivers no environment
//   "controller":  the same three for CreateCoreWebView2Controller
//   "webview2": false               the view does not answer ICoreWebView2_2
//   "newestSettings": N             the settings answer ICoreWebView2Settings2
//                                   to ICoreWebView2SettingsN only (default 6)
//   "environment5": false           the environment lacks ICoreWebView2Environment5
//                                   (and 2 to 4): the host waits on the view's
//                                   get_BrowserProcessId instead
//   "browserExit": {"delayMs": N}   after the controller's Close the browser
//                  {"never": true}  exits in N ms (default 50), or never
// BrowserProcessExited is raised as "Quit: Raise BrowserProcessExited
// handlers=N", "Quit: Return BrowserProcessExited -> hr".
// Each creation call reads the scenario afresh and is answered alike, so a
// host that starts the browser again is heard in full once more. The last
// release of an environment or controller is recorded ("... released").
// Scenario key "refuse" (see Refusal) reaches the settings' put_ slots, the
// controller's "put_Bounds", "put_IsVisible", "MoveFocus" and "Close", and
// "CreateWebResourceResponse".
#include "tests/support/loader_double/double.h"

namespace browser_double {

namespace {

// The options as the control reads them at creation: every getter, recorded
// with its answer, even an empty one.
void ReadOptions(ICoreWebView2EnvironmentOptions* options) {
    if (!options) return;
    const struct {
        const char* name;
        HRESULT (STDMETHODCALLTYPE ICoreWebView2EnvironmentOptions::*get)(LPWSTR*);
    } texts[] = {
        {"AdditionalBrowserArguments",
         &ICoreWebView2EnvironmentOptions::get_AdditionalBrowserArguments},
        {"Language", &ICoreWebView2EnvironmentOptions::get_Language},
        {"TargetCompatibleBrowserVersion",
         &ICoreWebView2EnvironmentOptions::get_TargetCompatibleBrowserVersion},
    };
    for (const auto& text : texts) {
        LPWSTR value = nullptr;
        const HRESULT hr = (options->*text.get)(&value);
        Record(std::string("Options.get_") + text.name + " -> " + Hex(hr) +
               " value=" + Quote(value));
        CoTaskMemFree(value);
    }
    BOOL allow = 2;  // neither answer, so a getter that writes nothing shows
    const HRESULT hr = options->get_AllowSingleSignOnUsingOSPrimaryAccount(&allow);
    Record("Options.get_AllowSingleSignOnUsingOSPrimaryAccount -> " + Hex(hr) +
           " value=" + std::to_string(allow));
}

// Delivers a creation's completion from the message loop, between "Invoke
// <what>Completed errorCode=<result> <field>=..." and "Return <what>Completed".
template <class Handler, class Created>
void CompleteLater(const std::string& what, const char* field, Handler* handler, HRESULT result,
                   ComPtr<Created> created) {
    ComPtr<Handler> keep = handler;
    Schedule([=] {
        Record("Invoke " + what + "Completed errorCode=" + Hex(result) + " " + field + "=" +
               Object(created.Get()));
        const HRESULT returned = keep->Invoke(result, created.Get());
        Record("Return " + what + "Completed -> " + Hex(returned));
    });
}

// Answers the newer settings interfaces up to the scenario's
// "newestSettings" (1 to 6, default 6: all of them); asking for any of them
// is recorded with its answer.
class Settings final : public ComObject<ICoreWebView2Settings6> {
public:
    Settings() : newest_(static_cast<int>(Scenario().value("newestSettings", 6))) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        const HRESULT hr = ComObject<ICoreWebView2Settings6>::QueryInterface(iid, out);
        const int version = NewerVersion(iid);
        if (version > 0)
            Record("Settings.QueryInterface iid=ICoreWebView2Settings" + std::to_string(version) +
                   " -> " + Hex(hr));
        else if (iid != __uuidof(IUnknown) && iid != __uuidof(ICoreWebView2Settings))
            Record("Settings.QueryInterface iid=other -> " + Hex(hr));
        return hr;
    }

#define LS_SETTING(Name)                                                       \
    HRESULT STDMETHODCALLTYPE get_##Name(BOOL* value) override {               \
        return Answer("Settings.get_" #Name, value, Name##_);                  \
    }                                                                          \
    HRESULT STDMETHODCALLTYPE put_##Name(BOOL value) override {                \
        return Decide("Settings", "put_" #Name, &Name##_, value, Flag(value)); \
    }
    LS_SETTING(IsScriptEnabled)
    LS_SETTING(IsWebMessageEnabled)
    LS_SETTING(AreDefaultScriptDialogsEnabled)
    LS_SETTING(IsStatusBarEnabled)
    LS_SETTING(AreDevToolsEnabled)
    LS_SETTING(AreDefaultContextMenusEnabled)
    LS_SETTING(AreHostObjectsAllowed)
    LS_SETTING(IsZoomControlEnabled)
    LS_SETTING(IsBuiltInErrorPageEnabled)
    LS_SETTING(AreBrowserAcceleratorKeysEnabled)
    LS_SETTING(IsPasswordAutosaveEnabled)
    LS_SETTING(IsGeneralAutofillEnabled)
    LS_SETTING(IsPinchZoomEnabled)
    LS_SETTING(IsSwipeNavigationEnabled)
#undef LS_SETTING
    HRESULT STDMETHODCALLTYPE get_UserAgent(LPWSTR* value) override {
        Record("Settings.get_UserAgent -> 0x80004001");
        if (value) *value = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE put_UserAgent(LPCWSTR value) override {
        Record("Settings.put_UserAgent value=" + Quote(value) + " -> 0x80004001");
        return E_NOTIMPL;
    }

protected:
    bool Answers(REFIID iid) override {
        const int version = NewerVersion(iid);
        return iid == __uuidof(ICoreWebView2Settings) || (version > 0 && version <= newest_);
    }

private:
    // 2 to 6 for a newer settings interface, otherwise 0.
    static int NewerVersion(REFIID iid) {
        if (iid == __uuidof(ICoreWebView2Settings2)) return 2;
        if (iid == __uuidof(ICoreWebView2Settings3)) return 3;
        if (iid == __uuidof(ICoreWebView2Settings4)) return 4;
        if (iid == __uuidof(ICoreWebView2Settings5)) return 5;
        if (iid == __uuidof(ICoreWebView2Settings6)) return 6;
        return 0;
    }

    const int newest_;
    // The control's defaults: everything enabled.
    BOOL IsScriptEnabled_ = TRUE, IsWebMessageEnabled_ = TRUE,
         AreDefaultScriptDialogsEnabled_ = TRUE, IsStatusBarEnabled_ = TRUE,
         AreDevToolsEnabled_ = TRUE, AreDefaultContextMenusEnabled_ = TRUE,
         AreHostObjectsAllowed_ = TRUE, IsZoomControlEnabled_ = TRUE,
         IsBuiltInErrorPageEnabled_ = TRUE, AreBrowserAcceleratorKeysEnabled_ = TRUE,
         IsPasswordAutosaveEnabled_ = TRUE, IsGeneralAutofillEnabled_ = TRUE,
         IsPinchZoomEnabled_ = TRUE, IsSwipeNavigationEnabled_ = TRUE;
};

// A header text as the control reads it: one header per line, name and
// value split at the first colon, blanks before the value dropped. Lines are
// split at line feeds only, so a carriage return stays visible in the value.
std::vector<Header> ParseHeaders(const wchar_t* text) {
    std::vector<Header> headers;
    if (!text) return headers;
    std::wstring all = text;
    size_t start = 0;
    while (start <= all.size()) {
        size_t end = all.find(L'\n', start);
        if (end == std::wstring::npos) end = all.size();
        const std::wstring line = all.substr(start, end - start);
        if (!line.empty()) {
            const size_t colon = line.find(L':');
            Header header;
            header.name = line.substr(0, colon);
            if (colon != std::wstring::npos) {
                size_t value = colon + 1;
                while (value < line.size() && (line[value] == L' ' || line[value] == L'\t'))
                    ++value;
                header.value = line.substr(value);
            }
            headers.push_back(header);
        }
        start = end + 1;
    }
    return headers;
}

// Its queries go unrecorded: the double reads every response through them.
class ResponseHeaders final : public HeaderList<ICoreWebView2HttpResponseHeaders> {
public:
    ResponseHeaders(IUnknown* owner, std::vector<Header>* headers)
        : HeaderList(nullptr, headers), owner_(owner) {}

    HRESULT STDMETHODCALLTYPE AppendHeader(LPCWSTR name, LPCWSTR value) override {
        Record("ResponseHeaders.AppendHeader name=" + Quote(name) + " value=" + Quote(value) +
               " -> 0x00000000");
        list().push_back({name ? name : L"", value ? value : L""});
        return S_OK;
    }

private:
    // The response's own list, kept alive through the reference to it.
    ComPtr<IUnknown> owner_;
};

class Response final : public ComObject<ICoreWebView2WebResourceResponse> {
public:
    Response(IStream* content, int status, LPCWSTR reason, LPCWSTR headers)
        : content_(content),
          status_(status),
          reason_(reason ? reason : L""),
          headers_(ParseHeaders(headers)) {}

    HRESULT STDMETHODCALLTYPE get_Content(IStream** content) override {
        if (!content) return E_POINTER;
        *content = content_.Get();
        if (*content) (*content)->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Content(IStream* content) override {
        Record("Response.put_Content content=" + Object(content) + " -> 0x00000000");
        content_ = content;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Headers(ICoreWebView2HttpResponseHeaders** headers) override {
        if (!headers) return E_POINTER;
        *headers = Make<ResponseHeaders>(this, &headers_).Detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_StatusCode(int* statusCode) override {
        if (!statusCode) return E_POINTER;
        *statusCode = status_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_StatusCode(int statusCode) override {
        Record("Response.put_StatusCode value=" + std::to_string(statusCode) + " -> 0x00000000");
        status_ = statusCode;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_ReasonPhrase(LPWSTR* reasonPhrase) override {
        return CopyOut(reason_, reasonPhrase);
    }
    HRESULT STDMETHODCALLTYPE put_ReasonPhrase(LPCWSTR reasonPhrase) override {
        Record("Response.put_ReasonPhrase value=" + Quote(reasonPhrase) + " -> 0x00000000");
        reason_ = reasonPhrase ? reasonPhrase : L"";
        return S_OK;
    }

private:
    ~Response() override = default;
    ComPtr<IStream> content_;
    int status_;
    std::wstring reason_;
    std::vector<Header> headers_;
};

class Controller final : public ComObject<ICoreWebView2Controller> {
public:
    // closing: what runs once the browser has exited after Close (nothing
    // when empty); environment is kept as long as this controller.
    Controller(HWND parent, bool answersView2, ComPtr<IUnknown> environment,
               std::function<std::function<void()>()> closing)
        : parent_(parent),
          view_(MakeView(parent, answersView2)),
          environment_(std::move(environment)),
          closing_(std::move(closing)) {}
    // The host lets go of its last reference: it has dropped this controller.
    ~Controller() override {
        DropKeyHandlers(this);
        Record("Controller released");
    }

    HRESULT STDMETHODCALLTYPE get_IsVisible(BOOL* isVisible) override {
        return Answer("Controller.get_IsVisible", isVisible, visible_);
    }
    HRESULT STDMETHODCALLTYPE put_IsVisible(BOOL isVisible) override {
        const HRESULT hr = Refusal("put_IsVisible");
        if (SUCCEEDED(hr)) visible_ = isVisible;
        Record("Controller.put_IsVisible value=" + Flag(isVisible) + " -> " + Hex(hr) + " " +
               ObserveWindow(parent_));
        return hr;
    }
    HRESULT STDMETHODCALLTYPE get_Bounds(RECT* bounds) override {
        if (!bounds) return E_POINTER;
        *bounds = bounds_;
        Record("Controller.get_Bounds -> 0x00000000 bounds=" + Rect(bounds_));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Bounds(RECT bounds) override {
        const HRESULT hr = Refusal("put_Bounds");
        if (SUCCEEDED(hr)) bounds_ = bounds;
        Record("Controller.put_Bounds bounds=" + Rect(bounds) + " -> " + Hex(hr));
        return hr;
    }
    HRESULT STDMETHODCALLTYPE get_ZoomFactor(double* zoomFactor) override {
        return Answer("Controller.get_ZoomFactor", zoomFactor, 1.0, "1");
    }
    LS_UNCALLED(put_ZoomFactor, double)
    LS_UNCALLED_EVENT(ZoomFactorChanged, ICoreWebView2ZoomFactorChangedEventHandler)
    HRESULT STDMETHODCALLTYPE SetBoundsAndZoomFactor(RECT bounds, double zoomFactor) override {
        bounds_ = bounds;
        Record("Controller.SetBoundsAndZoomFactor bounds=" + Rect(bounds) +
               " zoom=" + std::to_string(zoomFactor) + " -> 0x00000000");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON reason) override {
        const HRESULT hr = Refusal("MoveFocus");
        Record("Controller.MoveFocus reason=" + std::to_string(static_cast<int>(reason)) + " -> " +
               Hex(hr));
        return hr;
    }
    LS_UNCALLED_EVENT(MoveFocusRequested, ICoreWebView2MoveFocusRequestedEventHandler)
    LS_UNCALLED_EVENT(GotFocus, ICoreWebView2FocusChangedEventHandler)
    LS_UNCALLED_EVENT(LostFocus, ICoreWebView2FocusChangedEventHandler)
    HRESULT STDMETHODCALLTYPE
    add_AcceleratorKeyPressed(ICoreWebView2AcceleratorKeyPressedEventHandler* handler,
                              EventRegistrationToken* token) override {
        const HRESULT hr = AddHandlerAnswer("Controller", "AcceleratorKeyPressed", handler, token);
        if (SUCCEEDED(hr)) AddKeyHandler(this, handler);
        return hr;
    }
    LS_UNCALLED(remove_AcceleratorKeyPressed, EventRegistrationToken)
    HRESULT STDMETHODCALLTYPE get_ParentWindow(HWND* parentWindow) override {
        if (!parentWindow) return E_POINTER;
        *parentWindow = parent_;
        Record("Controller.get_ParentWindow -> 0x00000000");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_ParentWindow(HWND parentWindow) override {
        parent_ = parentWindow;
        Record("Controller.put_ParentWindow window=" + Object(parentWindow) + " -> 0x00000000");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE NotifyParentWindowPositionChanged() override {
        Record("Controller.NotifyParentWindowPositionChanged -> 0x00000000");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Close() override {
        const HRESULT hr = Refusal("Close");
        Record("Controller.Close -> " + Hex(hr));
        if (SUCCEEDED(hr) && !closed_) {
            closed_ = true;
            BrowserClosing(closing_());
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE get_CoreWebView2(ICoreWebView2** coreWebView2) override {
        return GiveObject<ICoreWebView2>("Controller.get_CoreWebView2", coreWebView2, view_.Get(),
                                         "webview");
    }

private:
    static HRESULT Uncalled(const char* name) {
        Record(std::string("Controller.") + name + " -> 0x80004001");
        return E_NOTIMPL;
    }
    HWND parent_;
    ComPtr<ICoreWebView2_2> view_;
    ComPtr<IUnknown> environment_;
    std::function<std::function<void()>()> closing_;
    bool closed_ = false;
    BOOL visible_ = TRUE;
    RECT bounds_{};
};

class ExitedArgs final : public ComObject<ICoreWebView2BrowserProcessExitedEventArgs> {
public:
    HRESULT STDMETHODCALLTYPE
    get_BrowserProcessExitKind(COREWEBVIEW2_BROWSER_PROCESS_EXIT_KIND* value) override {
        return Answer("BrowserProcessExitedArgs.get_BrowserProcessExitKind", value,
                      static_cast<COREWEBVIEW2_BROWSER_PROCESS_EXIT_KIND>(0), "0");
    }
    HRESULT STDMETHODCALLTYPE get_BrowserProcessId(UINT32* value) override {
        return Answer<UINT32>("BrowserProcessExitedArgs.get_BrowserProcessId", value, 4242, "4242");
    }
};

class Environment final : public ComObject<ICoreWebView2Environment5> {
public:
    Environment() : answers5_(GetBoolOr(Scenario(), "environment5", true)) {}
    ~Environment() override { Record("Environment released"); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        const HRESULT hr = ComObject<ICoreWebView2Environment5>::QueryInterface(iid, out);
        RecordQuery("Environment", iid, __uuidof(ICoreWebView2Environment5),
                    "ICoreWebView2Environment5", __uuidof(ICoreWebView2Environment), hr);
        return hr;
    }

    LS_UNCALLED(CreateWebResourceRequest, LPCWSTR, LPCWSTR, IStream*, LPCWSTR,
                ICoreWebView2WebResourceRequest**)
    LS_UNCALLED(CreateCoreWebView2CompositionController, HWND,
                ICoreWebView2CreateCoreWebView2CompositionControllerCompletedHandler*)
    LS_UNCALLED(CreateCoreWebView2PointerInfo, ICoreWebView2PointerInfo**)
    LS_UNCALLED(GetAutomationProviderForWindow, HWND, IUnknown**)
    HRESULT STDMETHODCALLTYPE
    add_BrowserProcessExited(ICoreWebView2BrowserProcessExitedEventHandler* handler,
                             EventRegistrationToken* token) override {
        const HRESULT hr = AddHandlerAnswer("Environment", "BrowserProcessExited", handler, token);
        if (SUCCEEDED(hr)) exitHandlers_.push_back(handler);
        return hr;
    }
    LS_UNCALLED(remove_BrowserProcessExited, EventRegistrationToken)

    void RaiseExited() {
        Record("Quit: Raise BrowserProcessExited handlers=" + std::to_string(exitHandlers_.size()));
        HRESULT result = S_OK;
        const auto handlers = exitHandlers_;
        auto args = Make<ExitedArgs>();
        for (const auto& handler : handlers) result = handler->Invoke(this, args.Get());
        Record("Quit: Return BrowserProcessExited -> " + Hex(result));
    }
    HRESULT STDMETHODCALLTYPE CreateCoreWebView2Controller(
        HWND parentWindow,
        ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) override {
        const auto scenario = Scenario();
        const auto section = Section(scenario, "controller");
        HRESULT hr = handler ? HresultOr(section, "call", S_OK) : E_POINTER;
        std::string parent = "null";
        if (parentWindow)
            parent = IsWindow(parentWindow) ? std::string("window visible=") +
                                                  (IsWindowVisible(parentWindow) ? "1" : "0")
                                            : "invalid";
        Record("Environment.CreateCoreWebView2Controller parent=" + parent +
               " handler=" + Object(handler) + " -> " + Hex(hr));
        if (FAILED(hr)) return hr;
        const HRESULT result = HresultOr(section, "result", S_OK);
        ComPtr<ICoreWebView2Controller> controller;
        if (GetBoolOr(section, "object", true))
            controller = Make<Controller>(
                parentWindow, GetBoolOr(scenario, "webview2", true),
                ComPtr<IUnknown>(static_cast<ICoreWebView2Environment*>(this)), [this] {
                    // Raised only where the host listens, so a browser
                    // started again lets go of its old environment at once.
                    std::function<void()> raise;
                    if (!exitHandlers_.empty())
                        raise = [keep = ComPtr<Environment>(this)] { keep->RaiseExited(); };
                    return raise;
                });
        CompleteLater("Controller", "controller", handler, result, controller);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE CreateWebResourceResponse(
        IStream* content, int statusCode, LPCWSTR reasonPhrase, LPCWSTR headers,
        ICoreWebView2WebResourceResponse** response) override {
        const HRESULT hr = response ? Refusal("CreateWebResourceResponse") : E_POINTER;
        Record("Environment.CreateWebResourceResponse content=" + Object(content) +
               " status=" + std::to_string(statusCode) + " reason=" + Quote(reasonPhrase) +
               " headers=" + Quote(headers) + " -> " + Hex(hr));
        if (!response) return hr;
        *response = nullptr;
        if (FAILED(hr)) return hr;
        *response = Make<Response>(content, statusCode, reasonPhrase, headers).Detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_BrowserVersionString(LPWSTR* versionInfo) override {
        const std::wstring version = GetStringOr(Scenario(), "version", L"120.0.2210.91");
        const HRESULT hr = CopyOut(version, versionInfo);
        Record("Environment.get_BrowserVersionString -> " + Hex(hr) +
               " version=" + Quote(version.c_str()));
        return hr;
    }
    LS_UNCALLED_EVENT(NewBrowserVersionAvailable,
                      ICoreWebView2NewBrowserVersionAvailableEventHandler)

protected:
    bool Answers(REFIID iid) override {
        return iid == __uuidof(ICoreWebView2Environment) ||
               (answers5_ && (iid == __uuidof(ICoreWebView2Environment2) ||
                              iid == __uuidof(ICoreWebView2Environment3) ||
                              iid == __uuidof(ICoreWebView2Environment4) ||
                              iid == __uuidof(ICoreWebView2Environment5)));
    }

private:
    static HRESULT Uncalled(const char* name) {
        Record(std::string("Environment.") + name + " -> 0x80004001");
        return E_NOTIMPL;
    }
    const bool answers5_;
    std::vector<ComPtr<ICoreWebView2BrowserProcessExitedEventHandler>> exitHandlers_;
};

}  // namespace

ComPtr<ICoreWebView2Settings> MakeSettings() {
    return Make<Settings>();
}

ComPtr<ICoreWebView2Environment> MakeEnvironment() {
    return Make<Environment>();
}

HRESULT StartEnvironmentCreation(
    PCWSTR browserExecutableFolder, PCWSTR userDataFolder, ICoreWebView2EnvironmentOptions* options,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) {
    const auto section = Section(Scenario(), "environment");
    const HRESULT hr = handler ? HresultOr(section, "call", S_OK) : E_POINTER;
    Record("CreateCoreWebView2EnvironmentWithOptions folder=" + Quote(browserExecutableFolder) +
           " userDataFolder=" + Quote(userDataFolder) + " options=" + Object(options) +
           " handler=" + Object(handler) + " -> " + Hex(hr));
    ReadOptions(options);
    if (FAILED(hr)) return hr;
    const HRESULT result = HresultOr(section, "result", S_OK);
    ComPtr<ICoreWebView2Environment> environment;
    if (GetBoolOr(section, "object", true)) environment = MakeEnvironment();
    CompleteLater("Environment", "environment", handler, result, environment);
    return hr;
}

}  // namespace browser_double
