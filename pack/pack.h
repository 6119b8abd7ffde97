// The pack tool: checks an app folder's manifest and files, and assembles a
// folder ready to ship, with a copy of the host's executable branded with
// the game's name, icon and version.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/manifest.h"
#include "app/manifest_check.h"
#include "pack/branding.h"

struct PackOptions {
    std::filesystem::path app;        // the app folder: package.json, www...
    std::filesystem::path out;        // a folder that is new or empty
    std::filesystem::path exe;        // the host's Lanternshell.exe
    std::filesystem::path linuxHost;  // a folder with the Linux host; empty for none
    bool checkOnly = false;
};

// The packed executable's file name: pack.executable (".exe" added when it
// has none), else the window title made a file name, else the name.
std::wstring PackedExecutableName(const AppConfig& config);

// What the tool finds wrong in an app folder beyond the keys: the start page
// and the icon as files (case-sensitively, as the Linux host reads them),
// the icon's format, the runtime a fixed distribution needs. The icon's
// images go to icon when it is usable.
std::vector<ManifestFinding> CheckAppFolder(const std::filesystem::path& app,
                                            const AppConfig& config, std::vector<IconImage>& icon);

// Runs the tool; each line it has to say goes to say. The exit code: 0 when
// done, 1 after an error, when nothing is written.
int RunPack(const PackOptions& options, const std::function<void(const std::string&)>& say);
