// Fuzz target: the Ogg Vorbis probe and decoder over an arbitrary image, with seeks and reads.
// Run with LSAN_OPTIONS=suppressions=tests/lsan.supp: libvorbisfile leaks on some damaged files.
#include <cstddef>
#include <cstdint>

#include "sound/sound_decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  korvel::OggInfo info;
  if (korvel::ProbeOggData(data, size, &info) != 0) return 0;
  korvel::OggDecoder decoder;
  if (decoder.Open(data, size) != 0) return 0;
  uint8_t buffer[4096];
  for (int i = 0; i < 64 && decoder.Read(buffer, sizeof buffer) > 0; ++i) {
  }
  decoder.PcmSeek(1);
  decoder.TimeSeek(info.length_ms / 2000.0);
  decoder.Read(buffer, sizeof buffer);
  return 0;
}
