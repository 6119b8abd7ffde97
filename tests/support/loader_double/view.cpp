// The view, its event registrations and the scenario's events, raised one
// by one through the host's message loop once the host has navigated.
//
// Scenario key "events": a list of objects, each with "event" naming it and
// "delayMs" (default 20) to wait before raising it:
//   {"event": "DOMContentLoaded"}
//   {"event": "WebResourceRequested", "uri": "...", "range": "bytes=0-9",
//    "method": "GET", "headers": {"Name": "value"}, "context": 3,
//    "readBody": "afterTeardown"}   (default: read at once, after the handler)
//   {"event": "NavigationStarting", "uri": "..."}
//   {"event": "PermissionRequested", "uri": "...", "kind": 1}
//   {"event": "NewWindowRequested", "uri": "..."}
//   {"event": "WebMessageReceived", "source": "...", "text": "..."}
//          ("json" instead of "text": a message posted as a non-string)
//   {"event": "DocumentTitleChanged", "title": "..."}
//   {"event": "ContainsFullScreenElementChanged", "value": true}
//   {"event": "WindowCloseRequested"}
//   {"event": "ProcessFailed", "kind": 1}   (COREWEBVIEW2_PROCESS_FAILED_KIND)
//   {"event": "NavigationCompleted", "success": false, "status": 0}
//   {"event": "Pause"}              (only waits)
//   {"event": "AcceleratorKeyPressed", "kind": 0, "key": 122, "repeat": false}
//          (to the controller's handlers; COREWEBVIEW2_KEY_EVENT_KIND, a
//          virtual key; recorded with what the host decided: handled=)
//   {"event": "WindowMessage", "message": 6, "wParam": 1, "lParam": 0}
//          (sent to the view's parent window, as the system would)
// The list starts at the first navigation and runs once; each event goes to
// the view that navigated last, so after the host has made a new controller
// the rest of the list reaches the new view. Only a changed list (a test
// process driving the double itself) starts again.
// Scenario key "reload": the HRESULT Reload answers (default S_OK).
// Scenario key "unload": {"result": "success" | "cancelled" | "never",
// "delayMs": N (default 20)}: how the navigation to about:blank ends (the
// host's quit sequence), raised as "Quit: Raise NavigationStarting ..." and
// "Quit: Raise NavigationCompleted ..."; "cancelled" is the page's
// beforeunload kept by the player. A host that cancels it hears a failure.
// "dialog": true disables the main window until then, as the page's
// beforeunload question does.
// Scenario key "browserProcess": "refuse" makes get_BrowserProcessId fail;
// otherwise it names a process the double starts (see StartBrowserProcess).
// AddScriptToExecuteOnDocumentCreated records the script and completes
// later ("Completed AddScriptToExecuteOnDocumentCreated ..."); ExecuteScript
// records the script; PostWebMessageAsJson records the text, and refuses one
// that is not JSON with E_INVALIDARG as the control does.
// Scenario key "refuse" (see Refusal) reaches the add_ slots,
// "AddWebResourceRequestedFilter", "Navigate" and "get_Settings", and the
// event arguments' "put_Response", "put_Cancel", "put_State" and
// "put_Handled".
// A "uri" or "source" given as null makes the getter hand out no text.
// Transcript: "Raise <event> <arguments> handlers=N <window>" before the
// host's handlers run, the host's calls on the arguments, then
// "Return <event> -> <handler result> <what the host decided> <window>",
// and "Done events=N" after the last one.
#include "tests/support/loader_double/double.h"

#include <functional>

namespace browser_double {

namespace {

// A text the scenario may leave out (or give as null): then none is handed out.
struct MaybeText {
    bool present = false;
    std::wstring text;
    const wchar_t* get() const { return present ? text.c_str() : nullptr; }
};

MaybeText MaybeTextOf(const nlohmann::json& object, const char* key) {
    MaybeText out;
    if (object.is_object() && object.contains(key) && object[key].is_string()) {
        out.present = true;
        out.text = Utf8ToWide(object[key].get<std::string>());
    }
    return out;
}

// Hands the text out (none when absent), recorded as
// "<call> -> <result> <field>=<text>".
HRESULT HandOut(const std::string& call, const MaybeText& text, LPWSTR* out,
                const char* field = "uri") {
    if (!out) return E_POINTER;
    *out = nullptr;
    const HRESULT hr = text.present ? CopyOut(text.text, out) : S_OK;
    Record(call + " -> " + Hex(hr) + " " + field + "=" + Quote(*out));
    return hr;
}

// Event arguments about an address, handed out as "<name>.get_Uri".
template <class Interface>
class UriArgs : public ComObject<Interface> {
public:
    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override {
        return HandOut(name_ + ".get_Uri", uri_, uri);
    }

protected:
    UriArgs(std::string name, MaybeText uri) : name_(std::move(name)), uri_(std::move(uri)) {}

private:
    std::string name_;
    MaybeText uri_;
};

class Deferral final : public ComObject<ICoreWebView2Deferral> {
public:
    explicit Deferral(std::string owner) : owner_(std::move(owner)) {}
    HRESULT STDMETHODCALLTYPE Complete() override {
        Record(owner_ + ".Deferral.Complete -> 0x00000000");
        return S_OK;
    }

private:
    std::string owner_;
};

HRESULT GiveDeferral(const std::string& owner, ICoreWebView2Deferral** deferral) {
    if (!deferral) return E_POINTER;
    *deferral = Make<Deferral>(owner).Detach();
    Record(owner + ".GetDeferral -> 0x00000000");
    return S_OK;
}

class RequestHeaders final : public HeaderList<ICoreWebView2HttpRequestHeaders> {
public:
    explicit RequestHeaders(std::vector<Header> headers)
        : HeaderList("RequestHeaders", &headers_), headers_(std::move(headers)) {}

    HRESULT STDMETHODCALLTYPE SetHeader(LPCWSTR name, LPCWSTR value) override {
        Note("SetHeader name=" + Quote(name) + " value=" + Quote(value) + " -> 0x00000000");
        headers_.push_back({name ? name : L"", value ? value : L""});
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RemoveHeader(LPCWSTR name) override {
        Note("RemoveHeader name=" + Quote(name) + " -> 0x00000000");
        std::vector<Header> kept;
        for (auto& header : headers_)
            if (!SameName(header.name, name)) kept.push_back(header);
        headers_ = kept;
        return S_OK;
    }

private:
    std::vector<Header> headers_;
};

class Request final : public ComObject<ICoreWebView2WebResourceRequest> {
public:
    Request(MaybeText uri, std::wstring method, std::vector<Header> headers)
        : uri_(std::move(uri)),
          method_(std::move(method)),
          headers_(Make<RequestHeaders>(std::move(headers))) {}

    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override {
        return HandOut("Request.get_Uri", uri_, uri);
    }
    HRESULT STDMETHODCALLTYPE put_Uri(LPCWSTR uri) override {
        Record("Request.put_Uri uri=" + Quote(uri) + " -> 0x00000000");
        uri_.present = uri != nullptr;
        uri_.text = uri ? uri : L"";
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Method(LPWSTR* method) override {
        const HRESULT hr = CopyOut(method_, method);
        Record("Request.get_Method -> " + Hex(hr) + " method=" + Quote(method_.c_str()));
        return hr;
    }
    HRESULT STDMETHODCALLTYPE put_Method(LPCWSTR method) override {
        Record("Request.put_Method method=" + Quote(method) + " -> 0x00000000");
        method_ = method ? method : L"";
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Content(IStream** content) override {
        if (!content) return E_POINTER;
        *content = nullptr;
        Record("Request.get_Content -> 0x00000000 content=null");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Content(IStream* content) override {
        Record("Request.put_Content content=" + Object(content) + " -> 0x00000000");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Headers(ICoreWebView2HttpRequestHeaders** headers) override {
        return GiveObject<ICoreWebView2HttpRequestHeaders>("Request.get_Headers", headers,
                                                           headers_.Get(), "headers");
    }

private:
    MaybeText uri_;
    std::wstring method_;
    ComPtr<RequestHeaders> headers_;
};

class ResourceArgs final : public ComObject<ICoreWebView2WebResourceRequestedEventArgs> {
public:
    ResourceArgs(ComPtr<ICoreWebView2WebResourceRequest> request, int context)
        : request_(std::move(request)), context_(context) {}

    HRESULT STDMETHODCALLTYPE get_Request(ICoreWebView2WebResourceRequest** request) override {
        return GiveObject("WebResourceRequestedArgs.get_Request", request, request_.Get(),
                          "request");
    }
    HRESULT STDMETHODCALLTYPE get_Response(ICoreWebView2WebResourceResponse** response) override {
        return GiveObject("WebResourceRequestedArgs.get_Response", response, response_.Get(),
                          "response");
    }
    HRESULT STDMETHODCALLTYPE put_Response(ICoreWebView2WebResourceResponse* response) override {
        const HRESULT hr = Refusal("put_Response");
        if (SUCCEEDED(hr)) response_ = response;
        Record("WebResourceRequestedArgs.put_Response response=" + Object(response) + " -> " +
               Hex(hr));
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) override {
        return GiveDeferral("WebResourceRequestedArgs", deferral);
    }
    HRESULT STDMETHODCALLTYPE
    get_ResourceContext(COREWEBVIEW2_WEB_RESOURCE_CONTEXT* context) override {
        if (!context) return E_POINTER;
        *context = static_cast<COREWEBVIEW2_WEB_RESOURCE_CONTEXT>(context_);
        Record("WebResourceRequestedArgs.get_ResourceContext -> 0x00000000 context=" +
               std::to_string(context_));
        return S_OK;
    }

    ComPtr<ICoreWebView2WebResourceResponse> response_;

private:
    ComPtr<ICoreWebView2WebResourceRequest> request_;
    int context_;
};

class NavigationArgs final : public UriArgs<ICoreWebView2NavigationStartingEventArgs> {
public:
    explicit NavigationArgs(MaybeText uri) : UriArgs("NavigationStartingArgs", std::move(uri)) {}

    HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* value) override {
        return Answer("NavigationStartingArgs.get_IsUserInitiated", value, TRUE);
    }
    HRESULT STDMETHODCALLTYPE get_IsRedirected(BOOL* value) override {
        return Answer("NavigationStartingArgs.get_IsRedirected", value, FALSE);
    }
    HRESULT STDMETHODCALLTYPE
    get_RequestHeaders(ICoreWebView2HttpRequestHeaders** requestHeaders) override {
        if (!requestHeaders) return E_POINTER;
        *requestHeaders = Make<RequestHeaders>(std::vector<Header>{}).Detach();
        Record("NavigationStartingArgs.get_RequestHeaders -> 0x00000000");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Cancel(BOOL* cancel) override {
        return Answer("NavigationStartingArgs.get_Cancel", cancel, cancel_);
    }
    HRESULT STDMETHODCALLTYPE put_Cancel(BOOL cancel) override {
        return Decide("NavigationStartingArgs", "put_Cancel", &cancel_, cancel, Flag(cancel));
    }
    HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64* id) override {
        return Answer<UINT64>("NavigationStartingArgs.get_NavigationId", id, 7, "7");
    }

    BOOL cancel_ = FALSE;
};

class PermissionArgs final : public UriArgs<ICoreWebView2PermissionRequestedEventArgs> {
public:
    PermissionArgs(MaybeText uri, int kind)
        : UriArgs("PermissionRequestedArgs", std::move(uri)), kind_(kind) {}

    HRESULT STDMETHODCALLTYPE get_PermissionKind(COREWEBVIEW2_PERMISSION_KIND* kind) override {
        return Answer("PermissionRequestedArgs.get_PermissionKind", kind,
                      static_cast<COREWEBVIEW2_PERMISSION_KIND>(kind_), std::to_string(kind_));
    }
    HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* isUserInitiated) override {
        return Answer("PermissionRequestedArgs.get_IsUserInitiated", isUserInitiated, TRUE);
    }
    HRESULT STDMETHODCALLTYPE get_State(COREWEBVIEW2_PERMISSION_STATE* state) override {
        return Answer("PermissionRequestedArgs.get_State", state, state_,
                      std::to_string(static_cast<int>(state_)));
    }
    HRESULT STDMETHODCALLTYPE put_State(COREWEBVIEW2_PERMISSION_STATE state) override {
        ++puts_;
        return Decide("PermissionRequestedArgs", "put_State", &state_, state,
                      std::to_string(static_cast<int>(state)));
    }
    HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) override {
        return GiveDeferral("PermissionRequestedArgs", deferral);
    }

    COREWEBVIEW2_PERMISSION_STATE state_ = COREWEBVIEW2_PERMISSION_STATE_DEFAULT;
    int puts_ = 0;

private:
    int kind_;
};

class NewWindowArgs final : public UriArgs<ICoreWebView2NewWindowRequestedEventArgs> {
public:
    explicit NewWindowArgs(MaybeText uri) : UriArgs("NewWindowRequestedArgs", std::move(uri)) {}

    HRESULT STDMETHODCALLTYPE put_NewWindow(ICoreWebView2* newWindow) override {
        newWindow_ = newWindow;
        Record("NewWindowRequestedArgs.put_NewWindow webview=" + Object(newWindow) +
               " -> 0x00000000");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_NewWindow(ICoreWebView2** newWindow) override {
        return GiveObject("NewWindowRequestedArgs.get_NewWindow", newWindow, newWindow_.Get(),
                          "webview");
    }
    HRESULT STDMETHODCALLTYPE put_Handled(BOOL handled) override {
        return Decide("NewWindowRequestedArgs", "put_Handled", &handled_, handled, Flag(handled));
    }
    HRESULT STDMETHODCALLTYPE get_Handled(BOOL* handled) override {
        return Answer("NewWindowRequestedArgs.get_Handled", handled, handled_);
    }
    HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* isUserInitiated) override {
        return Answer("NewWindowRequestedArgs.get_IsUserInitiated", isUserInitiated, TRUE);
    }
    HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) override {
        return GiveDeferral("NewWindowRequestedArgs", deferral);
    }
    HRESULT STDMETHODCALLTYPE get_WindowFeatures(ICoreWebView2WindowFeatures** value) override {
        if (value) *value = nullptr;
        Record("NewWindowRequestedArgs.get_WindowFeatures -> 0x80004001");
        return E_NOTIMPL;
    }

    BOOL handled_ = FALSE;
    ComPtr<ICoreWebView2> newWindow_;
};

class MessageArgs final : public ComObject<ICoreWebView2WebMessageReceivedEventArgs> {
public:
    MessageArgs(MaybeText source, MaybeText text, std::wstring json)
        : source_(std::move(source)), text_(std::move(text)), json_(std::move(json)) {}

    HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* value) override {
        return HandOut("WebMessageReceivedArgs.get_Source", source_, value, "source");
    }
    HRESULT STDMETHODCALLTYPE get_WebMessageAsJson(LPWSTR* value) override {
        const HRESULT hr = CopyOut(json_, value);
        Record("WebMessageReceivedArgs.get_WebMessageAsJson -> " + Hex(hr) +
               " json=" + Quote(json_.c_str()));
        return hr;
    }
    HRESULT STDMETHODCALLTYPE TryGetWebMessageAsString(LPWSTR* value) override {
        if (!value) return E_POINTER;
        *value = nullptr;
        // A message the page did not post as a string has no text.
        const HRESULT hr = text_.present ? CopyOut(text_.text, value) : E_INVALIDARG;
        Record("WebMessageReceivedArgs.TryGetWebMessageAsString -> " + Hex(hr) +
               " text=" + Quote(*value));
        return hr;
    }

private:
    MaybeText source_;
    MaybeText text_;
    std::wstring json_;
};

class DomArgs final : public ComObject<ICoreWebView2DOMContentLoadedEventArgs> {
public:
    HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64* value) override {
        return Answer<UINT64>("DOMContentLoadedArgs.get_NavigationId", value, 7, "7");
    }
};

class ProcessFailedArgs final : public ComObject<ICoreWebView2ProcessFailedEventArgs> {
public:
    explicit ProcessFailedArgs(int kind) : kind_(kind) {}
    HRESULT STDMETHODCALLTYPE
    get_ProcessFailedKind(COREWEBVIEW2_PROCESS_FAILED_KIND* kind) override {
        return Answer("ProcessFailedArgs.get_ProcessFailedKind", kind,
                      static_cast<COREWEBVIEW2_PROCESS_FAILED_KIND>(kind_), std::to_string(kind_));
    }

private:
    int kind_;
};

class NavigationCompletedArgs final : public ComObject<ICoreWebView2NavigationCompletedEventArgs> {
public:
    NavigationCompletedArgs(bool success, int status) : success_(success), status_(status) {}
    HRESULT STDMETHODCALLTYPE get_IsSuccess(BOOL* isSuccess) override {
        return Answer("NavigationCompletedArgs.get_IsSuccess", isSuccess, success_ ? TRUE : FALSE);
    }
    HRESULT STDMETHODCALLTYPE get_WebErrorStatus(COREWEBVIEW2_WEB_ERROR_STATUS* status) override {
        return Answer("NavigationCompletedArgs.get_WebErrorStatus", status,
                      static_cast<COREWEBVIEW2_WEB_ERROR_STATUS>(status_), std::to_string(status_));
    }
    HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64* navigationId) override {
        return Answer<UINT64>("NavigationCompletedArgs.get_NavigationId", navigationId, 7, "7");
    }

private:
    bool success_;
    int status_;
};

class View;
// Makes view the one that receives the scenario's events and starts the
// list on the first call.
void Navigated(View* view);

std::wstring JsonText(const std::wstring& text) {
    return Utf8ToWide(nlohmann::json(WideToUtf8(text)).dump());
}

// An event the host registers: kept by name, its handlers called in Raise.
#define LS_EVENT(Name, Handler)                                                           \
    HRESULT STDMETHODCALLTYPE add_##Name(Handler* handler, EventRegistrationToken* token) \
        override {                                                                        \
        return Add(#Name, handler, token);                                                \
    }                                                                                     \
    HRESULT STDMETHODCALLTYPE remove_##Name(EventRegistrationToken token) override {      \
        return Remove("remove_" #Name, token);                                            \
    }

class View final : public ComObject<ICoreWebView2_2> {
public:
    View(HWND parent, bool answersView2) : parent_(parent), answersView2_(answersView2) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        const HRESULT hr = ComObject<ICoreWebView2_2>::QueryInterface(iid, out);
        RecordQuery("WebView", iid, __uuidof(ICoreWebView2_2), "ICoreWebView2_2",
                    __uuidof(ICoreWebView2), hr);
        return hr;
    }

    HRESULT STDMETHODCALLTYPE get_Settings(ICoreWebView2Settings** settings) override;
    HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* uri) override {
        const HRESULT hr = CopyOut(source_, uri);
        Record("WebView.get_Source -> " + Hex(hr) + " uri=" + Quote(source_.c_str()));
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Navigate(LPCWSTR uri) override {
        const HRESULT hr = uri ? Refusal("Navigate") : E_INVALIDARG;
        Record("WebView.Navigate uri=" + Quote(uri) + " -> " + Hex(hr) + " " +
               ObserveWindow(parent_));
        if (FAILED(hr)) return hr;
        if (std::wstring(uri) == L"about:blank") {
            Unload();
            return hr;
        }
        source_ = uri;
        Navigated(this);
        return hr;
    }
    LS_UNCALLED(NavigateToString, LPCWSTR)
    LS_EVENT(NavigationStarting, ICoreWebView2NavigationStartingEventHandler)
    LS_UNCALLED_EVENT(ContentLoading, ICoreWebView2ContentLoadingEventHandler)
    LS_UNCALLED_EVENT(SourceChanged, ICoreWebView2SourceChangedEventHandler)
    LS_UNCALLED_EVENT(HistoryChanged, ICoreWebView2HistoryChangedEventHandler)
    LS_EVENT(NavigationCompleted, ICoreWebView2NavigationCompletedEventHandler)
    LS_UNCALLED_EVENT(FrameNavigationStarting, ICoreWebView2NavigationStartingEventHandler)
    LS_UNCALLED_EVENT(FrameNavigationCompleted, ICoreWebView2NavigationCompletedEventHandler)
    LS_UNCALLED_EVENT(ScriptDialogOpening, ICoreWebView2ScriptDialogOpeningEventHandler)
    LS_EVENT(PermissionRequested, ICoreWebView2PermissionRequestedEventHandler)
    LS_EVENT(ProcessFailed, ICoreWebView2ProcessFailedEventHandler)
    HRESULT STDMETHODCALLTYPE AddScriptToExecuteOnDocumentCreated(
        LPCWSTR script,
        ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler* handler) override {
        const HRESULT hr = script ? Refusal("AddScriptToExecuteOnDocumentCreated") : E_INVALIDARG;
        Record("WebView.AddScriptToExecuteOnDocumentCreated script=" + Quote(script) +
               " handler=" + Object(handler) + " -> " + Hex(hr));
        if (FAILED(hr) || !handler) return hr;
        const HRESULT result = HresultOr(Scenario(), "scriptResult", S_OK);
        ComPtr<ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler> keep = handler;
        Schedule([keep, result] {
            Record("Completed AddScriptToExecuteOnDocumentCreated errorCode=" + Hex(result));
            keep->Invoke(result, SUCCEEDED(result) ? L"1" : nullptr);
        });
        return hr;
    }
    LS_UNCALLED(RemoveScriptToExecuteOnDocumentCreated, LPCWSTR)
    HRESULT STDMETHODCALLTYPE
    ExecuteScript(LPCWSTR script, ICoreWebView2ExecuteScriptCompletedHandler* handler) override {
        const HRESULT hr = script ? Refusal("ExecuteScript") : E_INVALIDARG;
        Record("WebView.ExecuteScript script=" + Quote(script) + " handler=" + Object(handler) +
               " -> " + Hex(hr));
        return hr;
    }
    LS_UNCALLED(CapturePreview, COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT, IStream*,
                ICoreWebView2CapturePreviewCompletedHandler*)
    HRESULT STDMETHODCALLTYPE Reload() override {
        const HRESULT hr = HresultOr(Scenario(), "reload", S_OK);
        Record("WebView.Reload -> " + Hex(hr) + " " + ObserveWindow(parent_));
        return hr;
    }
    HRESULT STDMETHODCALLTYPE PostWebMessageAsJson(LPCWSTR json) override {
        const bool valid =
            json && !nlohmann::json::parse(WideToUtf8(json), nullptr, false).is_discarded();
        const HRESULT hr = valid ? Refusal("PostWebMessageAsJson") : E_INVALIDARG;
        Record("WebView.PostWebMessageAsJson json=" + Quote(json) + " -> " + Hex(hr));
        return hr;
    }
    LS_UNCALLED(PostWebMessageAsString, LPCWSTR)
    LS_EVENT(WebMessageReceived, ICoreWebView2WebMessageReceivedEventHandler)
    LS_UNCALLED(CallDevToolsProtocolMethod, LPCWSTR, LPCWSTR,
                ICoreWebView2CallDevToolsProtocolMethodCompletedHandler*)
    HRESULT STDMETHODCALLTYPE get_BrowserProcessId(UINT32* value) override {
        if (!value) return E_POINTER;
        *value = 0;
        HRESULT hr = E_FAIL;
        if (Scenario().value("browserProcess", "") != std::string("refuse")) {
            *value = StartBrowserProcess();
            hr = *value ? S_OK : E_FAIL;
        }
        Record("WebView.get_BrowserProcessId -> " + Hex(hr) +
               " process=" + (*value ? "started" : "none"));
        return hr;
    }
    LS_UNCALLED(get_CanGoBack, BOOL*)
    LS_UNCALLED(get_CanGoForward, BOOL*)
    LS_UNCALLED(GoBack, void)
    LS_UNCALLED(GoForward, void)
    LS_UNCALLED(GetDevToolsProtocolEventReceiver, LPCWSTR,
                ICoreWebView2DevToolsProtocolEventReceiver**)
    LS_UNCALLED(Stop, void)
    LS_EVENT(NewWindowRequested, ICoreWebView2NewWindowRequestedEventHandler)
    LS_EVENT(DocumentTitleChanged, ICoreWebView2DocumentTitleChangedEventHandler)
    HRESULT STDMETHODCALLTYPE get_DocumentTitle(LPWSTR* title) override {
        const HRESULT hr = CopyOut(title_, title);
        Record("WebView.get_DocumentTitle -> " + Hex(hr) + " title=" + Quote(title_.c_str()));
        return hr;
    }
    LS_UNCALLED(AddHostObjectToScript, LPCWSTR, VARIANT*)
    LS_UNCALLED(RemoveHostObjectFromScript, LPCWSTR)
    LS_UNCALLED(OpenDevToolsWindow, void)
    LS_EVENT(ContainsFullScreenElementChanged,
             ICoreWebView2ContainsFullScreenElementChangedEventHandler)
    HRESULT STDMETHODCALLTYPE get_ContainsFullScreenElement(BOOL* value) override {
        return Answer("WebView.get_ContainsFullScreenElement", value, fullScreen_);
    }
    LS_EVENT(WebResourceRequested, ICoreWebView2WebResourceRequestedEventHandler)
    HRESULT STDMETHODCALLTYPE AddWebResourceRequestedFilter(
        LPCWSTR const uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT const resourceContext) override {
        const HRESULT hr = uri ? Refusal("AddWebResourceRequestedFilter") : E_INVALIDARG;
        Record("WebView.AddWebResourceRequestedFilter uri=" + Quote(uri) +
               " context=" + std::to_string(static_cast<int>(resourceContext)) + " -> " + Hex(hr));
        return hr;
    }
    HRESULT STDMETHODCALLTYPE RemoveWebResourceRequestedFilter(
        LPCWSTR const uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT const resourceContext) override {
        Record("WebView.RemoveWebResourceRequestedFilter uri=" + Quote(uri) +
               " context=" + std::to_string(static_cast<int>(resourceContext)) + " -> 0x00000000");
        return S_OK;
    }
    LS_EVENT(WindowCloseRequested, ICoreWebView2WindowCloseRequestedEventHandler)

    LS_UNCALLED_EVENT(WebResourceResponseReceived,
                      ICoreWebView2WebResourceResponseReceivedEventHandler)
    LS_UNCALLED(NavigateWithWebResourceRequest, ICoreWebView2WebResourceRequest*)
    LS_EVENT(DOMContentLoaded, ICoreWebView2DOMContentLoadedEventHandler)
    LS_UNCALLED(get_CookieManager, ICoreWebView2CookieManager**)
    LS_UNCALLED(get_Environment, ICoreWebView2Environment**)

protected:
    bool Answers(REFIID iid) override {
        return iid == __uuidof(ICoreWebView2) ||
               (answersView2_ && iid == __uuidof(ICoreWebView2_2));
    }

private:
    struct Registration {
        int64_t token;
        std::string event;
        ComPtr<IUnknown> handler;
    };

    static HRESULT Uncalled(const char* name) {
        Record(std::string("WebView.") + name + " -> 0x80004001");
        return E_NOTIMPL;
    }

    template <class Handler>
    HRESULT Add(const char* event, Handler* handler, EventRegistrationToken* token) {
        const HRESULT hr = AddHandlerAnswer("WebView", event, handler, token);
        if (FAILED(hr)) return hr;
        registrations_.push_back({++lastToken_, event, ComPtr<IUnknown>(handler)});
        if (token) token->value = lastToken_;
        return hr;
    }

    HRESULT Remove(const char* name, EventRegistrationToken token) {
        HRESULT hr = E_INVALIDARG;
        for (auto at = registrations_.begin(); at != registrations_.end(); ++at)
            if (at->token == token.value) {
                registrations_.erase(at);
                hr = S_OK;
                break;
            }
        Record(std::string("WebView.") + name + " token=" + std::to_string(token.value) + " -> " +
               Hex(hr));
        return hr;
    }

    // The handlers of one event, in registration order; a handler removed
    // while the event runs still gets this raise.
    template <class Handler>
    std::vector<ComPtr<Handler>> HandlersOf(const std::string& event) const {
        std::vector<ComPtr<Handler>> handlers;
        for (const auto& registration : registrations_)
            if (registration.event == event)
                handlers.push_back(static_cast<Handler*>(registration.handler.Get()));
        return handlers;
    }

    // Raises one event: "Raise <event><described> handlers=N <window>", every
    // handler in turn, then "Return <event> -> <last result><decided()> <window>".
    // prefix marks the lines of events the host's own calls caused ("Quit: ").
    template <class Handler, class Args>
    void Deliver(const std::string& event, const std::string& described, Args* args,
                 const std::function<std::string()>& decided = {}, const std::string& prefix = "") {
        const auto handlers = HandlersOf<Handler>(event);
        Record(prefix + "Raise " + event + described +
               " handlers=" + std::to_string(handlers.size()) + " " + ObserveWindow(parent_));
        HRESULT result = S_OK;
        for (const auto& handler : handlers) result = handler->Invoke(this, args);
        Record(prefix + "Return " + event + " -> " + Hex(result) + (decided ? decided() : "") +
               " " + ObserveWindow(parent_));
    }

    // The quit sequence's navigation: the page unloads as the scenario says.
    void Unload();

public:
    void Raise(const nlohmann::json& event);

private:
    HWND parent_;
    bool answersView2_;
    std::vector<Registration> registrations_;
    int64_t lastToken_ = 0;
    std::wstring source_;
    std::wstring title_;
    BOOL fullScreen_ = FALSE;
    ComPtr<ICoreWebView2Settings> settings_;
};

HRESULT View::get_Settings(ICoreWebView2Settings** settings) {
    if (!settings) return E_POINTER;
    *settings = nullptr;
    const HRESULT hr = Refusal("get_Settings");
    if (SUCCEEDED(hr)) {
        if (!settings_) settings_ = MakeSettings();
        *settings = settings_.Get();
        settings_->AddRef();
    }
    Record("WebView.get_Settings -> " + Hex(hr) + " settings=" + Object(*settings));
    return hr;
}

// The scenario's events. Never destroyed: the last jobs may run while the
// host's statics are going.
struct EventRun {
    unsigned generation = 0;
    bool started = false;
    nlohmann::json events;
    ComPtr<View> current;
};

EventRun& TheRun() {
    static auto* run = new EventRun;
    return *run;
}

UINT DelayOf(const nlohmann::json& event) {
    return event.is_object() ? static_cast<UINT>(event.value("delayMs", 20)) : 20;
}

void RaiseNext(unsigned generation, size_t index) {
    EventRun& run = TheRun();
    if (generation != run.generation || index >= run.events.size()) return;
    if (run.current) run.current->Raise(run.events[index]);
    if (generation != run.generation) return;
    if (index + 1 == run.events.size()) {
        Record("Done events=" + std::to_string(run.events.size()));
        return;
    }
    Schedule([generation, index] { RaiseNext(generation, index + 1); },
             DelayOf(run.events[index + 1]));
}

void Navigated(View* view) {
    EventRun& run = TheRun();
    run.current = view;
    const auto scenario = Scenario();
    const nlohmann::json events = scenario.contains("events") && scenario["events"].is_array()
                                      ? scenario["events"]
                                      : nlohmann::json::array();
    // The same list goes on where it is: a host that started the browser
    // again hears the rest of it, not the whole list once more.
    if (run.started && events == run.events) return;
    run.started = true;
    run.events = events;
    const unsigned generation = ++run.generation;
    if (run.events.empty()) return;
    Schedule([generation] { RaiseNext(generation, 0); }, DelayOf(run.events[0]));
}

std::string DescribeResponse(ICoreWebView2WebResourceResponse* response, bool deferBody,
                             const std::string& label) {
    if (!response) return "response=null";
    int status = 0;
    response->get_StatusCode(&status);
    LPWSTR reason = nullptr;
    response->get_ReasonPhrase(&reason);
    std::string out = "status=" + std::to_string(status) + " reason=" + Quote(reason);
    CoTaskMemFree(reason);
    std::wstring lines;
    ComPtr<ICoreWebView2HttpResponseHeaders> headers;
    ComPtr<ICoreWebView2HttpHeadersCollectionIterator> iterator;
    if (SUCCEEDED(response->get_Headers(&headers)) && headers &&
        SUCCEEDED(headers->GetIterator(&iterator)) && iterator) {
        BOOL has = FALSE;
        for (iterator->get_HasCurrentHeader(&has); has; iterator->MoveNext(&has)) {
            LPWSTR name = nullptr, value = nullptr;
            iterator->GetCurrentHeader(&name, &value);
            if (!lines.empty()) lines += L'\n';
            lines += std::wstring(name ? name : L"") + L": " + (value ? value : L"");
            CoTaskMemFree(name);
            CoTaskMemFree(value);
        }
    }
    out += " headers.read=" + Quote(lines.c_str());
    ComPtr<IStream> body;
    response->get_Content(&body);
    if (deferBody && body) {
        DeferBodyRead(label, body.Get());
        return out + " body=deferred";
    }
    return out + " " + DescribeBody(body.Get());
}

class KeyArgs final : public ComObject<ICoreWebView2AcceleratorKeyPressedEventArgs> {
public:
    KeyArgs(int kind, UINT key, bool repeat) : kind_(kind), key_(key), repeat_(repeat) {}
    HRESULT STDMETHODCALLTYPE get_KeyEventKind(COREWEBVIEW2_KEY_EVENT_KIND* kind) override {
        return Answer("AcceleratorKeyPressedArgs.get_KeyEventKind", kind,
                      static_cast<COREWEBVIEW2_KEY_EVENT_KIND>(kind_), std::to_string(kind_));
    }
    HRESULT STDMETHODCALLTYPE get_VirtualKey(UINT* key) override {
        return Answer("AcceleratorKeyPressedArgs.get_VirtualKey", key, key_, std::to_string(key_));
    }
    HRESULT STDMETHODCALLTYPE get_KeyEventLParam(INT* lParam) override {
        return Answer("AcceleratorKeyPressedArgs.get_KeyEventLParam", lParam, 0, "0");
    }
    HRESULT STDMETHODCALLTYPE
    get_PhysicalKeyStatus(COREWEBVIEW2_PHYSICAL_KEY_STATUS* status) override {
        if (!status) return E_POINTER;
        *status = COREWEBVIEW2_PHYSICAL_KEY_STATUS{};
        status->RepeatCount = 1;
        status->WasKeyDown = repeat_ ? TRUE : FALSE;
        Record(std::string("AcceleratorKeyPressedArgs.get_PhysicalKeyStatus -> 0x00000000 "
                           "wasKeyDown=") +
               (repeat_ ? "1" : "0"));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Handled(BOOL* handled) override {
        return Answer("AcceleratorKeyPressedArgs.get_Handled", handled, handled_);
    }
    HRESULT STDMETHODCALLTYPE put_Handled(BOOL handled) override {
        return Decide("AcceleratorKeyPressedArgs", "put_Handled", &handled_, handled,
                      Flag(handled));
    }
    BOOL handled_ = FALSE;

private:
    int kind_;
    UINT key_;
    bool repeat_;
};

void View::Unload() {
    const auto unload = Section(Scenario(), "unload");
    const std::string result = unload.value("result", "success");
    if (result == "never") {
        Record("Quit: the page never unloads");
        return;
    }
    // The page's beforeunload question: the window is disabled while it is open.
    const bool dialog = GetBoolOr(unload, "dialog", false);
    if (dialog) {
        EnableWindow(parent_, FALSE);
        Record("Quit: the page asks before it unloads");
    }
    ComPtr<View> self(this);
    Schedule(
        [self, result, dialog] {
            if (dialog) EnableWindow(self->parent_, TRUE);
            const MaybeText uri{true, L"about:blank"};
            auto starting = Make<NavigationArgs>(uri);
            self->Deliver<ICoreWebView2NavigationStartingEventHandler>(
                "NavigationStarting", " uri=\"about:blank\"", starting.Get(),
                [&] { return " cancel=" + Flag(starting->cancel_); }, "Quit: ");
            const bool success = result == "success" && !starting->cancel_;
            self->Deliver<ICoreWebView2NavigationCompletedEventHandler>(
                "NavigationCompleted", std::string(" success=") + (success ? "1" : "0"),
                Make<NavigationCompletedArgs>(success, 0).Get(), {}, "Quit: ");
        },
        static_cast<UINT>(unload.value("delayMs", 20)));
}

void View::Raise(const nlohmann::json& event) {
    if (!event.is_object()) return;
    const std::string name = event.value("event", "");
    const auto none = static_cast<IUnknown*>(nullptr);
    if (name == "Pause") {
        Record("Pause");
    } else if (name == "DOMContentLoaded") {
        Deliver<ICoreWebView2DOMContentLoadedEventHandler>(name, "", Make<DomArgs>().Get());
    } else if (name == "WebResourceRequested") {
        const MaybeText uri = MaybeTextOf(event, "uri");
        const MaybeText range = MaybeTextOf(event, "range");
        std::vector<Header> headers;
        if (event.contains("headers") && event["headers"].is_object())
            for (const auto& item : event["headers"].items())
                if (item.value().is_string())
                    headers.push_back(
                        {Utf8ToWide(item.key()), Utf8ToWide(item.value().get<std::string>())});
        if (range.present) headers.push_back({L"Range", range.text});
        const std::wstring method = GetStringOr(event, "method", L"GET");
        const bool defer = event.value("readBody", "") == std::string("afterTeardown");
        const std::string described = "uri=" + Quote(uri.get()) + " range=" + Quote(range.get()) +
                                      " method=" + Quote(method.c_str());
        auto args =
            Make<ResourceArgs>(Make<Request>(uri, method, headers), event.value("context", 0));
        Deliver<ICoreWebView2WebResourceRequestedEventHandler>(
            name, " " + described, args.Get(), [&] {
                return " " + DescribeResponse(args->response_.Get(), defer, name + " " + described);
            });
    } else if (name == "NavigationStarting") {
        const MaybeText uri = MaybeTextOf(event, "uri");
        auto args = Make<NavigationArgs>(uri);
        Deliver<ICoreWebView2NavigationStartingEventHandler>(
            name, " uri=" + Quote(uri.get()), args.Get(),
            [&] { return " cancel=" + Flag(args->cancel_); });
    } else if (name == "PermissionRequested") {
        const MaybeText uri = MaybeTextOf(event, "uri");
        const int kind = event.value("kind", 0);
        auto args = Make<PermissionArgs>(uri, kind);
        Deliver<ICoreWebView2PermissionRequestedEventHandler>(
            name, " uri=" + Quote(uri.get()) + " kind=" + std::to_string(kind), args.Get(), [&] {
                return " state=" + std::to_string(static_cast<int>(args->state_)) +
                       " puts=" + std::to_string(args->puts_);
            });
    } else if (name == "NewWindowRequested") {
        const MaybeText uri = MaybeTextOf(event, "uri");
        auto args = Make<NewWindowArgs>(uri);
        Deliver<ICoreWebView2NewWindowRequestedEventHandler>(
            name, " uri=" + Quote(uri.get()), args.Get(), [&] {
                return " handled=" + Flag(args->handled_) +
                       " newWindow=" + Object(args->newWindow_.Get());
            });
    } else if (name == "WebMessageReceived") {
        const MaybeText source = MaybeTextOf(event, "source");
        const MaybeText text = MaybeTextOf(event, "text");
        const std::wstring json =
            text.present ? JsonText(text.text) : GetStringOr(event, "json", L"null");
        Deliver<ICoreWebView2WebMessageReceivedEventHandler>(
            name,
            " source=" + Quote(source.get()) + " text=" + Quote(text.get()) +
                " json=" + Quote(json.c_str()),
            Make<MessageArgs>(source, text, json).Get());
    } else if (name == "DocumentTitleChanged") {
        title_ = GetStringOr(event, "title", L"");
        Deliver<ICoreWebView2DocumentTitleChangedEventHandler>(
            name, " title=" + Quote(title_.c_str()), none);
    } else if (name == "ContainsFullScreenElementChanged") {
        fullScreen_ = event.value("value", false) ? TRUE : FALSE;
        Deliver<ICoreWebView2ContainsFullScreenElementChangedEventHandler>(
            name, " value=" + Flag(fullScreen_), none);
    } else if (name == "AcceleratorKeyPressed") {
        const int kind = event.value("kind", 0);
        const UINT key = static_cast<UINT>(event.value("key", 0));
        auto args = Make<KeyArgs>(kind, key, event.value("repeat", false));
        const auto handlers = KeyHandlers();
        Record("Raise " + name + " kind=" + std::to_string(kind) + " key=" + std::to_string(key) +
               " handlers=" + std::to_string(handlers.size()) + " " + ObserveWindow(parent_));
        HRESULT result = S_OK;
        for (const auto& entry : handlers)
            result = entry.handler->Invoke(entry.controller, args.Get());
        Record("Return " + name + " -> " + Hex(result) + " handled=" + Flag(args->handled_) + " " +
               ObserveWindow(parent_));
    } else if (name == "WindowMessage") {
        const UINT message = static_cast<UINT>(event.value("message", 0));
        const auto wParam = static_cast<WPARAM>(event.value("wParam", 0));
        const auto lParam = static_cast<LPARAM>(event.value("lParam", 0));
        Record("Raise " + name + " message=" + std::to_string(message) +
               " wParam=" + std::to_string(wParam) + " handlers=0 " + ObserveWindow(parent_));
        const LRESULT result = SendMessageW(parent_, message, wParam, lParam);
        Record("Return " + name + " -> " + std::to_string(result) + " " + ObserveWindow(parent_));
    } else if (name == "WindowCloseRequested") {
        Deliver<ICoreWebView2WindowCloseRequestedEventHandler>(name, "", none);
    } else if (name == "ProcessFailed") {
        const int kind = event.value("kind", 0);
        Deliver<ICoreWebView2ProcessFailedEventHandler>(name, " kind=" + std::to_string(kind),
                                                        Make<ProcessFailedArgs>(kind).Get());
    } else if (name == "NavigationCompleted") {
        const bool success = event.value("success", true);
        const int status = event.value("status", 0);
        Deliver<ICoreWebView2NavigationCompletedEventHandler>(
            name, " success=" + Flag(success) + " status=" + std::to_string(status),
            Make<NavigationCompletedArgs>(success, status).Get());
    } else {
        Record("Unknown event " + QuoteBytes(name));
    }
}

}  // namespace

ComPtr<ICoreWebView2_2> MakeView(HWND parent, bool answersView2) {
    return Make<View>(parent, answersView2);
}

}  // namespace browser_double
