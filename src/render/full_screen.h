// Full screen and back for window 0: the mode switches and the frames of the border countdown
// that follows a return to the windowed state.
#pragma once

#include <cstdint>

namespace korvel {

inline constexpr uint32_t kBorderCountdownFrames = 20;

// Full screen and back for window 0 (the flags are the caller's, as the display-state command sets
// them). Full screen: 0, or -1 when the mode change failed and the window went back.
int32_t SwitchToFullScreen();
int32_t SwitchToWindowed();

}  // namespace korvel
