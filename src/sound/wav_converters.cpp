// WAV converters to 16-bit PCM: MS ADPCM, IMA ADPCM, A-law, µ-law, float, 24/32-bit integer.
#include "sound/wav_converters.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "core/byte_reader.h"
#include "core/byte_writer.h"
#include "sound/sound_decoders.h"

namespace korvel {
namespace {

int16_t Clamp16(int64_t v) { return static_cast<int16_t>(std::clamp<int64_t>(v, -32768, 32767)); }

// Appends one 16-bit little-endian sample.
void Put(std::vector<uint8_t>* out, int16_t s) { AppendU16(out, static_cast<uint16_t>(s)); }

// ---- MS ADPCM ----

constexpr int32_t kMsAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                       768, 614, 512, 409, 307, 230, 230, 230};
constexpr int32_t kMsDefaultCoefs[7][2] = {{256, 0}, {512, -256}, {0, 0}, {192, 64},
                                           {240, 0}, {460, -208}, {392, -232}};

struct MsChannel {
  int32_t c1 = 0, c2 = 0, delta = 0, s1 = 0, s2 = 0;
  int16_t Decode(uint32_t nibble) {
    const int32_t signed_nibble = static_cast<int32_t>(nibble) - ((nibble & 8) << 1);
    // In 64 bits: coefficients and samples of -32768 make the sum 2^31. The shift floors, as an
    // arithmetic shift of the 32-bit sum does wherever that sum fits.
    const int64_t predicted = (int64_t{s1} * c1 + int64_t{s2} * c2) >> 8;
    const int16_t s = Clamp16(predicted + int64_t{signed_nibble} * delta);
    s2 = s1;
    s1 = s;
    // Kept within bounds so corrupt data cannot overflow it; valid streams never come near.
    delta = static_cast<int32_t>(
        std::clamp<int64_t>((int64_t{kMsAdaptation[nibble]} * delta) >> 8, 16, int64_t{1} << 24));
    return s;
  }
};

int32_t DecodeMsAdpcm(const WavSource& in, std::vector<uint8_t>* out) {
  const uint32_t ch = in.format.channels;
  const uint32_t block = in.format.block_align;
  if (ch < 1 || ch > 2 || block < 7 * ch) return kWavUnsupported;
  const uint32_t most = (block - 7 * ch) * 2 / ch + 2;  // samples a block can hold
  uint32_t per_block = most;
  std::vector<std::array<int32_t, 2>> coefs;
  if (in.extra_size >= 4) {
    const uint32_t stated = static_cast<uint16_t>(LoadI16(in.extra));
    // A block holds at least its two header samples.
    if (stated != 0) per_block = std::clamp(stated, 2u, most);
    const uint32_t count = static_cast<uint16_t>(LoadI16(in.extra + 2));
    for (uint32_t i = 0; i < count && 4 + 4 * i + 4 <= in.extra_size; ++i) {
      coefs.push_back({LoadI16(in.extra + 4 + 4 * i), LoadI16(in.extra + 6 + 4 * i)});
    }
  }
  if (coefs.empty()) {
    for (const auto& c : kMsDefaultCoefs) coefs.push_back({c[0], c[1]});
  }
  out->reserve(in.data_size / block * per_block * ch * 2);
  for (uint64_t at = 0; at + block <= in.data_size; at += block) {
    const uint8_t* b = in.data + at;
    MsChannel state[2];
    for (uint32_t c = 0; c < ch; ++c) {
      const uint32_t index = std::min<uint32_t>(b[c], static_cast<uint32_t>(coefs.size() - 1));
      state[c].c1 = coefs[index][0];
      state[c].c2 = coefs[index][1];
      state[c].delta = LoadI16(b + ch + 2 * c);
      state[c].s1 = LoadI16(b + 3 * ch + 2 * c);
      state[c].s2 = LoadI16(b + 5 * ch + 2 * c);
    }
    for (uint32_t c = 0; c < ch; ++c) Put(out, static_cast<int16_t>(state[c].s2));
    for (uint32_t c = 0; c < ch; ++c) Put(out, static_cast<int16_t>(state[c].s1));
    const uint8_t* nibbles = b + 7 * ch;
    const uint32_t count = (per_block - 2) * ch;  // nibbles to decode
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t byte = nibbles[i / 2];
      const uint32_t nibble = (i & 1) ? (byte & 0x0F) : (byte >> 4);
      Put(out, state[i % ch].Decode(nibble));
    }
  }
  return 0;
}

// ---- IMA ADPCM ----

constexpr int32_t kImaSteps[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,   253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,   876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749,  3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493,  10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr int32_t kImaIndexStep[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

struct ImaChannel {
  int32_t value = 0, index = 0;
  int16_t Decode(uint32_t nibble) {
    const int32_t step = kImaSteps[index];
    int32_t diff = step >> 3;
    if (nibble & 4) diff += step;
    if (nibble & 2) diff += step >> 1;
    if (nibble & 1) diff += step >> 2;
    value = Clamp16(nibble & 8 ? value - diff : value + diff);
    index = std::clamp(index + kImaIndexStep[nibble], 0, 88);
    return static_cast<int16_t>(value);
  }
};

int32_t DecodeImaAdpcm(const WavSource& in, std::vector<uint8_t>* out) {
  const uint32_t ch = in.format.channels;
  const uint32_t block = in.format.block_align;
  if (ch < 1 || ch > 2 || block <= 4 * ch || (block - 4 * ch) % (4 * ch) != 0) return kWavUnsupported;
  const uint32_t most = (block - 4 * ch) * 2 / ch + 1;
  uint32_t per_block = most;
  if (in.extra_size >= 2) {
    const uint32_t stated = static_cast<uint16_t>(LoadI16(in.extra));
    if (stated != 0) per_block = std::min(stated, most);
  }
  std::vector<int16_t> frame(static_cast<size_t>(most) * ch);
  out->reserve(in.data_size / block * per_block * ch * 2);
  for (uint64_t at = 0; at + block <= in.data_size; at += block) {
    const uint8_t* b = in.data + at;
    ImaChannel state[2];
    for (uint32_t c = 0; c < ch; ++c) {
      state[c].value = LoadI16(b + 4 * c);
      state[c].index = std::min<int32_t>(b[4 * c + 2], 88);
      frame[c] = static_cast<int16_t>(state[c].value);
    }
    // Then words of four bytes per channel in turn, eight samples each, low nibble first.
    const uint8_t* words = b + 4 * ch;
    const uint32_t groups = (block - 4 * ch) / (4 * ch);
    for (uint32_t g = 0; g < groups; ++g) {
      for (uint32_t c = 0; c < ch; ++c) {
        const uint8_t* w = words + (g * ch + c) * 4;
        for (uint32_t k = 0; k < 8; ++k) {
          const uint32_t nibble = (k & 1) ? (w[k / 2] >> 4) : (w[k / 2] & 0x0F);
          frame[(1 + g * 8 + k) * ch + c] = state[c].Decode(nibble);
        }
      }
    }
    for (uint32_t i = 0; i < per_block * ch; ++i) Put(out, frame[i]);
  }
  return 0;
}

// ---- G.711, float, wide integer ----

int32_t DecodeG711(const WavSource& in, bool a_law, std::vector<uint8_t>* out) {
  if (in.format.bits != 8) return kWavUnsupported;
  out->reserve(in.data_size * 2);
  for (uint64_t i = 0; i < in.data_size; ++i) {
    Put(out, a_law ? ALawToLinear(in.data[i]) : MuLawToLinear(in.data[i]));
  }
  return 0;
}

int32_t DecodeFloat(const WavSource& in, std::vector<uint8_t>* out) {
  const uint32_t bits = in.format.bits;
  if (bits != 32 && bits != 64) return kWavUnsupported;
  const uint64_t count = in.data_size / (bits / 8);
  out->reserve(count * 2);
  for (uint64_t i = 0; i < count; ++i) {
    double v;
    if (bits == 32) {
      float f;
      std::memcpy(&f, in.data + 4 * i, 4);
      v = static_cast<double>(f);
    } else {
      std::memcpy(&v, in.data + 8 * i, 8);
    }
    if (std::isnan(v)) v = 0.0;
    Put(out, Clamp16(static_cast<int64_t>(std::floor(std::clamp(v, -2.0, 2.0) * 32768.0 + 0.5))));
  }
  return 0;
}

int32_t DecodeWideInteger(const WavSource& in, std::vector<uint8_t>* out) {
  const uint32_t bytes = in.format.bits / 8;
  if (in.format.bits % 8 != 0 || bytes < 3 || bytes > 4) return kWavUnsupported;
  const uint64_t count = in.data_size / bytes;
  out->reserve(count * 2);
  for (uint64_t i = 0; i < count; ++i) {
    const uint8_t* p = in.data + bytes * i;
    uint32_t u = 0;
    for (uint32_t k = 0; k < bytes; ++k) u |= static_cast<uint32_t>(p[k]) << (8 * (4 - bytes + k));
    // Round to the nearest 16-bit value, halves up.
    Put(out, Clamp16((static_cast<int64_t>(static_cast<int32_t>(u)) + 32768) >> 16));
  }
  return 0;
}

}  // namespace

int16_t ALawToLinear(uint8_t a) {
  a ^= 0x55;
  int32_t t = (a & 0x0F) << 4;
  const int32_t segment = (a & 0x70) >> 4;
  if (segment == 0) {
    t += 8;
  } else if (segment == 1) {
    t += 0x108;
  } else {
    t = (t + 0x108) << (segment - 1);
  }
  return static_cast<int16_t>((a & 0x80) ? t : -t);
}

int16_t MuLawToLinear(uint8_t u) {
  u = static_cast<uint8_t>(~u);
  int32_t t = ((u & 0x0F) << 3) + 0x84;
  t <<= (u & 0x70) >> 4;
  return static_cast<int16_t>((u & 0x80) ? (0x84 - t) : (t - 0x84));
}

int32_t ConvertWavToPcm(const WavSource& in, std::vector<uint8_t>* pcm,
                        platform::PcmFormat* format) {
  pcm->clear();
  if (in.format.channels < 1 || in.format.channels > 2 || in.format.rate == 0 ||
      in.format.block_align == 0) {
    return kWavUnsupported;
  }
  int32_t r;
  switch (in.tag) {
    case kWavTagMsAdpcm: r = DecodeMsAdpcm(in, pcm); break;
    case kWavTagImaAdpcm: r = DecodeImaAdpcm(in, pcm); break;
    case kWavTagALaw: r = DecodeG711(in, true, pcm); break;
    case kWavTagMuLaw: r = DecodeG711(in, false, pcm); break;
    case kWavTagFloat: r = DecodeFloat(in, pcm); break;
    case kWavTagPcm: r = DecodeWideInteger(in, pcm); break;
    default: r = kWavUnsupported; break;
  }
  if (r != 0) {
    pcm->clear();
    return r;
  }
  format->tag = kWavTagPcm;
  format->channels = in.format.channels;
  format->rate = in.format.rate;
  format->bits = 16;
  format->block_align = static_cast<uint16_t>(in.format.channels * 2);
  format->bytes_per_second = in.format.rate * format->block_align;
  return 0;
}

}  // namespace korvel
