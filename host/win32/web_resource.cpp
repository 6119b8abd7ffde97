#include "host/win32/web_resource.h"

#include <optional>
#include <string>

#include "platform/diagnostics_log.h"
#include "platform/win32/com.h"
#include "server/origin.h"
#include "server/win32/body_stream.h"

HRESULT CreateResponseForAnswer(ICoreWebView2Environment* environment, const Answer& answer,
                                ICoreWebView2WebResourceResponse** response) {
    if (!response) return E_POINTER;
    *response = nullptr;
    if (!environment) return E_POINTER;
    // The response takes its own reference to the stream.
    ComPtr<IStream> body;
    *body.ReleaseAndGetAddressOf() = CreateBodyStream(answer.body);
    return environment->CreateWebResourceResponse(body.Get(), answer.status, answer.reasonPhrase,
                                                  answer.headers.c_str(), response);
}

void AnswerWebResourceRequest(ContentServer& server, ICoreWebView2Environment* environment,
                              ICoreWebView2WebResourceRequestedEventArgs* args) {
    if (!args) return;
    ComPtr<ICoreWebView2WebResourceRequest> request;
    args->get_Request(request.GetAddressOf());

    CoTaskMemString uri;
    std::optional<std::wstring> range;
    if (request) {
        request->get_Uri(uri.Put());
        ComPtr<ICoreWebView2HttpRequestHeaders> headers;
        request->get_Headers(headers.GetAddressOf());
        BOOL hasRange = FALSE;
        if (headers && SUCCEEDED(headers->Contains(L"Range", &hasRange)) && hasRange) {
            CoTaskMemString value;
            // A Range header whose value can't be read counts as empty,
            // which the range parser refuses like any other bad value.
            headers->GetHeader(L"Range", value.Put());
            range = value.Copy();
        }
    }

    const std::wstring address = uri.Copy();
    const Answer answer = RouteRequest(server, PathUnderOrigin(address, AppOrigin), range);
    ComPtr<ICoreWebView2WebResourceResponse> response;
    // Without a response the request goes on as the control would make it
    // and the page gets nothing useful; the log says why.
    LogIfFailed(server.Log(), "CreateWebResourceResponse",
                CreateResponseForAnswer(environment, answer, response.GetAddressOf()));
    if (response) LogIfFailed(server.Log(), "put_Response", args->put_Response(response.Get()));
}
