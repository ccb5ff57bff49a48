// The RIFF/WAV walker: finds the format and data chunks inside the bytes present, and hands
// compressed data to the converters.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/byte_reader.h"
#include "sound/sound_decoders.h"
#include "sound/wav_converters.h"

namespace korvel {
namespace {

struct Chunk {
  bool found = false;
  uint64_t offset = 0;  // of the body
  uint64_t size = 0;    // clamped to the bytes present
};


}  // namespace

std::vector<uint8_t> MakeSilentWav() {
  std::vector<uint8_t> wav(4044, 0x80);
  const uint8_t header[44] = {'R', 'I', 'F', 'F', 0xC4, 0x0F, 0, 0, 'W', 'A', 'V', 'E',
                              'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 1, 0,
                              0x40, 0x1F, 0, 0, 0x40, 0x1F, 0, 0, 1, 0, 8, 0,
                              'd', 'a', 't', 'a', 0xA0, 0x0F, 0, 0};
  std::memcpy(wav.data(), header, sizeof header);
  return wav;
}

int64_t PcmLengthMs(uint64_t bytes, uint32_t block_align, uint32_t rate) {
  const double per_second = static_cast<double>(block_align) * static_cast<double>(rate);
  if (per_second == 0.0) return 0;
  return static_cast<int64_t>(std::trunc(static_cast<double>(bytes) / per_second * 1000.0));
}

int32_t OpenWavData(const uint8_t* image, size_t size, WavData* out) {
  *out = WavData{};
  if (image == nullptr || size < 12 || std::memcmp(image, "RIFF", 4) != 0) return kWavNotRiff;
  if (std::memcmp(image + 8, "WAVE", 4) != 0) return kWavNotWave;
  // The RIFF size is trusted only as far as the bytes present reach.
  const uint64_t end = std::min<uint64_t>(8 + static_cast<uint64_t>(LoadU32(image + 4)), size);
  Chunk fmt, data;
  uint64_t pos = 12;
  while (pos + 8 <= end) {
    const uint64_t declared = LoadU32(image + pos + 4);
    const uint64_t body = pos + 8;
    Chunk chunk{true, body, std::min(declared, end - body)};
    if (!fmt.found && std::memcmp(image + pos, "fmt ", 4) == 0) fmt = chunk;
    if (!data.found && std::memcmp(image + pos, "data", 4) == 0) data = chunk;
    if (fmt.found && data.found) break;
    pos = body + declared + (declared & 1);
  }
  if (!fmt.found) return kWavNoFormat;
  if (fmt.size < 14) return kWavShortFormat;

  const uint8_t* f = image + fmt.offset;
  platform::PcmFormat& src = out->source;
  src.tag = LoadU16(f);
  src.channels = LoadU16(f + 2);
  src.rate = LoadU32(f + 4);
  src.bytes_per_second = LoadU32(f + 8);
  src.block_align = LoadU16(f + 12);
  src.bits = fmt.size >= 16 ? LoadU16(f + 14)
                            : static_cast<uint16_t>(src.channels == 0 ? 0 : src.block_align / src.channels * 8);
  const uint16_t extra = fmt.size >= 18 ? LoadU16(f + 16) : 0;
  const uint8_t* ext = f + 18;
  const uint64_t ext_size = fmt.size >= 18 ? std::min<uint64_t>(extra, fmt.size - 18) : 0;

  if (!data.found) return kWavNoData;
  uint64_t data_size = data.size;
  if (src.block_align != 0) data_size -= data_size % src.block_align;
  if (data_size == 0) return kWavNoData;

  uint16_t tag = src.tag;
  if (tag == kWavTagExtensible) {
    // The sub-format GUID's first two bytes are the format tag it stands for.
    if (ext_size < 22) return kWavUnsupported;
    tag = LoadU16(ext + 6);
  }
  const uint8_t* samples = image + data.offset;
  if (tag == kWavTagPcm && (src.bits <= 16 || src.tag == kWavTagPcm)) {
    out->format = src;
    out->format.tag = kWavTagPcm;
    out->stream_format = kStreamPcmWav;
    out->data_offset = data.offset;
    out->data_size = data_size;
  } else {
    WavSource in{src, tag, ext, ext_size, samples, data_size};
    const int32_t r = ConvertWavToPcm(in, &out->converted, &out->format);
    if (r != 0) return r;
    if (out->converted.empty()) return kWavNoData;
    out->stream_format = kStreamConvertedWav;
    out->data_offset = 0;
    out->data_size = out->converted.size();
  }
  out->length_ms = PcmLengthMs(out->data_size, out->format.block_align, out->format.rate);
  return 0;
}

}  // namespace korvel
