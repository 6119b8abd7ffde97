// The host's side of app-origin media: the environment the engine's web
// process inherits, and the user's own for programs the page starts.
#include "host/gtk/media_plugin.h"

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "host/gtk/app_origin.h"
#include "platform/posix/native_path.h"

namespace {

constexpr char AllowedProtocolsVariable[] = "WEBKIT_GST_ALLOWED_URI_PROTOCOLS";

struct SavedVariable {
    const char* name;
    std::optional<std::string> value;  // nothing: it was unset
};

// The user's values, read once before any thread starts and only read after.
std::vector<SavedVariable> userValues;

std::optional<std::string> ReadVariable(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

// Puts value in front of (or, with append, after) the user's list.
void ExtendList(const char* name, const std::string& value, char separator, bool append) {
    const std::optional<std::string> old = ReadVariable(name);
    userValues.push_back({name, old});
    std::string list = value;
    if (old && !old->empty()) list = append ? *old + separator + value : value + separator + *old;
    setenv(name, list.c_str(), 1);
}

}  // namespace

void ExportMediaEnvironment(const std::wstring& exeFolder, const std::wstring& contentFolder) {
    // GStreamer reads the versioned name instead of the plain one when the
    // user has set it.
    const char* pluginPath =
        std::getenv("GST_PLUGIN_PATH_1_0") ? "GST_PLUGIN_PATH_1_0" : "GST_PLUGIN_PATH";
    ExtendList(pluginPath, ToNativePath(exeFolder + MediaPluginFolderName), ':', false);
    ExtendList(AllowedProtocolsVariable, GtkAppScheme, ',', true);
    userValues.push_back({MediaRootVariable, ReadVariable(MediaRootVariable)});
    setenv(MediaRootVariable, ToNativePath(contentFolder).c_str(), 1);
}

GAppLaunchContext* CreateUserLaunchContext() {
    GAppLaunchContext* context = g_app_launch_context_new();
    for (const SavedVariable& variable : userValues) {
        if (variable.value)
            g_app_launch_context_setenv(context, variable.name, variable.value->c_str());
        else
            g_app_launch_context_unsetenv(context, variable.name);
    }
    return context;
}
