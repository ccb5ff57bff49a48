// Command 76: screen savers allowed, running while inactive, window 0's logical size, and the
// switches of the four engine timers.
#pragma once

#include <cstdint>

namespace korvel {

inline constexpr uint8_t kCommandScreenSettings = 76;
inline constexpr int32_t kMaxLogicalSide = 8192;

// Decodes and runs command 76: 0, or -1 after a failed decode or a size above 8192 (reported
// before anything changes).
int32_t RunScreenSettingsCommand();

}  // namespace korvel
