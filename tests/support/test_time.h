// Every deadline of the tests, on Windows and Linux alike: how long a step
// may take on a quiet machine, times one scale, so that a busy machine only
// makes a failing test slower to fail. The scale is the whole number in
// LANTERNSHELL_TEST_TIME_SCALE (see scripts/test), 3 when unset: enough with
// both cores taken by other programs.
#pragma once

#include <chrono>
#include <cstdlib>

inline long TestTimeScale() {
    static const long scale = [] {
        const char* text = std::getenv("LANTERNSHELL_TEST_TIME_SCALE");
        const long value = text ? std::strtol(text, nullptr, 10) : 0;
        return value > 0 ? value : 3L;
    }();
    return scale;
}

inline std::chrono::milliseconds Scaled(std::chrono::milliseconds quiet) {
    return quiet * TestTimeScale();
}

inline unsigned long ScaledMs(unsigned long quietMs) {
    return quietMs * static_cast<unsigned long>(TestTimeScale());
}
