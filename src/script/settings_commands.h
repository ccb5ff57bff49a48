// Engine-setting commands: the frame rate and frame skipping (23), input polling and the cursor
// switch (35).
#pragma once

#include <cstdint>

namespace korvel {

inline constexpr uint8_t kCommandFrameRate = 23;
inline constexpr uint8_t kCommandCursorSettings = 35;

inline constexpr int32_t kMinFrameRate = 1;
inline constexpr int32_t kMaxFrameRate = 1000;

// Parameter 0: frames per second (1..1000, else 101000), restarting the pacer's per-second counts;
// parameter 1: frame skipping on (non-zero) or off.
int32_t RunFrameRateCommand();
// Parameters 0 and 1 switch the keyboard and joystick polling; parameter 2 shows or hides the
// cursor through its requests.
int32_t RunCursorSettingsCommand();

}  // namespace korvel
