// One request event through the glue: the router's answer reaches the
// control as a response created on the environment and set on the event,
// with the body readable, and every reference the glue took given back.
#include "host/win32/web_resource.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "platform/diagnostics_log.h"
#include "server/mime.h"
#include "server/origin.h"
#include "tests/host/fakes.h"
#include "tests/server/content_folder.h"
#include "tests/support/harness.h"
#include "tests/support/log_lines.h"

namespace {

// The address the control hands over for relative under the app origin.
std::wstring Address(const wchar_t* relative) {
    return std::wstring(AppOrigin) + relative;
}

class Headers : public Fake<ICoreWebView2HttpRequestHeaders> {
public:
    std::optional<std::wstring> range;
    HRESULT rangeResult = S_OK;  // GetHeader's answer for "Range"
    HRESULT STDMETHODCALLTYPE GetHeader(LPCWSTR name, LPWSTR* value) override {
        *value = nullptr;
        if (std::wstring(name) != L"Range" || !range) return E_INVALIDARG;
        if (FAILED(rangeResult)) return rangeResult;
        return CopyToCoTaskMem(range->c_str(), value);
    }
    LS_UNCALLED(GetHeaders, LPCWSTR, ICoreWebView2HttpHeadersCollectionIterator**)
    HRESULT STDMETHODCALLTYPE Contains(LPCWSTR name, BOOL* value) override {
        *value = std::wstring(name) == L"Range" && range ? TRUE : FALSE;
        return S_OK;
    }
    LS_UNCALLED(SetHeader, LPCWSTR, LPCWSTR)
    LS_UNCALLED(RemoveHeader, LPCWSTR)
    LS_UNCALLED(GetIterator, ICoreWebView2HttpHeadersCollectionIterator**)
};

class Request : public Fake<ICoreWebView2WebResourceRequest> {
public:
    TextAnswer uri;
    Headers headers;
    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* value) override { return uri.Give(value); }
    LS_UNCALLED(put_Uri, LPCWSTR)
    LS_UNCALLED(get_Method, LPWSTR*)
    LS_UNCALLED(put_Method, LPCWSTR)
    LS_UNCALLED(get_Content, IStream**)
    LS_UNCALLED(put_Content, IStream*)
    HRESULT STDMETHODCALLTYPE get_Headers(ICoreWebView2HttpRequestHeaders** value) override {
        headers.AddRef();
        *value = &headers;
        return S_OK;
    }
};

class Response : public Fake<ICoreWebView2WebResourceResponse> {
public:
    LS_UNCALLED(get_Content, IStream**)
    LS_UNCALLED(put_Content, IStream*)
    LS_UNCALLED(get_Headers, ICoreWebView2HttpResponseHeaders**)
    LS_UNCALLED(get_StatusCode, int*)
    LS_UNCALLED(put_StatusCode, int)
    LS_UNCALLED(get_ReasonPhrase, LPWSTR*)
    LS_UNCALLED(put_ReasonPhrase, LPCWSTR)
};

// Records what it is asked to create and reads the body to its end, as the
// control would.
class Environment : public FakeEnvironment {
public:
    Response response;
    int created = 0;
    int status = 0;
    std::wstring reason;
    std::wstring headers;
    bool hasBody = false;
    std::string body;
    HRESULT result = S_OK;  // a failure creates nothing
    HRESULT STDMETHODCALLTYPE
    CreateWebResourceResponse(IStream* content, int statusCode, LPCWSTR reasonPhrase,
                              LPCWSTR headerText, ICoreWebView2WebResourceResponse** out) override {
        ++created;
        status = statusCode;
        reason = reasonPhrase;
        headers = headerText;
        hasBody = content != nullptr;
        if (content) {
            char buffer[4096];
            ULONG read = 0;
            while (SUCCEEDED(content->Read(buffer, sizeof buffer, &read)) && read > 0)
                body.append(buffer, read);
        }
        *out = nullptr;
        if (FAILED(result)) return result;
        response.AddRef();
        *out = &response;
        return S_OK;
    }
};

class RequestedArgs : public Fake<ICoreWebView2WebResourceRequestedEventArgs> {
public:
    Request request;
    std::vector<ICoreWebView2WebResourceResponse*> responses;
    HRESULT putResult = S_OK;
    HRESULT STDMETHODCALLTYPE get_Request(ICoreWebView2WebResourceRequest** value) override {
        request.AddRef();
        *value = &request;
        return S_OK;
    }
    LS_UNCALLED(get_Response, ICoreWebView2WebResourceResponse**)
    HRESULT STDMETHODCALLTYPE put_Response(ICoreWebView2WebResourceResponse* value) override {
        responses.push_back(value);
        return putResult;
    }
    LS_UNCALLED(GetDeferral, ICoreWebView2Deferral**)
    LS_UNCALLED(get_ResourceContext, COREWEBVIEW2_WEB_RESOURCE_CONTEXT*)
};

// Built when the test runs: the type table is another file's static value.
std::wstring Found() {
    return L"Cache-Control: no-store\nContent-Type: " + LookupMimeType(L"index.html") +
           L"\nAccept-Ranges: bytes";
}
const std::wstring NotFound = L"Cache-Control: no-store";

TEST(WebResource, TheRoutersAnswerBecomesTheEventsResponse) {
    ContentFolder folder;
    const std::string page = "<!doctype html><title>p</title>" + Pattern(5000, 7);
    folder.Write(L"index.html", page);
    const std::wstring size = std::to_wstring(page.size());
    const struct {
        const char* name;
        TextAnswer uri;
        std::optional<std::wstring> range;
        HRESULT rangeResult;
        int status;
        const wchar_t* reason;
        std::wstring headers;
        bool hasBody;
        std::string body;
    } cases[] = {
        {"whole file", Text(Address(L"index.html").c_str()), std::nullopt, S_OK, 200, L"OK",
         Found() + L"\nContent-Length: " + size, true, page},
        {"range", Text(Address(L"index.html").c_str()), L"bytes=2-5", S_OK, 206, L"Partial Content",
         Found() + L"\nContent-Range: bytes 2-5/" + size + L"\nContent-Length: 4", true,
         page.substr(2, 4)},
        {"range past the end", Text(Address(L"index.html").c_str()), L"bytes=99999-", S_OK, 416,
         L"Range Not Satisfiable", Found() + L"\nContent-Range: bytes */" + size, false, ""},
        {"unreadable range value", Text(Address(L"index.html").c_str()), L"bytes=0-1", E_FAIL, 416,
         L"Range Not Satisfiable", Found() + L"\nContent-Range: bytes */" + size, false, ""},
        {"outside the origin", Text(L"https://example.com/index.html"), std::nullopt, S_OK, 404,
         L"Not Found", NotFound, true, "File not found"},
        {"missing file", Text(Address(L"gone.png").c_str()), std::nullopt, S_OK, 404, L"Not Found",
         NotFound, true, "File not found"},
        {"no URI", NoText, std::nullopt, S_OK, 404, L"Not Found", NotFound, true, "File not found"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Environment environment;
        RequestedArgs args;
        args.request.uri = c.uri;
        args.request.headers.range = c.range;
        args.request.headers.rangeResult = c.rangeResult;
        AnswerWebResourceRequest(folder.Server(), &environment, &args);
        EXPECT_EQ(environment.created, 1);
        EXPECT_EQ(environment.status, c.status);
        EXPECT_EQ(environment.reason, c.reason);
        EXPECT_EQ(environment.headers, c.headers);
        EXPECT_EQ(environment.hasBody, c.hasBody);
        EXPECT_EQ(environment.body, c.body);
        ASSERT_EQ(args.responses.size(), 1u);
        EXPECT_EQ(args.responses[0], &environment.response);
        // The event holds on to the response itself; the glue keeps nothing.
        EXPECT_EQ(environment.response.references, 1u);
        EXPECT_EQ(args.request.references, 1u);
        EXPECT_EQ(args.request.headers.references, 1u);
    }
}

// Nothing the page can see tells why it got no answer: the log does.
TEST(WebResource, AResponseTheControlWontMakeOrTakeIsLogged) {
    ContentFolder folder;
    folder.Write(L"index.html", "<!doctype html>");
    DiagnosticsLog log;
    log.Open(folder.HostPath(L"../logs"));
    ASSERT_TRUE(log.IsOpen());
    ContentServer server(folder.Server().Root(), &log);
    // The response refused by the environment, then by the event.
    for (const auto& [created, put, handed] :
         {std::tuple{E_OUTOFMEMORY, S_OK, 0u}, std::tuple{S_OK, E_INVALIDARG, 1u}}) {
        Environment environment;
        environment.result = created;
        RequestedArgs args;
        args.putResult = put;
        args.request.uri = Text(Address(L"index.html").c_str());
        AnswerWebResourceRequest(server, &environment, &args);
        EXPECT_EQ(args.responses.size(), handed);
        EXPECT_EQ(environment.response.references, 1u);
    }
    EXPECT_EQ(ReadLogEvents(log.path()), (std::vector<std::string>{
                                             "failed: CreateWebResourceResponse (error 0x8007000E)",
                                             "failed: put_Response (error 0x80070057)",
                                         }));
    server.Mappings().ReleaseMappedViews();
}

TEST(WebResource, NoEnvironmentSetsNoResponse) {
    ContentFolder folder;
    RequestedArgs args;
    args.request.uri = Text(L"https://lanternshell.localhost/index.html");
    AnswerWebResourceRequest(folder.Server(), nullptr, &args);
    EXPECT_TRUE(args.responses.empty());
    EXPECT_EQ(args.request.references, 1u);
}

}  // namespace
