// The 0..256 volume to millibels law shared by sound channels and movies.
#include "core/volume_millibels.h"

#include <algorithm>
#include <cmath>

#include "platform/sound_device.h"

namespace korvel {

int32_t VolumeToMillibels(int32_t volume) {
  if (volume <= 0) return platform::kVolumeSilent;
  const double mb = std::trunc(4000.0 * std::log10(static_cast<double>(volume) / 256.0));
  return static_cast<int32_t>(std::clamp(mb, double{platform::kVolumeSilent}, 0.0));
}

}  // namespace korvel
