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
// The list starts at the first navigation and runs once; each event goes to
// the view that navigated last, so after the host has made a new controller
// the rest of the list reaches the new view. Only a changed list (a test
// process driving the double itself) starts again.
// Scenario key "reload": the HRESULT Reload answers (default S_OK).
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

#include <map>

namespace browser_double {

namespace {

std::string Flag(BOOL value) {
    return value ? "1" : "0";
}

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
        out.text = Wide(object[key].get<std::string>());
    }
    return out;
}

HRESULT HandOut(const MaybeText& text, LPWSTR* out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return text.present ? CopyOut(text.text, out) : S_OK;
}

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

class RequestHeaders final : public ComObject<ICoreWebView2HttpRequestHeaders> {
public:
    explicit RequestHeaders(std::vector<Header> headers) : headers_(std::move(headers)) {}

    HRESULT STDMETHODCALLTYPE GetHeader(LPCWSTR name, LPWSTR* value) override {
        if (!value) return E_POINTER;
        *value = nullptr;
        HRESULT hr = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
        for (const auto& header : headers_)
            if (SameName(header.name, name)) {
                hr = CopyOut(header.value, value);
                break;
            }
        Record("RequestHeaders.GetHeader name=" + Quote(name) + " -> " + Hex(hr) +
               " value=" + Quote(*value));
        return hr;
    }
    HRESULT STDMETHODCALLTYPE
    GetHeaders(LPCWSTR name, ICoreWebView2HttpHeadersCollectionIterator** value) override {
        if (!value) return E_POINTER;
        std::vector<Header> matching;
        for (const auto& header : headers_)
            if (SameName(header.name, name)) matching.push_back(header);
        Record("RequestHeaders.GetHeaders name=" + Quote(name) +
               " -> 0x00000000 count=" + std::to_string(matching.size()));
        *value = MakeHeaderIterator(std::move(matching)).Detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Contains(LPCWSTR name, BOOL* value) override {
        if (!value) return E_POINTER;
        *value = FALSE;
        for (const auto& header : headers_)
            if (SameName(header.name, name)) *value = TRUE;
        Record("RequestHeaders.Contains name=" + Quote(name) +
               " -> 0x00000000 value=" + Flag(*value));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetHeader(LPCWSTR name, LPCWSTR value) override {
        Record("RequestHeaders.SetHeader name=" + Quote(name) + " value=" + Quote(value) +
               " -> 0x00000000");
        headers_.push_back({name ? name : L"", value ? value : L""});
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RemoveHeader(LPCWSTR name) override {
        Record("RequestHeaders.RemoveHeader name=" + Quote(name) + " -> 0x00000000");
        std::vector<Header> kept;
        for (auto& header : headers_)
            if (!SameName(header.name, name)) kept.push_back(header);
        headers_ = kept;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE
    GetIterator(ICoreWebView2HttpHeadersCollectionIterator** value) override {
        if (!value) return E_POINTER;
        Record("RequestHeaders.GetIterator -> 0x00000000");
        *value = MakeHeaderIterator(headers_).Detach();
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
        const HRESULT hr = HandOut(uri_, uri);
        Record("Request.get_Uri -> " + Hex(hr) + " uri=" + Quote(uri ? *uri : nullptr));
        return hr;
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
        if (!headers) return E_POINTER;
        *headers = headers_.Get();
        headers_->AddRef();
        Record("Request.get_Headers -> 0x00000000 headers=object");
        return S_OK;
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
        if (!request) return E_POINTER;
        *request = request_.Get();
        request_->AddRef();
        Record("WebResourceRequestedArgs.get_Request -> 0x00000000 request=object");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Response(ICoreWebView2WebResourceResponse** response) override {
        if (!response) return E_POINTER;
        *response = response_.Get();
        if (*response) (*response)->AddRef();
        Record("WebResourceRequestedArgs.get_Response -> 0x00000000 response=" + Object(*response));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Response(ICoreWebView2WebResourceResponse* response) override {
        const HRESULT hr = Refusal("put_Response");
        if (SUCCEEDED(hr)) response_ = response;
        Record("WebResourceRequestedArgs.put_Response response=" + Object(response) + " -> " +
               Hex(hr));
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) override {
        if (!deferral) return E_POINTER;
        *deferral = Make<Deferral>("WebResourceRequestedArgs").Detach();
        Record("WebResourceRequestedArgs.GetDeferral -> 0x00000000");
        return S_OK;
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

class NavigationArgs final : public ComObject<ICoreWebView2NavigationStartingEventArgs> {
public:
    explicit NavigationArgs(MaybeText uri) : uri_(std::move(uri)) {}

    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override {
        const HRESULT hr = HandOut(uri_, uri);
        Record("NavigationStartingArgs.get_Uri -> " + Hex(hr) +
               " uri=" + Quote(uri ? *uri : nullptr));
        return hr;
    }
    HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* value) override {
        return Answer("get_IsUserInitiated", value, TRUE);
    }
    HRESULT STDMETHODCALLTYPE get_IsRedirected(BOOL* value) override {
        return Answer("get_IsRedirected", value, FALSE);
    }
    HRESULT STDMETHODCALLTYPE
    get_RequestHeaders(ICoreWebView2HttpRequestHeaders** requestHeaders) override {
        if (!requestHeaders) return E_POINTER;
        *requestHeaders = Make<RequestHeaders>(std::vector<Header>{}).Detach();
        Record("NavigationStartingArgs.get_RequestHeaders -> 0x00000000");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Cancel(BOOL* cancel) override {
        return Answer("get_Cancel", cancel, cancel_);
    }
    HRESULT STDMETHODCALLTYPE put_Cancel(BOOL cancel) override {
        const HRESULT hr = Refusal("put_Cancel");
        if (SUCCEEDED(hr)) cancel_ = cancel;
        Record("NavigationStartingArgs.put_Cancel value=" + Flag(cancel) + " -> " + Hex(hr));
        return hr;
    }
    HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64* navigationId) override {
        if (!navigationId) return E_POINTER;
        *navigationId = 7;
        Record("NavigationStartingArgs.get_NavigationId -> 0x00000000 value=7");
        return S_OK;
    }

    BOOL cancel_ = FALSE;

private:
    static HRESULT Answer(const char* name, BOOL* out, BOOL value) {
        if (!out) return E_POINTER;
        *out = value;
        Record(std::string("NavigationStartingArgs.") + name +
               " -> 0x00000000 value=" + Flag(value));
        return S_OK;
    }
    MaybeText uri_;
};

class PermissionArgs final : public ComObject<ICoreWebView2PermissionRequestedEventArgs> {
public:
    PermissionArgs(MaybeText uri, int kind) : uri_(std::move(uri)), kind_(kind) {}

    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override {
        const HRESULT hr = HandOut(uri_, uri);
        Record("PermissionRequestedArgs.get_Uri -> " + Hex(hr) +
               " uri=" + Quote(uri ? *uri : nullptr));
        return hr;
    }
    HRESULT STDMETHODCALLTYPE
    get_PermissionKind(COREWEBVIEW2_PERMISSION_KIND* permissionKind) override {
        if (!permissionKind) return E_POINTER;
        *permissionKind = static_cast<COREWEBVIEW2_PERMISSION_KIND>(kind_);
        Record("PermissionRequestedArgs.get_PermissionKind -> 0x00000000 value=" +
               std::to_string(kind_));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* isUserInitiated) override {
        if (!isUserInitiated) return E_POINTER;
        *isUserInitiated = TRUE;
        Record("PermissionRequestedArgs.get_IsUserInitiated -> 0x00000000 value=1");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_State(COREWEBVIEW2_PERMISSION_STATE* state) override {
        if (!state) return E_POINTER;
        *state = state_;
        Record("PermissionRequestedArgs.get_State -> 0x00000000 value=" +
               std::to_string(static_cast<int>(state_)));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_State(COREWEBVIEW2_PERMISSION_STATE state) override {
        const HRESULT hr = Refusal("put_State");
        if (SUCCEEDED(hr)) state_ = state;
        ++puts_;
        Record("PermissionRequestedArgs.put_State value=" +
               std::to_string(static_cast<int>(state)) + " -> " + Hex(hr));
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) override {
        if (!deferral) return E_POINTER;
        *deferral = Make<Deferral>("PermissionRequestedArgs").Detach();
        Record("PermissionRequestedArgs.GetDeferral -> 0x00000000");
        return S_OK;
    }

    COREWEBVIEW2_PERMISSION_STATE state_ = COREWEBVIEW2_PERMISSION_STATE_DEFAULT;
    int puts_ = 0;

private:
    MaybeText uri_;
    int kind_;
};

class NewWindowArgs final : public ComObject<ICoreWebView2NewWindowRequestedEventArgs> {
public:
    explicit NewWindowArgs(MaybeText uri) : uri_(std::move(uri)) {}

    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override {
        const HRESULT hr = HandOut(uri_, uri);
        Record("NewWindowRequestedArgs.get_Uri -> " + Hex(hr) +
               " uri=" + Quote(uri ? *uri : nullptr));
        return hr;
    }
    HRESULT STDMETHODCALLTYPE put_NewWindow(ICoreWebView2* newWindow) override {
        newWindow_ = newWindow;
        Record("NewWindowRequestedArgs.put_NewWindow webview=" + Object(newWindow) +
               " -> 0x00000000");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_NewWindow(ICoreWebView2** newWindow) override {
        if (!newWindow) return E_POINTER;
        *newWindow = newWindow_.Get();
        if (*newWindow) (*newWindow)->AddRef();
        Record("NewWindowRequestedArgs.get_NewWindow -> 0x00000000 webview=" + Object(*newWindow));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Handled(BOOL handled) override {
        const HRESULT hr = Refusal("put_Handled");
        if (SUCCEEDED(hr)) handled_ = handled;
        Record("NewWindowRequestedArgs.put_Handled value=" + Flag(handled) + " -> " + Hex(hr));
        return hr;
    }
    HRESULT STDMETHODCALLTYPE get_Handled(BOOL* handled) override {
        if (!handled) return E_POINTER;
        *handled = handled_;
        Record("NewWindowRequestedArgs.get_Handled -> 0x00000000 value=" + Flag(handled_));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* isUserInitiated) override {
        if (!isUserInitiated) return E_POINTER;
        *isUserInitiated = TRUE;
        Record("NewWindowRequestedArgs.get_IsUserInitiated -> 0x00000000 value=1");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) override {
        if (!deferral) return E_POINTER;
        *deferral = Make<Deferral>("NewWindowRequestedArgs").Detach();
        Record("NewWindowRequestedArgs.GetDeferral -> 0x00000000");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_WindowFeatures(ICoreWebView2WindowFeatures** value) override {
        if (value) *value = nullptr;
        Record("NewWindowRequestedArgs.get_WindowFeatures -> 0x80004001");
        return E_NOTIMPL;
    }

    BOOL handled_ = FALSE;
    ComPtr<ICoreWebView2> newWindow_;

private:
    MaybeText uri_;
};

class MessageArgs final : public ComObject<ICoreWebView2WebMessageReceivedEventArgs> {
public:
    MessageArgs(MaybeText source, MaybeText text, std::wstring json)
        : source_(std::move(source)), text_(std::move(text)), json_(std::move(json)) {}

    HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* value) override {
        const HRESULT hr = HandOut(source_, value);
        Record("WebMessageReceivedArgs.get_Source -> " + Hex(hr) +
               " source=" + Quote(value ? *value : nullptr));
        return hr;
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
        if (!value) return E_POINTER;
        *value = 7;
        Record("DOMContentLoadedArgs.get_NavigationId -> 0x00000000 value=7");
        return S_OK;
    }
};

enum class Kind {
    DocumentTitleChanged,
    WebResourceRequested,
    NavigationStarting,
    PermissionRequested,
    ContainsFullScreenElementChanged,
    WindowCloseRequested,
    NewWindowRequested,
    WebMessageReceived,
    DOMContentLoaded,
    ProcessFailed,
    NavigationCompleted,
};

class ProcessFailedArgs final : public ComObject<ICoreWebView2ProcessFailedEventArgs> {
public:
    explicit ProcessFailedArgs(int kind) : kind_(kind) {}
    HRESULT STDMETHODCALLTYPE
    get_ProcessFailedKind(COREWEBVIEW2_PROCESS_FAILED_KIND* kind) override {
        if (!kind) return E_POINTER;
        *kind = static_cast<COREWEBVIEW2_PROCESS_FAILED_KIND>(kind_);
        Record("ProcessFailedArgs.get_ProcessFailedKind -> 0x00000000 value=" +
               std::to_string(kind_));
        return S_OK;
    }

private:
    int kind_;
};

class NavigationCompletedArgs final : public ComObject<ICoreWebView2NavigationCompletedEventArgs> {
public:
    NavigationCompletedArgs(bool success, int status) : success_(success), status_(status) {}
    HRESULT STDMETHODCALLTYPE get_IsSuccess(BOOL* isSuccess) override {
        if (!isSuccess) return E_POINTER;
        *isSuccess = success_ ? TRUE : FALSE;
        Record(std::string("NavigationCompletedArgs.get_IsSuccess -> 0x00000000 value=") +
               (success_ ? "1" : "0"));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_WebErrorStatus(COREWEBVIEW2_WEB_ERROR_STATUS* status) override {
        if (!status) return E_POINTER;
        *status = static_cast<COREWEBVIEW2_WEB_ERROR_STATUS>(status_);
        Record("NavigationCompletedArgs.get_WebErrorStatus -> 0x00000000 value=" +
               std::to_string(status_));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64* navigationId) override {
        if (!navigationId) return E_POINTER;
        *navigationId = 7;
        Record("NavigationCompletedArgs.get_NavigationId -> 0x00000000 value=7");
        return S_OK;
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
    return Wide(nlohmann::json(Utf8(text)).dump());
}

class View final : public ComObject<ICoreWebView2_2> {
public:
    View(HWND parent, bool answersView2) : parent_(parent), answersView2_(answersView2) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        const HRESULT hr = ComObject<ICoreWebView2_2>::QueryInterface(iid, out);
        if (iid == __uuidof(ICoreWebView2_2))
            Record("WebView.QueryInterface iid=ICoreWebView2_2 -> " + Hex(hr));
        else if (iid != __uuidof(IUnknown) && iid != __uuidof(ICoreWebView2))
            Record("WebView.QueryInterface iid=other -> " + Hex(hr));
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
        source_ = uri;
        Navigated(this);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE NavigateToString(LPCWSTR) override {
        return Uncalled("NavigateToString");
    }
    HRESULT STDMETHODCALLTYPE
    add_NavigationStarting(ICoreWebView2NavigationStartingEventHandler* handler,
                           EventRegistrationToken* token) override {
        return Add(Kind::NavigationStarting, "add_NavigationStarting", handler, token);
    }
    HRESULT STDMETHODCALLTYPE remove_NavigationStarting(EventRegistrationToken token) override {
        return Remove("remove_NavigationStarting", token);
    }
    HRESULT STDMETHODCALLTYPE add_ContentLoading(ICoreWebView2ContentLoadingEventHandler*,
                                                 EventRegistrationToken*) override {
        return Uncalled("add_ContentLoading");
    }
    HRESULT STDMETHODCALLTYPE remove_ContentLoading(EventRegistrationToken) override {
        return Uncalled("remove_ContentLoading");
    }
    HRESULT STDMETHODCALLTYPE add_SourceChanged(ICoreWebView2SourceChangedEventHandler*,
                                                EventRegistrationToken*) override {
        return Uncalled("add_SourceChanged");
    }
    HRESULT STDMETHODCALLTYPE remove_SourceChanged(EventRegistrationToken) override {
        return Uncalled("remove_SourceChanged");
    }
    HRESULT STDMETHODCALLTYPE add_HistoryChanged(ICoreWebView2HistoryChangedEventHandler*,
                                                 EventRegistrationToken*) override {
        return Uncalled("add_HistoryChanged");
    }
    HRESULT STDMETHODCALLTYPE remove_HistoryChanged(EventRegistrationToken) override {
        return Uncalled("remove_HistoryChanged");
    }
    HRESULT STDMETHODCALLTYPE
    add_NavigationCompleted(ICoreWebView2NavigationCompletedEventHandler* handler,
                            EventRegistrationToken* token) override {
        return Add(Kind::NavigationCompleted, "add_NavigationCompleted", handler, token);
    }
    HRESULT STDMETHODCALLTYPE remove_NavigationCompleted(EventRegistrationToken token) override {
        return Remove("remove_NavigationCompleted", token);
    }
    HRESULT STDMETHODCALLTYPE add_FrameNavigationStarting(
        ICoreWebView2NavigationStartingEventHandler*, EventRegistrationToken*) override {
        return Uncalled("add_FrameNavigationStarting");
    }
    HRESULT STDMETHODCALLTYPE remove_FrameNavigationStarting(EventRegistrationToken) override {
        return Uncalled("remove_FrameNavigationStarting");
    }
    HRESULT STDMETHODCALLTYPE add_FrameNavigationCompleted(
        ICoreWebView2NavigationCompletedEventHandler*, EventRegistrationToken*) override {
        return Uncalled("add_FrameNavigationCompleted");
    }
    HRESULT STDMETHODCALLTYPE remove_FrameNavigationCompleted(EventRegistrationToken) override {
        return Uncalled("remove_FrameNavigationCompleted");
    }
    HRESULT STDMETHODCALLTYPE add_ScriptDialogOpening(ICoreWebView2ScriptDialogOpeningEventHandler*,
                                                      EventRegistrationToken*) override {
        return Uncalled("add_ScriptDialogOpening");
    }
    HRESULT STDMETHODCALLTYPE remove_ScriptDialogOpening(EventRegistrationToken) override {
        return Uncalled("remove_ScriptDialogOpening");
    }
    HRESULT STDMETHODCALLTYPE
    add_PermissionRequested(ICoreWebView2PermissionRequestedEventHandler* handler,
                            EventRegistrationToken* token) override {
        return Add(Kind::PermissionRequested, "add_PermissionRequested", handler, token);
    }
    HRESULT STDMETHODCALLTYPE remove_PermissionRequested(EventRegistrationToken token) override {
        return Remove("remove_PermissionRequested", token);
    }
    HRESULT STDMETHODCALLTYPE add_ProcessFailed(ICoreWebView2ProcessFailedEventHandler* handler,
                                                EventRegistrationToken* token) override {
        return Add(Kind::ProcessFailed, "add_ProcessFailed", handler, token);
    }
    HRESULT STDMETHODCALLTYPE remove_ProcessFailed(EventRegistrationToken token) override {
        return Remove("remove_ProcessFailed", token);
    }
    HRESULT STDMETHODCALLTYPE AddScriptToExecuteOnDocumentCreated(
        LPCWSTR, ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler*) override {
        return Uncalled("AddScriptToExecuteOnDocumentCreated");
    }
    HRESULT STDMETHODCALLTYPE RemoveScriptToExecuteOnDocumentCreated(LPCWSTR) override {
        return Uncalled("RemoveScriptToExecuteOnDocumentCreated");
    }
    HRESULT STDMETHODCALLTYPE ExecuteScript(LPCWSTR,
                                            ICoreWebView2ExecuteScriptCompletedHandler*) override {
        return Uncalled("ExecuteScript");
    }
    HRESULT STDMETHODCALLTYPE
    CapturePreview(COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT, IStream*,
                   ICoreWebView2CapturePreviewCompletedHandler*) override {
        return Uncalled("CapturePreview");
    }
    HRESULT STDMETHODCALLTYPE Reload() override {
        const HRESULT hr = HresultOr(Scenario(), "reload", S_OK);
        Record("WebView.Reload -> " + Hex(hr) + " " + ObserveWindow(parent_));
        return hr;
    }
    HRESULT STDMETHODCALLTYPE PostWebMessageAsJson(LPCWSTR) override {
        return Uncalled("PostWebMessageAsJson");
    }
    HRESULT STDMETHODCALLTYPE PostWebMessageAsString(LPCWSTR) override {
        return Uncalled("PostWebMessageAsString");
    }
    HRESULT STDMETHODCALLTYPE
    add_WebMessageReceived(ICoreWebView2WebMessageReceivedEventHandler* handler,
                           EventRegistrationToken* token) override {
        return Add(Kind::WebMessageReceived, "add_WebMessageReceived", handler, token);
    }
    HRESULT STDMETHODCALLTYPE remove_WebMessageReceived(EventRegistrationToken token) override {
        return Remove("remove_WebMessageReceived", token);
    }
    HRESULT STDMETHODCALLTYPE CallDevToolsProtocolMethod(
        LPCWSTR, LPCWSTR, ICoreWebView2CallDevToolsProtocolMethodCompletedHandler*) override {
        return Uncalled("CallDevToolsProtocolMethod");
    }
    HRESULT STDMETHODCALLTYPE get_BrowserProcessId(UINT32*) override {
        return Uncalled("get_BrowserProcessId");
    }
    HRESULT STDMETHODCALLTYPE get_CanGoBack(BOOL*) override { return Uncalled("get_CanGoBack"); }
    HRESULT STDMETHODCALLTYPE get_CanGoForward(BOOL*) override {
        return Uncalled("get_CanGoForward");
    }
    HRESULT STDMETHODCALLTYPE GoBack() override { return Uncalled("GoBack"); }
    HRESULT STDMETHODCALLTYPE GoForward() override { return Uncalled("GoForward"); }
    HRESULT STDMETHODCALLTYPE GetDevToolsProtocolEventReceiver(
        LPCWSTR, ICoreWebView2DevToolsProtocolEventReceiver**) override {
        return Uncalled("GetDevToolsProtocolEventReceiver");
    }
    HRESULT STDMETHODCALLTYPE Stop() override { return Uncalled("Stop"); }
    HRESULT STDMETHODCALLTYPE
    add_NewWindowRequested(ICoreWebView2NewWindowRequestedEventHandler* handler,
                           EventRegistrationToken* token) override {
        return Add(Kind::NewWindowRequested, "add_NewWindowRequested", handler, token);
    }
    HRESULT STDMETHODCALLTYPE remove_NewWindowRequested(EventRegistrationToken token) override {
        return Remove("remove_NewWindowRequested", token);
    }
    HRESULT STDMETHODCALLTYPE
    add_DocumentTitleChanged(ICoreWebView2DocumentTitleChangedEventHandler* handler,
                             EventRegistrationToken* token) override {
        return Add(Kind::DocumentTitleChanged, "add_DocumentTitleChanged", handler, token);
    }
    HRESULT STDMETHODCALLTYPE remove_DocumentTitleChanged(EventRegistrationToken token) override {
        return Remove("remove_DocumentTitleChanged", token);
    }
    HRESULT STDMETHODCALLTYPE get_DocumentTitle(LPWSTR* title) override {
        const HRESULT hr = CopyOut(title_, title);
        Record("WebView.get_DocumentTitle -> " + Hex(hr) + " title=" + Quote(title_.c_str()));
        return hr;
    }
    HRESULT STDMETHODCALLTYPE AddHostObjectToScript(LPCWSTR, VARIANT*) override {
        return Uncalled("AddHostObjectToScript");
    }
    HRESULT STDMETHODCALLTYPE RemoveHostObjectFromScript(LPCWSTR) override {
        return Uncalled("RemoveHostObjectFromScript");
    }
    HRESULT STDMETHODCALLTYPE OpenDevToolsWindow() override {
        return Uncalled("OpenDevToolsWindow");
    }
    HRESULT STDMETHODCALLTYPE add_ContainsFullScreenElementChanged(
        ICoreWebView2ContainsFullScreenElementChangedEventHandler* handler,
        EventRegistrationToken* token) override {
        return Add(Kind::ContainsFullScreenElementChanged, "add_ContainsFullScreenElementChanged",
                   handler, token);
    }
    HRESULT STDMETHODCALLTYPE
    remove_ContainsFullScreenElementChanged(EventRegistrationToken token) override {
        return Remove("remove_ContainsFullScreenElementChanged", token);
    }
    HRESULT STDMETHODCALLTYPE get_ContainsFullScreenElement(BOOL* value) override {
        if (!value) return E_POINTER;
        *value = fullScreen_;
        Record("WebView.get_ContainsFullScreenElement -> 0x00000000 value=" + Flag(fullScreen_));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE
    add_WebResourceRequested(ICoreWebView2WebResourceRequestedEventHandler* handler,
                             EventRegistrationToken* token) override {
        return Add(Kind::WebResourceRequested, "add_WebResourceRequested", handler, token);
    }
    HRESULT STDMETHODCALLTYPE remove_WebResourceRequested(EventRegistrationToken token) override {
        return Remove("remove_WebResourceRequested", token);
    }
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
    HRESULT STDMETHODCALLTYPE
    add_WindowCloseRequested(ICoreWebView2WindowCloseRequestedEventHandler* handler,
                             EventRegistrationToken* token) override {
        return Add(Kind::WindowCloseRequested, "add_WindowCloseRequested", handler, token);
    }
    HRESULT STDMETHODCALLTYPE remove_WindowCloseRequested(EventRegistrationToken token) override {
        return Remove("remove_WindowCloseRequested", token);
    }

    HRESULT STDMETHODCALLTYPE add_WebResourceResponseReceived(
        ICoreWebView2WebResourceResponseReceivedEventHandler*, EventRegistrationToken*) override {
        return Uncalled("add_WebResourceResponseReceived");
    }
    HRESULT STDMETHODCALLTYPE remove_WebResourceResponseReceived(EventRegistrationToken) override {
        return Uncalled("remove_WebResourceResponseReceived");
    }
    HRESULT STDMETHODCALLTYPE
    NavigateWithWebResourceRequest(ICoreWebView2WebResourceRequest*) override {
        return Uncalled("NavigateWithWebResourceRequest");
    }
    HRESULT STDMETHODCALLTYPE
    add_DOMContentLoaded(ICoreWebView2DOMContentLoadedEventHandler* handler,
                         EventRegistrationToken* token) override {
        return Add(Kind::DOMContentLoaded, "add_DOMContentLoaded", handler, token);
    }
    HRESULT STDMETHODCALLTYPE remove_DOMContentLoaded(EventRegistrationToken token) override {
        return Remove("remove_DOMContentLoaded", token);
    }
    HRESULT STDMETHODCALLTYPE get_CookieManager(ICoreWebView2CookieManager**) override {
        return Uncalled("get_CookieManager");
    }
    HRESULT STDMETHODCALLTYPE get_Environment(ICoreWebView2Environment**) override {
        return Uncalled("get_Environment");
    }

protected:
    bool Answers(REFIID iid) override {
        return iid == __uuidof(ICoreWebView2) ||
               (answersView2_ && iid == __uuidof(ICoreWebView2_2));
    }

private:
    struct Registration {
        int64_t token;
        Kind kind;
        ComPtr<IUnknown> handler;
    };

    static HRESULT Uncalled(const char* name) {
        Record(std::string("WebView.") + name + " -> 0x80004001");
        return E_NOTIMPL;
    }

    template <class Handler>
    HRESULT Add(Kind kind, const char* name, Handler* handler, EventRegistrationToken* token) {
        const HRESULT hr = handler ? Refusal(name) : E_INVALIDARG;
        Record(std::string("WebView.") + name + " handler=" + Object(handler) +
               " token=" + (token ? "pointer" : "null") + " -> " + Hex(hr));
        if (FAILED(hr)) return hr;
        registrations_.push_back({++lastToken_, kind, ComPtr<IUnknown>(handler)});
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
    std::vector<ComPtr<Handler>> HandlersOf(Kind kind) const {
        std::vector<ComPtr<Handler>> handlers;
        for (const auto& registration : registrations_)
            if (registration.kind == kind)
                handlers.push_back(static_cast<Handler*>(registration.handler.Get()));
        return handlers;
    }

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

void View::Raise(const nlohmann::json& event) {
    if (!event.is_object()) return;
    const std::string name = event.value("event", "");
    const auto window = [this] { return ObserveWindow(parent_); };
    HRESULT result = S_OK;
    if (name == "Pause") {
        Record("Pause");
        return;
    }
    if (name == "DOMContentLoaded") {
        const auto handlers =
            HandlersOf<ICoreWebView2DOMContentLoadedEventHandler>(Kind::DOMContentLoaded);
        Record("Raise DOMContentLoaded handlers=" + std::to_string(handlers.size()) + " " +
               window());
        auto args = Make<DomArgs>();
        for (const auto& handler : handlers) result = handler->Invoke(this, args.Get());
        Record("Return DOMContentLoaded -> " + Hex(result) + " " + window());
    } else if (name == "WebResourceRequested") {
        const auto handlers =
            HandlersOf<ICoreWebView2WebResourceRequestedEventHandler>(Kind::WebResourceRequested);
        const MaybeText uri = MaybeTextOf(event, "uri");
        const MaybeText range = MaybeTextOf(event, "range");
        std::vector<Header> headers;
        if (event.contains("headers") && event["headers"].is_object())
            for (const auto& item : event["headers"].items())
                if (item.value().is_string())
                    headers.push_back({Wide(item.key()), Wide(item.value().get<std::string>())});
        if (range.present) headers.push_back({L"Range", range.text});
        const std::wstring method = TextOr(event, "method", L"GET");
        const int context = event.value("context", 0);
        const bool defer = event.value("readBody", "") == std::string("afterTeardown");
        const std::string described = "uri=" + Quote(uri.get()) + " range=" + Quote(range.get()) +
                                      " method=" + Quote(method.c_str());
        Record("Raise WebResourceRequested " + described +
               " handlers=" + std::to_string(handlers.size()) + " " + window());
        auto request = Make<Request>(uri, method, headers);
        auto args = Make<ResourceArgs>(request, context);
        for (const auto& handler : handlers) result = handler->Invoke(this, args.Get());
        Record("Return WebResourceRequested -> " + Hex(result) + " " +
               DescribeResponse(args->response_.Get(), defer, "WebResourceRequested " + described) +
               " " + window());
    } else if (name == "NavigationStarting") {
        const auto handlers =
            HandlersOf<ICoreWebView2NavigationStartingEventHandler>(Kind::NavigationStarting);
        const MaybeText uri = MaybeTextOf(event, "uri");
        Record("Raise NavigationStarting uri=" + Quote(uri.get()) +
               " handlers=" + std::to_string(handlers.size()) + " " + window());
        auto args = Make<NavigationArgs>(uri);
        for (const auto& handler : handlers) result = handler->Invoke(this, args.Get());
        Record("Return NavigationStarting -> " + Hex(result) + " cancel=" + Flag(args->cancel_) +
               " " + window());
    } else if (name == "PermissionRequested") {
        const auto handlers =
            HandlersOf<ICoreWebView2PermissionRequestedEventHandler>(Kind::PermissionRequested);
        const MaybeText uri = MaybeTextOf(event, "uri");
        const int kind = event.value("kind", 0);
        Record("Raise PermissionRequested uri=" + Quote(uri.get()) +
               " kind=" + std::to_string(kind) + " handlers=" + std::to_string(handlers.size()) +
               " " + window());
        auto args = Make<PermissionArgs>(uri, kind);
        for (const auto& handler : handlers) result = handler->Invoke(this, args.Get());
        Record("Return PermissionRequested -> " + Hex(result) +
               " state=" + std::to_string(static_cast<int>(args->state_)) +
               " puts=" + std::to_string(args->puts_) + " " + window());
    } else if (name == "NewWindowRequested") {
        const auto handlers =
            HandlersOf<ICoreWebView2NewWindowRequestedEventHandler>(Kind::NewWindowRequested);
        const MaybeText uri = MaybeTextOf(event, "uri");
        Record("Raise NewWindowRequested uri=" + Quote(uri.get()) +
               " handlers=" + std::to_string(handlers.size()) + " " + window());
        auto args = Make<NewWindowArgs>(uri);
        for (const auto& handler : handlers) result = handler->Invoke(this, args.Get());
        Record("Return NewWindowRequested -> " + Hex(result) + " handled=" + Flag(args->handled_) +
               " newWindow=" + Object(args->newWindow_.Get()) + " " + window());
    } else if (name == "WebMessageReceived") {
        const auto handlers =
            HandlersOf<ICoreWebView2WebMessageReceivedEventHandler>(Kind::WebMessageReceived);
        const MaybeText source = MaybeTextOf(event, "source");
        const MaybeText text = MaybeTextOf(event, "text");
        const std::wstring json =
            text.present ? JsonText(text.text) : TextOr(event, "json", L"null");
        Record("Raise WebMessageReceived source=" + Quote(source.get()) +
               " text=" + Quote(text.get()) + " json=" + Quote(json.c_str()) +
               " handlers=" + std::to_string(handlers.size()) + " " + window());
        auto args = Make<MessageArgs>(source, text, json);
        for (const auto& handler : handlers) result = handler->Invoke(this, args.Get());
        Record("Return WebMessageReceived -> " + Hex(result) + " " + window());
    } else if (name == "DocumentTitleChanged") {
        const auto handlers =
            HandlersOf<ICoreWebView2DocumentTitleChangedEventHandler>(Kind::DocumentTitleChanged);
        title_ = TextOr(event, "title", L"");
        Record("Raise DocumentTitleChanged title=" + Quote(title_.c_str()) +
               " handlers=" + std::to_string(handlers.size()) + " " + window());
        for (const auto& handler : handlers) result = handler->Invoke(this, nullptr);
        Record("Return DocumentTitleChanged -> " + Hex(result) + " " + window());
    } else if (name == "ContainsFullScreenElementChanged") {
        const auto handlers = HandlersOf<ICoreWebView2ContainsFullScreenElementChangedEventHandler>(
            Kind::ContainsFullScreenElementChanged);
        fullScreen_ = event.value("value", false) ? TRUE : FALSE;
        Record("Raise ContainsFullScreenElementChanged value=" + Flag(fullScreen_) +
               " handlers=" + std::to_string(handlers.size()) + " " + window());
        for (const auto& handler : handlers) result = handler->Invoke(this, nullptr);
        Record("Return ContainsFullScreenElementChanged -> " + Hex(result) + " " + window());
    } else if (name == "WindowCloseRequested") {
        const auto handlers =
            HandlersOf<ICoreWebView2WindowCloseRequestedEventHandler>(Kind::WindowCloseRequested);
        Record("Raise WindowCloseRequested handlers=" + std::to_string(handlers.size()) + " " +
               window());
        for (const auto& handler : handlers) result = handler->Invoke(this, nullptr);
        Record("Return WindowCloseRequested -> " + Hex(result) + " " + window());
    } else if (name == "ProcessFailed") {
        const auto handlers =
            HandlersOf<ICoreWebView2ProcessFailedEventHandler>(Kind::ProcessFailed);
        const int kind = event.value("kind", 0);
        Record("Raise ProcessFailed kind=" + std::to_string(kind) +
               " handlers=" + std::to_string(handlers.size()) + " " + window());
        auto args = Make<ProcessFailedArgs>(kind);
        for (const auto& handler : handlers) result = handler->Invoke(this, args.Get());
        Record("Return ProcessFailed -> " + Hex(result) + " " + window());
    } else if (name == "NavigationCompleted") {
        const auto handlers =
            HandlersOf<ICoreWebView2NavigationCompletedEventHandler>(Kind::NavigationCompleted);
        const bool success = event.value("success", true);
        const int status = event.value("status", 0);
        Record(std::string("Raise NavigationCompleted success=") + (success ? "1" : "0") +
               " status=" + std::to_string(status) +
               " handlers=" + std::to_string(handlers.size()) + " " + window());
        auto args = Make<NavigationCompletedArgs>(success, status);
        for (const auto& handler : handlers) result = handler->Invoke(this, args.Get());
        Record("Return NavigationCompleted -> " + Hex(result) + " " + window());
    } else {
        Record("Unknown event " + QuoteBytes(name));
    }
}

}  // namespace

ComPtr<ICoreWebView2_2> MakeView(HWND parent, bool answersView2) {
    return Make<View>(parent, answersView2);
}

}  // namespace browser_double
