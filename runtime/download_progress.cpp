#include "runtime/download_progress.h"

std::optional<int> ProgressPosition(std::uint32_t progress, std::uint32_t progressMax) {
    if (progressMax == 0) return std::nullopt;
    const float position =
        (static_cast<float>(progress) * 100.0f) / static_cast<float>(progressMax);
    // Past 100 the conversion to int could overflow; the bar stops at 100.
    if (position >= 100.0f) return 100;
    return static_cast<int>(position);
}
