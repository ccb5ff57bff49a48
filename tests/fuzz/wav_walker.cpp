// Fuzz target: the WAV walker and its converters on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "sound/sound_decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  korvel::WavData wav;
  if (korvel::OpenWavData(data, size, &wav) == 0 && wav.stream_format == korvel::kStreamPcmWav) {
    // The data range must lie inside the bytes given.
    if (wav.data_offset + wav.data_size > size) __builtin_trap();
  }
  return 0;
}
