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

struct SavedVariable {
    const char* name;
    std::optional<std::string> value;  // nothing: it was unset
};

// The user's values, read once before any thread starts and only read after.
std::vector<SavedVariable> userValues;

// Sets the variable for the engine's processes, keeping the user's value.
void Export(const char* name, const std::string& value) {
    const char* old = std::getenv(name);
    userValues.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
    setenv(name, value.c_str(), 1);
}

// Puts value in front of (or, with append, after) the user's list.
void ExtendList(const char* name, const std::string& value, char separator, bool append) {
    const char* old = std::getenv(name);
    if (!old || !*old) return Export(name, value);
    Export(name, append ? old + std::string(1, separator) + value : value + separator + old);
}

}  // namespace

void ExportMediaEnvironment(const std::wstring& exeFolder, const std::wstring& contentFolder) {
    // GStreamer reads the versioned name instead of the plain one when the
    // user has set it.
    const char* pluginPath =
        std::getenv("GST_PLUGIN_PATH_1_0") ? "GST_PLUGIN_PATH_1_0" : "GST_PLUGIN_PATH";
    ExtendList(pluginPath, ToNativePath(exeFolder + MediaPluginFolderName), ':', false);
    ExtendList("WEBKIT_GST_ALLOWED_URI_PROTOCOLS", GtkAppScheme, ',', true);
    Export(MediaRootVariable, ToNativePath(contentFolder));
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
