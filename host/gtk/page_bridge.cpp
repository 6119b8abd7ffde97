#include "host/gtk/page_bridge.h"

#include <string>

#include "host/gtk/app_origin.h"
#include "host/page_scripts.h"
#include "platform/text.h"

namespace {

// The page sees chrome.webview.postMessage, and listener functions that do
// nothing, as the host never posts to the page. The event carries the text
// to the isolated world; strings cross worlds as they are.
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

void InstallPageBridge(WebKitUserContentManager* manager) {
    webkit_user_content_manager_register_script_message_handler_in_world(
        manager, PageMessageHandlerName, BridgeWorldName);
    webkit_user_content_manager_register_script_message_handler_in_world(
        manager, DocumentLoadedHandlerName, BridgeWorldName);
    AddScript(manager, PageWorldScript, nullptr);
    // window.close() of the app's own pages, as on Windows; the host checks
    // the sender again.
    AddScript(manager, WideToUtf8(CloseScript(GtkAppOrigin)).c_str(), nullptr);
    AddScript(manager, BridgeWorldScript, BridgeWorldName);
}

bool ReadMessageText(WebKitJavascriptResult* result, std::string& text) {
    JSCValue* value = result ? webkit_javascript_result_get_js_value(result) : nullptr;
    if (!value || !jsc_value_is_string(value)) return false;
    gchar* utf8 = jsc_value_to_string(value);
    text = utf8 ? utf8 : "";
    g_free(utf8);
    return true;
}
