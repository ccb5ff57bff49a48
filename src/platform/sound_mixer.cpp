// Our own mixer: fixed-point resampling with linear interpolation, millibel gains, 16-bit stereo.
#include "platform/sound_mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace korvel::platform {
namespace {

// Samples are read at 24-bit scale so that 24- and 32-bit voices keep their precision until the
// final rounding.
template <int kBytes>
inline int32_t ReadSample(const uint8_t* p) {
  if constexpr (kBytes == 1) {
    return (static_cast<int32_t>(p[0]) - 128) * 65536;
  } else if constexpr (kBytes == 2) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8))) * 256;
  } else if constexpr (kBytes == 3) {
    const uint32_t u = (static_cast<uint32_t>(p[0]) << 8) | (static_cast<uint32_t>(p[1]) << 16) |
                       (static_cast<uint32_t>(p[2]) << 24);
    return static_cast<int32_t>(u) >> 8;
  } else {
    const uint32_t u = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                       (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
    return static_cast<int32_t>(u) >> 8;
  }
}

inline int32_t Lerp(int32_t a, int32_t b, uint32_t fraction) {
  return a + static_cast<int32_t>((static_cast<int64_t>(b - a) * fraction) >> 32);
}

// Adds one voice into the 64-bit accumulators (left, right interleaved; Q40 of 16-bit scale:
// samples at 24-bit scale times Q16 gains).
template <int kBytes, int kChannels>
void MixOne(MixVoice* v, int64_t* acc, uint32_t frames) {
  const uint8_t* ring = v->ring.data();
  const uint32_t block = v->format.block_align;
  const uint64_t end = static_cast<uint64_t>(v->frames) << 32;
  const int64_t gl = v->gain_left, gr = v->gain_right;
  uint64_t phase = v->phase;
  for (uint32_t i = 0; i < frames; ++i) {
    const uint32_t f = static_cast<uint32_t>(phase >> 32);
    const uint32_t fraction = static_cast<uint32_t>(phase);
    uint32_t next = f + 1;
    if (next == v->frames) next = v->looping ? 0 : f;
    const uint8_t* a = ring + static_cast<size_t>(f) * block;
    int32_t left = ReadSample<kBytes>(a);
    int32_t right = kChannels == 2 ? ReadSample<kBytes>(a + kBytes) : left;
    if (fraction != 0) {
      const uint8_t* b = ring + static_cast<size_t>(next) * block;
      left = Lerp(left, ReadSample<kBytes>(b), fraction);
      right = kChannels == 2 ? Lerp(right, ReadSample<kBytes>(b + kBytes), fraction) : left;
    }
    acc[2 * i] += left * gl;
    acc[2 * i + 1] += right * gr;
    phase += v->step;
    if (phase >= end) {
      if (!v->looping) {
        v->playing = false;
        phase = 0;
        break;
      }
      phase -= end;
      while (phase >= end) phase -= end;
    }
  }
  v->phase = phase;
}

template <int kBytes>
void MixByChannels(MixVoice* v, int64_t* acc, uint32_t frames) {
  if (v->format.channels == 2) {
    MixOne<kBytes, 2>(v, acc, frames);
  } else {
    MixOne<kBytes, 1>(v, acc, frames);
  }
}

}  // namespace

double MillibelGain(int32_t millibels) {
  if (millibels <= kVolumeSilent) return 0.0;
  if (millibels == 0) return 1.0;
  return std::pow(10.0, millibels / 2000.0);
}

int32_t MillibelGainQ16(int32_t millibels) {
  return static_cast<int32_t>(std::lround(MillibelGain(millibels) * 65536.0));
}

void UpdateVoiceGains(MixVoice* voice) {
  // Pan turns down the far side only: negative pan the right, positive pan the left.
  const int32_t left = voice->pan_mb > 0 ? voice->volume_mb - voice->pan_mb : voice->volume_mb;
  const int32_t right = voice->pan_mb < 0 ? voice->volume_mb + voice->pan_mb : voice->volume_mb;
  voice->gain_left = MillibelGainQ16(std::max(left, kVolumeSilent));
  voice->gain_right = MillibelGainQ16(std::max(right, kVolumeSilent));
}

void SetMixVoiceFrequency(MixVoice* voice, uint32_t hz) {
  voice->hz = hz;
  voice->step = (static_cast<uint64_t>(hz) << 32) / kMixRate;
}

bool VoiceFormatAccepted(const PcmFormat& f) {
  if (f.tag != 1 || f.rate < kMinVoiceFrequency || f.rate > kMaxVoiceFrequency) return false;
  if (f.channels != 1 && f.channels != 2) return false;
  if (f.bits != 8 && f.bits != 16 && f.bits != 24 && f.bits != 32) return false;
  return f.block_align == f.channels * (f.bits / 8);
}

bool InitMixVoice(MixVoice* voice, const PcmFormat& format) {
  if (!VoiceFormatAccepted(format)) return false;
  *voice = MixVoice{};
  voice->format = format;
  voice->frames = format.rate;
  voice->ring.assign(static_cast<size_t>(format.rate) * format.block_align,
                     format.bits == 8 ? 0x80 : 0x00);
  SetMixVoiceFrequency(voice, format.rate);
  UpdateVoiceGains(voice);
  return true;
}

void MixVoices(MixVoice* const* voices, size_t count, int16_t* out, uint32_t frames) {
  constexpr uint32_t kChunk = 1024;
  int64_t acc[2 * kChunk];
  for (uint32_t done = 0; done < frames; done += kChunk) {
    const uint32_t n = std::min(kChunk, frames - done);
    std::fill(acc, acc + 2 * n, 0);
    for (size_t i = 0; i < count; ++i) {
      MixVoice* v = voices[i];
      if (!v->playing || v->frames == 0) continue;
      if (v->gain_left == 0 && v->gain_right == 0) {
        // Silent: the cursor still moves.
        const uint64_t end = static_cast<uint64_t>(v->frames) << 32;
        const uint64_t phase = v->phase + v->step * n;
        if (phase >= end && !v->looping) {
          v->playing = false;
          v->phase = 0;
        } else {
          v->phase = phase % end;
        }
        continue;
      }
      switch (v->format.bits) {
        case 8: MixByChannels<1>(v, acc, n); break;
        case 16: MixByChannels<2>(v, acc, n); break;
        case 24: MixByChannels<3>(v, acc, n); break;
        default: MixByChannels<4>(v, acc, n); break;
      }
    }
    int16_t* o = out + 2 * static_cast<size_t>(done);
    for (uint32_t i = 0; i < 2 * n; ++i) {
      const int64_t s = (acc[i] + (int64_t{1} << 23)) >> 24;
      o[i] = static_cast<int16_t>(std::clamp<int64_t>(s, -32768, 32767));
    }
  }
}

}  // namespace korvel::platform
