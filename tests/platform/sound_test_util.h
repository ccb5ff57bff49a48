// Helpers for the sound device and mixer tests.
#pragma once

#include <cstdint>

#include "platform/sound_device.h"

namespace korvel::platform::test {

// Integer PCM with the block align and byte rate that follow from the rest.
inline PcmFormat Pcm(uint16_t channels, uint32_t rate, uint16_t bits) {
  PcmFormat f;
  f.channels = channels;
  f.rate = rate;
  f.bits = bits;
  f.block_align = static_cast<uint16_t>(channels * bits / 8);
  f.bytes_per_second = rate * f.block_align;
  return f;
}

}  // namespace korvel::platform::test
