// DPI arithmetic, kept apart from the window system so it is tested natively.
#pragma once

#include <algorithm>
#include <climits>
#include <cmath>

// logicalPixels * scale in single precision, rounded up: 101 at 1.25 is 127.
// A product past the int range saturates and NaN gives 0, so the conversion
// is always defined, whatever the manifest asks for.
inline int ScaleLogicalPixels(int logicalPixels, float scale) {
    const float scaled = std::ceil(static_cast<float>(logicalPixels) * scale);
    if (std::isnan(scaled)) return 0;
    if (scaled >= 2147483648.0f) return INT_MAX;
    if (scaled <= -2147483648.0f) return INT_MIN;
    return static_cast<int>(scaled);
}

// The client width and height the main window is given: at least one pixel,
// so the page always has somewhere to draw, and at most 16384, past any
// display and well inside what the window system and the browser control
// take for one surface.
constexpr int MinClientSize = 1;
constexpr int MaxClientSize = 16384;

inline int ClampClientSize(int scaledPixels) {
    return std::clamp(scaledPixels, MinClientSize, MaxClientSize);
}
