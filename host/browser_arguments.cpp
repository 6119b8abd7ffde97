#include "host/browser_arguments.h"

std::optional<GpuPreference> GpuPreferenceNamed(std::wstring_view name) {
    if (name == L"high-performance") return GpuPreference::HighPerformance;
    if (name == L"default") return GpuPreference::SystemDefault;
    return std::nullopt;
}

std::optional<BackgroundMode> BackgroundModeNamed(std::wstring_view name) {
    if (name == L"throttle") return BackgroundMode::Throttle;
    if (name == L"run") return BackgroundMode::Run;
    return std::nullopt;
}

namespace {

// Whether text leaves a quote open, read as the browser splits its command
// line: a quote after an odd number of backslashes is a character.
bool LeavesQuoteOpen(const std::wstring& text) {
    bool open = false;
    std::size_t backslashes = 0;
    for (const wchar_t unit : text) {
        if (unit == L'"' && backslashes % 2 == 0) open = !open;
        backslashes = unit == L'\\' ? backslashes + 1 : 0;
    }
    return open;
}

}  // namespace

std::wstring BrowserArguments(const BrowserArgumentSettings& settings) {
    std::wstring arguments = settings.manifestArguments;
    // A quote the manifest left open would take our switches into its last
    // argument.
    if (LeavesQuoteOpen(arguments)) arguments += L'"';
    const auto add = [&arguments](const wchar_t* argument) {
        if (!arguments.empty()) arguments += L' ';
        arguments += argument;
    };
    if (settings.autoplay) add(L"--autoplay-policy=no-user-gesture-required");
    if (settings.gpu == GpuPreference::HighPerformance) add(L"--force_high_performance_gpu");
    if (settings.background == BackgroundMode::Run) {
        // Timers of a hidden page, a page's process left at its priority,
        // and a window that is covered counted as shown.
        add(L"--disable-background-timer-throttling");
        add(L"--disable-renderer-backgrounding");
        add(L"--disable-backgrounding-occluded-windows");
    }
    return arguments;
}
