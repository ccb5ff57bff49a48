// Volume laws and rectangle arithmetic of the movie commands.
#include "commands/movie_arithmetic.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/sound_device.h"
#include "script/value_ops.h"

namespace korvel {

namespace {

int32_t Clamp32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// a × num / den in 64 bits (den > 0; the operands are 32-bit values, so the product fits).
int64_t Scale(int64_t a, int64_t num, int64_t den) { return den > 0 ? a * num / den : a; }

}  // namespace

int32_t MciVolumeLevel(int32_t volume) { return static_cast<int32_t>(int64_t{volume} * 1000 / 256); }

int32_t LinearLevelMillibels(int32_t level) {
  if (level <= 0) return platform::kVolumeSilent;
  const double mb = std::round(2000.0 * std::log10(static_cast<double>(level) / 1000.0));
  return static_cast<int32_t>(std::clamp(mb, -10000.0, 0.0));
}

int32_t CombineMovieValue(uint8_t op, int32_t stored, int64_t operand) {
  return Clamp32(ApplyAssignOperator(op, stored, operand));
}

platform::MovieRect MovieTargetRect(const MovieGeometry& g) {
  const int64_t lw = g.logical_width, lh = g.logical_height;
  int64_t left = 0, top = 0, width = 0, height = 0;
  if (g.fit_to_screen && lw > 0 && lh > 0 && g.screen_width > 0 && g.screen_height > 0) {
    // The logical screen fitted into the client area: fw × fh, centred.
    int64_t fw = g.screen_width, fh = g.screen_height;
    if (int64_t{g.screen_width} * lh <= int64_t{g.screen_height} * lw) {
      fh = Scale(lh, g.screen_width, lw);
    } else {
      fw = Scale(lw, g.screen_height, lh);
    }
    left = (g.screen_width - fw) / 2 + Scale(g.x, fw, lw);
    top = (g.screen_height - fh) / 2 + Scale(g.y, fh, lh);
    width = Scale(g.width, fw, lw);
    height = Scale(g.height, fh, lh);
  } else {
    const int64_t dw = g.display_width > 0 ? g.display_width : lw;
    const int64_t dh = g.display_height > 0 ? g.display_height : lh;
    left = int64_t{g.offset_x} + g.x;
    top = int64_t{g.offset_y} + g.y;
    width = lw != 0 ? Scale(g.width, dw, lw) : g.width;
    height = lh != 0 ? Scale(g.height, dh, lh) : g.height;
  }
  return {Clamp32(left), Clamp32(top), Clamp32(width), Clamp32(height)};
}

}  // namespace korvel
