#include "host/gtk/gtk_host.h"

#include <string>
#include <utility>

#include "host/page_scripts.h"

namespace {

// chrome.webview.postMessage for the app's pages. The page's own world gets
// the function; it hands the text to a script of an isolated world, injected
// into the top frame only, which alone can reach the host's message handlers.
// So frames of other sites can't post, and the page can't reach or fake the
// host's side of the channel. The page sees listener functions that do
// nothing, as the host never posts to the page; strings cross worlds as they
// are.
constexpr char BridgeWorldName[] = "lanternshell";

constexpr char PageWorldScript[] = R"js((() => {
    const send = (message) => {
        document.dispatchEvent(new CustomEvent('lanternshell-page-message', {detail: message}));
    };
    window.chrome = window.chrome || {};
    window.chrome.webview = {postMessage: send, addEventListener() {}, removeEventListener() {}};
})();)js";

constexpr char BridgeWorldScript[] = R"js((() => {
    const handlers = window.webkit.messageHandlers;
    document.addEventListener('lanternshell-page-message', (event) => {
        // Only strings are messages; anything else is dropped here already.
        if (typeof event.detail === 'string') handlers.lanternshellPageMessage.postMessage(event.detail);
    }, true);
    document.addEventListener('DOMContentLoaded', () => {
        handlers.lanternshellDocumentLoaded.postMessage('');
    }, {once: true});
})();)js";

void OnPageMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data) {
    JSCValue* value = result ? webkit_javascript_result_get_js_value(result) : nullptr;
    if (!value || !jsc_value_is_string(value)) return;
    auto& host = *static_cast<GtkHost*>(data);
    gchar* text = jsc_value_to_string(value);
    host.session->OnPageMessage(ViewUri(host.view), WideOrEmpty(text));
    g_free(text);
}

void OnDocumentLoaded(WebKitUserContentManager*, WebKitJavascriptResult*, gpointer data) {
    static_cast<GtkHost*>(data)->session->OnDocumentLoaded();
}

void AddScript(WebKitUserContentManager* manager, const char* source, const char* world) {
    WebKitUserScript* script =
        world
            ? webkit_user_script_new_for_world(source, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, world,
                                               nullptr, nullptr)
            : webkit_user_script_new(source, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                     WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(manager, script);
    webkit_user_script_unref(script);
}

}  // namespace

void InstallPageBridge(GtkHost& host, WebKitUserContentManager* content) {
    const std::pair<const char*, GCallback> handlers[] = {
        {"lanternshellPageMessage", G_CALLBACK(OnPageMessage)},
        {"lanternshellDocumentLoaded", G_CALLBACK(OnDocumentLoaded)},
    };
    for (const auto& [name, callback] : handlers) {
        webkit_user_content_manager_register_script_message_handler_in_world(content, name,
                                                                             BridgeWorldName);
        const std::string signal = std::string("script-message-received::") + name;
        g_signal_connect(content, signal.c_str(), callback, &host);
    }
    AddScript(content, PageWorldScript, nullptr);
    // The page's errors, posted as messages through the function just made.
    const std::wstring pageLog = PageLogScript(GtkAppOrigin, host.setup.settings.pageLog);
    if (!pageLog.empty()) AddScript(content, WideToUtf8(pageLog).c_str(), nullptr);
    // window.close() of the app's own pages posts {"type":"close"} the same
    // way: the engine lets a script close only a window that has shown a
    // single document, so an app on its second page could never end itself.
    // The host checks the sender again.
    AddScript(content, WideToUtf8(CloseScript(GtkAppOrigin)).c_str(), nullptr);
    AddScript(content, BridgeWorldScript, BridgeWorldName);
}
