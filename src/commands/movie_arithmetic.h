// The movie commands' arithmetic: the MCI player's volume law (the graph player's is the sound
// channels' VolumeToMillibels), the rectangle values combined by their operators, and the target
// rectangle in the window's client area, all in 64 bits.
#pragma once

#include <cstdint>

#include "platform/movie_player.h"

namespace korvel {

inline constexpr int32_t kMovieVolumeMax = 256;

// The MCI player's level: volume × 1000 / 256 (of 1000).
int32_t MciVolumeLevel(int32_t volume);
// A linear gain of level / 1000 in hundredths of a decibel: round(2000 × log10(level / 1000)),
// -10000 for 0 and below.
int32_t LinearLevelMillibels(int32_t level);

// A stored rectangle value combined with an operand by an assignment operator, computed in 64
// bits and clamped to the 32-bit range.
int32_t CombineMovieValue(uint8_t op, int32_t stored, int64_t operand);

struct MovieGeometry {
  int32_t x = 0, y = 0, width = 0, height = 0;     // the stored logical rectangle
  int32_t offset_x = 0, offset_y = 0;              // where the frame sits in the client area
  int32_t logical_width = 0, logical_height = 0;   // window 0's logical size
  int32_t display_width = 0, display_height = 0;   // its presentation size (0: the logical size)
  bool fit_to_screen = false;                      // the MCI player at scaling mode 2
  int32_t screen_width = 0, screen_height = 0;     // the client area, for the fit
};

// Offset added, sides scaled from the logical to the presentation size. Fitted to the screen, the
// logical screen is scaled into the client area keeping its aspect and centred, and the rectangle
// with it. Results clamped to the 32-bit range.
platform::MovieRect MovieTargetRect(const MovieGeometry& g);

}  // namespace korvel
