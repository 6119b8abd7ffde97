// What is wrong with a manifest, key by key, by the very rules the host reads
// it with (ManifestKeys): for the pack tool, which stops at an error, and for
// the host's log, where a player's report shows an author's mistake.
#pragma once

#include <string>
#include <vector>

struct ManifestFinding {
    // An error stops the pack tool (the host refuses the manifest, or the
    // tool could not brand with it); a warning is a value the host ignores.
    bool error = false;
    std::string key;   // "settings.fullscreen-key"; "package.json" for the whole text
    std::string text;  // "unknown; did you mean settings.fullscreen-keys?"
};

// "key: text".
std::string DescribeFinding(const ManifestFinding& finding);

// Everything the keys of a manifest text break; nothing for a text that is
// not JSON.
std::vector<ManifestFinding> CheckManifestKeys(const std::string& text);

// CheckManifestKeys, or for a text that is not JSON, where and why it is not.
std::vector<ManifestFinding> CheckManifest(const std::string& text);
