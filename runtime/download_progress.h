// The arithmetic of the installer's progress bar, kept apart from the window
// system so it is tested natively.
#pragma once

#include <cstdint>
#include <optional>

// The bar position for progress of progressMax bytes: (progress * 100) /
// progressMax in single precision, truncated, and held at 100 when a server
// sends more than it announced. Nothing when the total is unknown (0).
std::optional<int> ProgressPosition(std::uint32_t progress, std::uint32_t progressMax);
