#include "host/gtk/content_scheme.h"

#include <memory>

#include "platform/text.h"
#include "platform/files.h"
#include "platform/posix/native_path.h"

namespace {

// The stream the engine reads an answer's body from, or null for no body:
// the file itself for whole files, the cached mapping for ranges (not copied:
// the bytes hold the mapping, see HoldMapping), the 404 text otherwise.
GInputStream* CreateBodyInputStream(const AnswerBody& body) {
    switch (body.kind) {
        case BodyKind::WholeFile: {
            GFile* file = g_file_new_for_path(ToNativePath(body.filePath).c_str());
            GFileInputStream* stream = g_file_read(file, nullptr, nullptr);
            g_object_unref(file);
            return stream ? G_INPUT_STREAM(stream) : nullptr;
        }
        case BodyKind::FileRange: {
            const std::shared_ptr<const MappedFile>& view = body.view;
            if (!view || body.offset > view->size || body.length > view->size - body.offset)
                return nullptr;
            GBytes* bytes = g_bytes_new_with_free_func(view->view + body.offset,
                                                       static_cast<gsize>(body.length),
                                                       ReleaseMapping, HoldMapping(view));
            GInputStream* stream = g_memory_input_stream_new_from_bytes(bytes);
            g_bytes_unref(bytes);
            return stream;
        }
        case BodyKind::NotFoundText:
            return g_memory_input_stream_new_from_data(NotFoundBody, NotFoundBodyLength, nullptr);
        case BodyKind::None:
            break;
    }
    return nullptr;
}

// The answer as the scheme response: status, reason, headers and body.
WebKitURISchemeResponse* CreateSchemeResponse(const Answer& answer) {
    GInputStream* body = CreateBodyInputStream(answer.body);
    const gint64 length = body ? static_cast<gint64>(BodyLength(answer.body)) : 0;
    // A file that vanished between the check and the open, or an answer
    // without a body: the engine still gets a stream, an empty one.
    if (!body) body = g_memory_input_stream_new();
    WebKitURISchemeResponse* response = webkit_uri_scheme_response_new(body, length);
    g_object_unref(body);
    webkit_uri_scheme_response_set_status(response, static_cast<guint>(answer.status),
                                          WideToUtf8(answer.reasonPhrase).c_str());
    SoupMessageHeaders* headers = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
    ForEachHeaderLine(answer.headers, [&](std::wstring_view nameText, std::wstring_view valueText) {
        const std::string name = WideToUtf8(std::wstring(nameText));
        const std::string value = WideToUtf8(std::wstring(valueText));
        if (g_ascii_strcasecmp(name.c_str(), "Content-Type") == 0 && !value.empty())
            webkit_uri_scheme_response_set_content_type(response, value.c_str());
        soup_message_headers_append(headers, name.c_str(), value.c_str());
    });
    // The response takes the headers over.
    webkit_uri_scheme_response_set_http_headers(response, headers);
    return response;
}

struct SchemeState {
    ContentServer& server;
    const RequestObserver& observer;
};

void AnswerSchemeRequest(WebKitURISchemeRequest* request, gpointer data) {
    const auto* state = static_cast<const SchemeState*>(data);
    const std::wstring uri = Utf8ToWide(webkit_uri_scheme_request_get_uri(request));
    std::optional<std::wstring> range;
    if (SoupMessageHeaders* headers = webkit_uri_scheme_request_get_http_headers(request)) {
        if (const char* value = soup_message_headers_get_one(headers, "Range"))
            range = Utf8ToWide(value);
    }
    const Answer answer = RouteRequest(state->server, PathUnderOrigin(uri, GtkAppOrigin), range);
    WebKitURISchemeResponse* response = CreateSchemeResponse(answer);
    webkit_uri_scheme_request_finish_with_response(request, response);
    g_object_unref(response);
    if (state->observer) state->observer(uri, range, answer);
}

}  // namespace

void RegisterContentScheme(WebKitWebContext* context, ContentServer& server,
                           const RequestObserver& observer) {
    auto* state = new SchemeState{server, observer};
    webkit_web_context_register_uri_scheme(
        context, GtkAppScheme, AnswerSchemeRequest, state,
        [](gpointer data) { delete static_cast<SchemeState*>(data); });
    WebKitSecurityManager* security = webkit_web_context_get_security_manager(context);
    webkit_security_manager_register_uri_scheme_as_secure(security, GtkAppScheme);
    webkit_security_manager_register_uri_scheme_as_cors_enabled(security, GtkAppScheme);
    // Media is read in the web process (see media_plugin.h): when the engine
    // runs it in a sandbox, the content folder must be visible there. The
    // sandbox mounts the plugin's folder itself, as a GStreamer plugin path.
    webkit_web_context_add_path_to_sandbox(context, ToNativePath(server.Root()).c_str(), TRUE);
}
