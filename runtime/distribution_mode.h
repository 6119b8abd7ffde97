// Where the browser runtime comes from, as the manifest chooses.
#pragma once

#include <cstdint>

// Evergreen: the machine's installed runtime, installed first when missing.
// Fixed: the copy shipped in the "webview2" folder, never installed.
enum class DistributionMode : std::int32_t { Evergreen = 0, Fixed = 1 };
