// DPI arithmetic, kept apart from the window system so it is tested natively.
#pragma once

#include <cmath>

// logicalPixels * scale in single precision, rounded up: 101 at 1.25 is 127.
inline int ScaleLogicalPixels(int logicalPixels, float scale) {
    return static_cast<int>(std::ceil(static_cast<float>(logicalPixels) * scale));
}
