// Our own mixer: voices (one-second PCM rings) resampled by a fixed-point phase with linear
// interpolation, scaled by their volume and pan gains and summed into 16-bit stereo.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/sound_device.h"

namespace korvel::platform {

struct MixVoice {
  PcmFormat format;
  std::vector<uint8_t> ring;  // one second in the voice's format
  uint32_t frames = 0;        // ring.size() / block align
  uint64_t phase = 0;         // 32.32 fixed point: frame index and fraction
  uint64_t step = 0;          // phase advance per output frame: (hz << 32) / kMixRate
  uint32_t hz = 0;
  int32_t volume_mb = 0;
  int32_t pan_mb = 0;
  int32_t gain_left = 65536;  // Q16
  int32_t gain_right = 65536;
  bool playing = false;
  bool looping = false;
};

// Gain in Q16 of a level in millibels: round(10^(mB / 2000) × 65536), 0 at or below -10000.
int32_t MillibelGainQ16(int32_t millibels);
// Recomputes the voice's left and right gains from its volume and pan.
void UpdateVoiceGains(MixVoice* voice);
// Sets the voice's frequency and phase step.
void SetMixVoiceFrequency(MixVoice* voice, uint32_t hz);
// Makes a stopped voice at the format's own rate, full volume, centre; false for a format voices
// do not accept.
bool InitMixVoice(MixVoice* voice, const PcmFormat& format);
// True for integer PCM of 8/16/24/32 bits, 1 or 2 channels, rate > 0, block align = channels × bytes.
bool VoiceFormatAccepted(const PcmFormat& format);

// Mixes `frames` stereo frames of every playing voice into `out` (interleaved left, right),
// advancing their phases; a voice that does not loop stops at its ring's end.
void MixVoices(MixVoice* const* voices, size_t count, int16_t* out, uint32_t frames);

}  // namespace korvel::platform
