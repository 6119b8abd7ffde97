// The media plugin (see media_plugin.h): a seekable source for
// "lanternshell:" URIs with a content server of its own over the app's
// content folder. Ranges go downstream as memory wrapped around the cached
// mapping, so none is copied.
#include <gst/base/gstbasesrc.h>
#include <gst/gst.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#ifdef LS_MEDIA_TEST_LOG
#include <unistd.h>
#endif

#include "host/gtk/app_origin.h"
#include "host/gtk/media_plugin.h"
#include "platform/text.h"

#define PACKAGE "lanternshell"

namespace {

// Reads of the push mode; pull-mode readers ask for their own sizes.
constexpr guint PushBlockSize = 64 * 1024;

const gchar* const Protocols[] = {GtkAppScheme, nullptr};

struct SourceState {
    std::mutex lock;  // the URI and the server, which the streaming thread reads
    std::string uri;
    std::unique_ptr<ContentServer> server;
    uint64_t size = 0;  // the file's size, as the router answered at the start
};

// With state.lock held.
Answer Route(SourceState& state, const std::optional<std::wstring>& range) {
    const std::wstring uri = Utf8ToWide(state.uri);
    const Answer answer = RouteRequest(*state.server, PathUnderOrigin(uri, GtkAppOrigin), range);
#ifdef LS_MEDIA_TEST_LOG
    // Test builds only: one "media: <status> <range or -> <uri>" line per
    // answer on standard output, which the web process shares with the host.
    // One write per line keeps the lines of the two processes apart.
    const std::string line = "media: " + std::to_string(answer.status) + " " +
                             (range ? WideToUtf8(*range) : std::string("-")) + " " + state.uri +
                             "\n";
    [[maybe_unused]] const ssize_t written = write(1, line.data(), line.size());
#endif
    return answer;
}

// The answer's bytes as read-only memory over the mapped view, which it holds
// until the last buffer that shares it is gone.
GstMemory* WrapRange(const AnswerBody& body) {
    return gst_memory_new_wrapped(
        GST_MEMORY_FLAG_READONLY, const_cast<unsigned char*>(body.view->view),
        static_cast<gsize>(body.view->size), static_cast<gsize>(body.offset),
        static_cast<gsize>(body.length), HoldMapping(body.view), ReleaseMapping);
}

// The content folder named by the host, in the server's backslash form.
std::optional<std::wstring> ContentRoot() {
    const char* root = std::getenv(MediaRootVariable);
    if (!root || !*root) return std::nullopt;
    std::wstring path = Utf8ToWide(root);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    if (path.back() != L'\\') path.push_back(L'\\');
    return path;
}

}  // namespace

G_BEGIN_DECLS

#define LS_TYPE_MEDIA_SOURCE (ls_media_source_get_type())
G_DECLARE_FINAL_TYPE(LsMediaSource, ls_media_source, LS, MEDIA_SOURCE, GstBaseSrc)

struct _LsMediaSource {
    GstBaseSrc parent;
    SourceState* state;
};

static void ls_media_source_uri_handler_init(gpointer iface, gpointer data);

G_DEFINE_TYPE_WITH_CODE(LsMediaSource, ls_media_source, GST_TYPE_BASE_SRC,
                        G_IMPLEMENT_INTERFACE(GST_TYPE_URI_HANDLER,
                                              ls_media_source_uri_handler_init))

G_END_DECLS

namespace {

SourceState& StateOf(gpointer source) {
    return *LS_MEDIA_SOURCE(source)->state;
}

// Errors are posted with the lock released: the engine's bus handler may
// call back into the element.
gboolean Start(GstBaseSrc* base) {
    SourceState& state = StateOf(base);
    const std::optional<std::wstring> root = ContentRoot();
    if (!root) {
        GST_ELEMENT_ERROR(base, RESOURCE, NOT_FOUND, ("No app folder to play from."),
                          ("%s is not set", MediaRootVariable));
        return FALSE;
    }
    std::string uri;
    int status = 0;
    {
        std::lock_guard<std::mutex> guard(state.lock);
        state.server = std::make_unique<ContentServer>(*root);
        // A request without a range tells whether the router serves the
        // file, and its size, without reading any of it.
        const Answer answer = Route(state, std::nullopt);
        status = answer.status;
        if (status == 200) {
            state.size = answer.body.length;
            return TRUE;
        }
        state.server.reset();
        uri = state.uri;
    }
    GST_ELEMENT_ERROR(base, RESOURCE, NOT_FOUND, ("%s was not found.", uri.c_str()),
                      ("the content server answered %d", status));
    return FALSE;
}

gboolean Stop(GstBaseSrc* base) {
    SourceState& state = StateOf(base);
    std::lock_guard<std::mutex> guard(state.lock);
    // Buffers still downstream hold their own mappings.
    state.server.reset();
    return TRUE;
}

gboolean GetSize(GstBaseSrc* base, guint64* size) {
    SourceState& state = StateOf(base);
    std::lock_guard<std::mutex> guard(state.lock);
    if (!state.server) return FALSE;
    *size = state.size;
    return TRUE;
}

GstFlowReturn Create(GstBaseSrc* base, guint64 offset, guint length, GstBuffer** buffer) {
    SourceState& state = StateOf(base);
    Answer answer;
    std::string uri;
    {
        std::lock_guard<std::mutex> guard(state.lock);
        if (!state.server) return GST_FLOW_FLUSHING;
        if (offset >= state.size || length == 0) return GST_FLOW_EOS;
        const uint64_t last = offset + std::min<uint64_t>(length, state.size - offset) - 1;
        answer = Route(state, L"bytes=" + WideDecimal(offset) + L"-" + WideDecimal(last));
        uri = state.uri;
    }
    switch (answer.status) {
        case 206:
            if (answer.body.view) break;
            [[fallthrough]];
        default:
            GST_ELEMENT_ERROR(base, RESOURCE, READ, ("%s could not be read.", uri.c_str()),
                              ("the content server answered %d", answer.status));
            return GST_FLOW_ERROR;
        case 416:
            // The file got shorter since it was opened: it ends here now.
            return GST_FLOW_EOS;
        case 404:
            GST_ELEMENT_ERROR(base, RESOURCE, NOT_FOUND, ("%s was not found.", uri.c_str()),
                              ("the content server answered 404"));
            return GST_FLOW_ERROR;
    }
    GstBuffer* result = gst_buffer_new();
    gst_buffer_append_memory(result, WrapRange(answer.body));
    GST_BUFFER_OFFSET(result) = offset;
    GST_BUFFER_OFFSET_END(result) = offset + answer.body.length;
    *buffer = result;
    return GST_FLOW_OK;
}

gchar* GetUri(GstURIHandler* handler) {
    SourceState& state = StateOf(handler);
    std::lock_guard<std::mutex> guard(state.lock);
    return state.uri.empty() ? nullptr : g_strdup(state.uri.c_str());
}

gboolean SetUri(GstURIHandler* handler, const gchar* uri, GError** error) {
    if (GST_STATE(GST_ELEMENT(handler)) >= GST_STATE_PAUSED) {
        g_set_error(error, GST_URI_ERROR, GST_URI_ERROR_BAD_STATE,
                    "The URI can't be changed while the source plays.");
        return FALSE;
    }
    SourceState& state = StateOf(handler);
    std::lock_guard<std::mutex> guard(state.lock);
    state.uri = uri ? uri : "";
    return TRUE;
}

void Finalize(GObject* object) {
    delete LS_MEDIA_SOURCE(object)->state;
    G_OBJECT_CLASS(ls_media_source_parent_class)->finalize(object);
}

gboolean InitPlugin(GstPlugin* plugin) {
    return gst_element_register(plugin, "lanternshellsrc", GST_RANK_PRIMARY, LS_TYPE_MEDIA_SOURCE);
}

}  // namespace

static void ls_media_source_class_init(LsMediaSourceClass* klass) {
    G_OBJECT_CLASS(klass)->finalize = Finalize;
    GstElementClass* element = GST_ELEMENT_CLASS(klass);
    static GstStaticPadTemplate sourceTemplate =
        GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);
    gst_element_class_add_static_pad_template(element, &sourceTemplate);
    gst_element_class_set_static_metadata(element, "Lanternshell app origin source", "Source/File",
                                          "Reads app-origin media", "Lanternshell");
    GstBaseSrcClass* base = GST_BASE_SRC_CLASS(klass);
    base->start = Start;
    base->stop = Stop;
    base->get_size = GetSize;
    base->is_seekable = [](GstBaseSrc*) -> gboolean { return TRUE; };
    base->create = Create;
}

static void ls_media_source_init(LsMediaSource* source) {
    source->state = new SourceState;
    gst_base_src_set_blocksize(GST_BASE_SRC(source), PushBlockSize);
}

static void ls_media_source_uri_handler_init(gpointer iface, gpointer) {
    auto* handler = static_cast<GstURIHandlerInterface*>(iface);
    handler->get_type = [](GType) { return GST_URI_SRC; };
    handler->get_protocols = [](GType) -> const gchar* const* { return Protocols; };
    handler->get_uri = GetUri;
    handler->set_uri = SetUri;
}

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, lanternshell,
                  "Plays the app origin's media through the content server", InitPlugin, "1.0.0",
                  GST_LICENSE_UNKNOWN, "Lanternshell", "Lanternshell")
