// Converters from compressed or wide WAV data to 16-bit integer PCM: MS ADPCM, IMA ADPCM, A-law,
// µ-law, IEEE float and 24/32-bit integer.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/sound_device.h"

namespace korvel {

// Format tags.
inline constexpr uint16_t kWavTagPcm = 1;
inline constexpr uint16_t kWavTagMsAdpcm = 2;
inline constexpr uint16_t kWavTagFloat = 3;
inline constexpr uint16_t kWavTagALaw = 6;
inline constexpr uint16_t kWavTagMuLaw = 7;
inline constexpr uint16_t kWavTagImaAdpcm = 0x11;
inline constexpr uint16_t kWavTagExtensible = 0xFFFE;

struct WavSource {
  platform::PcmFormat format;  // the format chunk
  uint16_t tag;                // the format tag (an extensible file's sub-format)
  const uint8_t* extra;        // bytes after the format chunk's size field
  uint64_t extra_size;
  const uint8_t* data;         // the data chunk, whole blocks
  uint64_t data_size;
};

// Converts to 16-bit PCM of the source's channels and rate: 0, or kWavUnsupported for a tag or
// layout these converters do not handle.
int32_t ConvertWavToPcm(const WavSource& source, std::vector<uint8_t>* pcm,
                        platform::PcmFormat* format);

// G.711 expansions of one byte.
int16_t ALawToLinear(uint8_t a);
int16_t MuLawToLinear(uint8_t u);

}  // namespace korvel
