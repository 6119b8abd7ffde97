// The browser's command line on Windows: the manifest's own arguments, then
// the switches that its settings stand for, so that ours win where both name
// the same switch.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The manifest's settings.gpu.
enum class GpuPreference {
    HighPerformance,  // the strong GPU of a laptop with two
    SystemDefault,    // whichever the system picks
};

// The manifest's settings.background.
enum class BackgroundMode {
    Throttle,  // the engine's own: timers slow down while the window is hidden
    Run,       // timers and sound keep their pace minimised, covered or inactive
};

// "high-performance" or "default"; nothing for any other text.
std::optional<GpuPreference> GpuPreferenceNamed(std::wstring_view name);
// "throttle" or "run"; nothing for any other text.
std::optional<BackgroundMode> BackgroundModeNamed(std::wstring_view name);

struct BrowserArgumentSettings {
    std::wstring manifestArguments;  // chromium-args, as written
    bool autoplay = false;
    GpuPreference gpu = GpuPreference::HighPerformance;
    BackgroundMode background = BackgroundMode::Throttle;
};

// The whole argument text, single spaces between the parts; empty when
// there is nothing to pass. A quote the manifest's text leaves open is
// closed after it.
std::wstring BrowserArguments(const BrowserArgumentSettings& settings);
