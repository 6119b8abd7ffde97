#include "host/gtk/gtk_host.h"

#include <string>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/json_lookup.h"

#include "host/page_scripts.h"

namespace {

// chrome.webview for the app's pages. The page's own world gets postMessage
// and the "message" listeners; they talk through document events to a script
// of an isolated world, injected into the top frame only, which alone can
// reach the host's message handlers and which the host's replies are run in.
// So frames of other sites can't post, and the page can't reach or fake the
// host's side of the channel. Strings cross worlds as they are: replies are
// parsed in the page's world, where listeners get them as event.data, as
// the Windows control gives them.
constexpr char BridgeWorldName[] = "lanternshell";

constexpr char PageWorldScript[] = R"js((() => {
    const send = (message) => {
        document.dispatchEvent(new CustomEvent('lanternshell-page-message', {detail: message}));
    };
    const target = new EventTarget();
    const parse = JSON.parse;
    document.addEventListener('lanternshell-host-message', (event) => {
        if (typeof event.detail === 'string') target.dispatchEvent(new MessageEvent('message', {data: parse(event.detail)}));
    }, true);
    window.chrome = window.chrome || {};
    window.chrome.webview = {
        postMessage: send,
        addEventListener: target.addEventListener.bind(target),
        removeEventListener: target.removeEventListener.bind(target),
    };
})();)js";

// The message carries the posting document's own address: while the page
// unloads, the view already names the next one.
constexpr char BridgeWorldScript[] = R"js((() => {
    const handlers = window.webkit.messageHandlers;
    document.addEventListener('lanternshell-page-message', (event) => {
        // Only strings are messages; anything else is dropped here already.
        if (typeof event.detail === 'string')
            handlers.lanternshellPageMessage.postMessage({source: location.href, text: event.detail});
    }, true);
    document.addEventListener('DOMContentLoaded', () => {
        handlers.lanternshellDocumentLoaded.postMessage('');
    }, {once: true});
})();)js";

std::wstring StringProperty(JSCValue* object, const char* name) {
    JSCValue* value = jsc_value_object_get_property(object, name);
    gchar* text = jsc_value_is_string(value) ? jsc_value_to_string(value) : nullptr;
    std::wstring wide = WideOrEmpty(text);
    g_free(text);
    g_object_unref(value);
    return wide;
}

void OnPageMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data) {
    JSCValue* value = result ? webkit_javascript_result_get_js_value(result) : nullptr;
    if (!value || !jsc_value_is_object(value)) return;
    static_cast<GtkHost*>(data)->session->OnPageMessage(StringProperty(value, "source"),
                                                        StringProperty(value, "text"));
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
    if (host.setup.pageServices)
        AddScript(content,
                  WideToUtf8(PageServicesScript(GtkAppOrigin, *host.setup.pageServices)).c_str(),
                  nullptr);
    AddScript(content, BridgeWorldScript, BridgeWorldName);
}

void PostToPage(GtkHost& host, const std::string& json) {
    if (!host.view) return;
    // The text as a string literal; JSON's own escapes are the script's.
    const std::string script =
        "document.dispatchEvent(new CustomEvent('lanternshell-host-message', {detail: " +
        JsonText(json) + "}))";
    webkit_web_view_evaluate_javascript(host.view, script.c_str(),
                                        static_cast<gssize>(script.size()), BridgeWorldName,
                                        nullptr, nullptr, nullptr, nullptr);
}
