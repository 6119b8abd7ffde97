// lanternshell with a result channel for the end-to-end tests, which the
// shipped executable does not have: a script message handler "lanternshellTest"
// in the page's own world whose texts are printed as "page: <text>" lines,
// and one "request: <status> <range or -> <uri>" line per answered request.
// Everything else is the shipped startup and host.
#include <cstdio>

#include "app/gtk/startup.h"
#include "platform/text.h"

namespace {

void PrintLine(const char* kind, const std::string& text) {
    std::printf("%s: %s\n", kind, text.c_str());
    std::fflush(stdout);
}

void OnTestMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer) {
    JSCValue* value = webkit_javascript_result_get_js_value(result);
    gchar* text = jsc_value_to_string(value);
    PrintLine("page", text ? text : "");
    g_free(text);
}

void AddTestChannel(GtkHostSetup& setup) {
    setup.requestObserver = [](std::wstring_view uri, const std::optional<std::wstring>& range,
                               const Answer& answer) {
        PrintLine("request", std::to_string(answer.status) + " " +
                                 (range ? WideToUtf8(*range) : std::string("-")) + " " +
                                 WideToUtf8(std::wstring(uri)));
    };
    setup.extend = [](WebKitWebView* view, WebKitUserContentManager* content) {
        webkit_user_content_manager_register_script_message_handler(content, "lanternshellTest");
        g_signal_connect(content, "script-message-received::lanternshellTest",
                         G_CALLBACK(OnTestMessage), nullptr);
        // Page errors show up in the test's output.
        webkit_settings_set_enable_write_console_messages_to_stdout(
            webkit_web_view_get_settings(view), TRUE);
    };
}

}  // namespace

int main() {
    return RunGtkApp(AddTestChannel);
}
