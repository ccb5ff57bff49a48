// The engine's volume law: a 0..256 volume as the hundredths of a decibel that sound voices and
// movie players take.
#pragma once

#include <cstdint>

namespace korvel {

// 0 and below are silent (-10000), 256 and above are 0; between, trunc(4000 × log10(v / 256)).
int32_t VolumeToMillibels(int32_t volume);

}  // namespace korvel
