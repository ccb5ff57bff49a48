// The mixer: millibel gains, pan on the far side only, fixed-point resampling with linear
// interpolation, unity bit-exactness and the formats voices accept.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "platform/sound_mixer.h"
#include "sound_test_util.h"

namespace korvel::platform {
namespace {

using test::Pcm;

std::vector<int16_t> Mix(MixVoice* voice, uint32_t frames) {
  std::vector<int16_t> out(2 * frames);
  MixVoice* list[] = {voice};
  MixVoices(list, 1, out.data(), frames);
  return out;
}

void Put16(MixVoice* v, size_t sample, int16_t value) {
  std::memcpy(v->ring.data() + 2 * sample, &value, 2);
}

TEST(SoundMixer, MillibelGainsHaveTheirKnownValues) {
  const struct {
    int32_t mb;
    double gain;
  } cases[] = {{0, 1.0},        {-6, 0.99312},     {-602, 0.50003},  {-1204, 0.25003},
               {-2408, 0.062515}, {-8428, 6.1094e-5}, {-9632, 1.5276e-5}, {-10000, 0.0},
               {-20000, 0.0}};
  for (const auto& c : cases) {
    EXPECT_NEAR(MillibelGain(c.mb), c.gain, c.gain * 1e-4 + 1e-12) << c.mb;
  }
  EXPECT_EQ(MillibelGainQ16(0), 65536);
  EXPECT_EQ(MillibelGainQ16(-10000), 0);
  EXPECT_GT(MillibelGainQ16(-9999), 0);
}

TEST(SoundMixer, PanTurnsDownTheFarSideOnly) {
  const struct {
    int32_t volume, pan, left_mb, right_mb;
  } cases[] = {
      {0, 0, 0, 0},          {0, -10000, 0, -10000},     {0, 10000, -10000, 0},
      {0, -1204, 0, -1204},  {0, 1204, -1204, 0},        {-600, -400, -600, -1000},
      {-600, 400, -1000, -600}, {-9000, 2000, -10000, -9000},
  };
  for (const auto& c : cases) {
    MixVoice v;
    ASSERT_TRUE(InitMixVoice(&v, Pcm(1, 44100, 16)));
    v.volume_mb = c.volume;
    v.pan_mb = c.pan;
    UpdateVoiceGains(&v);
    EXPECT_EQ(v.gain_left, MillibelGainQ16(c.left_mb)) << c.volume << " " << c.pan;
    EXPECT_EQ(v.gain_right, MillibelGainQ16(c.right_mb)) << c.volume << " " << c.pan;
  }
}

TEST(SoundMixer, UnityIsBitExact) {
  MixVoice v;
  ASSERT_TRUE(InitMixVoice(&v, Pcm(2, 44100, 16)));
  std::mt19937 random(7);
  std::vector<int16_t> source(2 * 44100);
  for (auto& s : source) s = static_cast<int16_t>(random());
  source[0] = -32768;
  source[1] = 32767;
  std::memcpy(v.ring.data(), source.data(), v.ring.size());
  v.playing = v.looping = true;
  const std::vector<int16_t> out = Mix(&v, 44100);
  EXPECT_EQ(out, source);
  EXPECT_EQ(v.phase, 0u);  // one second later the cursor is back at the start
}

TEST(SoundMixer, Volume128IsAQuarter) {
  // Volume 128 is -1204 mB: a full-scale square comes out at a quarter, peak -12.04 dB.
  MixVoice v;
  ASSERT_TRUE(InitMixVoice(&v, Pcm(1, 44100, 16)));
  for (size_t i = 0; i < 44100; ++i) Put16(&v, i, (i / 50) % 2 ? int16_t{-32768} : int16_t{32767});
  v.playing = v.looping = true;
  v.volume_mb = -1204;
  UpdateVoiceGains(&v);
  const std::vector<int16_t> out = Mix(&v, 4410);
  int peak = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    const int16_t in = (i / 2 / 50) % 2 ? int16_t{-32768} : int16_t{32767};
    EXPECT_NEAR(out[i], in * 0.25, 1.5) << i;
    peak = std::max(peak, std::abs(static_cast<int>(out[i])));
  }
  EXPECT_NEAR(20 * std::log10(peak / 32768.0), -12.04, 0.005);
}

TEST(SoundMixer, FrequencyResamplesByLinearInterpolation) {
  // 11025 Hz on a 44100 Hz mix: four output frames per source frame, three of them interpolated.
  MixVoice v;
  ASSERT_TRUE(InitMixVoice(&v, Pcm(1, 11025, 16)));
  for (size_t i = 0; i < 11025; ++i) Put16(&v, i, static_cast<int16_t>((i % 256) * 64));
  v.playing = v.looping = true;
  const std::vector<int16_t> out = Mix(&v, 4000);
  for (size_t k = 0; k + 1 < 1000; ++k) {
    const int a = static_cast<int>((k % 256) * 64), b = static_cast<int>(((k + 1) % 256) * 64);
    for (size_t j = 0; j < 4; ++j) {
      const int expected = a + (b - a) * static_cast<int>(j) / 4;
      ASSERT_EQ(out[2 * (4 * k + j)], expected) << k << " " << j;
      ASSERT_EQ(out[2 * (4 * k + j) + 1], expected);
    }
  }
  EXPECT_EQ(v.phase >> 32, 1000u);

  // 44100 Hz source played at 22050 Hz and 66150 Hz (speeds 0 and 512): the cursor moves half
  // and one and a half frames per output frame.
  const struct {
    uint32_t hz;
    uint64_t frames_after_1000;
  } speeds[] = {{22050, 500}, {44100, 1000}, {66150, 1500}, {11025, 250}};
  for (const auto& s : speeds) {
    MixVoice w;
    ASSERT_TRUE(InitMixVoice(&w, Pcm(2, 44100, 16)));
    w.playing = w.looping = true;
    SetMixVoiceFrequency(&w, s.hz);
    Mix(&w, 1000);
    EXPECT_EQ(w.phase >> 32, s.frames_after_1000) << s.hz;
  }
}

TEST(SoundMixer, ReadsEveryAcceptedFormat) {
  const struct {
    uint16_t channels, bits;
    std::vector<uint8_t> frame;  // one frame, repeated
    int16_t left, right;
  } cases[] = {
      {1, 8, {0x80}, 0, 0},
      {1, 8, {0xC0}, 16384, 16384},
      {2, 8, {0x00, 0xFF}, -32768, 32512},
      {1, 16, {0x34, 0x12}, 0x1234, 0x1234},
      {2, 24, {0x80, 0x34, 0x12, 0x7F, 0x34, 0x12}, 0x1235, 0x1234},
      {1, 32, {0x00, 0x00, 0x00, 0x80}, -32768, -32768},
      {2, 32, {0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0x80, 0xFF, 0xFF}, 32767, 0},
  };
  for (const auto& c : cases) {
    MixVoice v;
    ASSERT_TRUE(InitMixVoice(&v, Pcm(c.channels, 8000, c.bits)));
    for (size_t i = 0; i < v.ring.size(); i += c.frame.size()) {
      std::memcpy(v.ring.data() + i, c.frame.data(), c.frame.size());
    }
    v.playing = v.looping = true;
    const std::vector<int16_t> out = Mix(&v, 100);
    EXPECT_EQ(out[50], c.left) << c.channels << "ch " << c.bits;
    EXPECT_EQ(out[51], c.right) << c.channels << "ch " << c.bits;
  }
}

TEST(SoundMixer, AFreshEightBitVoiceIsSilent) {
  MixVoice v;
  ASSERT_TRUE(InitMixVoice(&v, Pcm(2, 22050, 8)));
  v.playing = v.looping = true;
  for (int16_t s : Mix(&v, 2000)) ASSERT_EQ(s, 0);
}

TEST(SoundMixer, AVoiceThatDoesNotLoopStopsAtTheEnd) {
  MixVoice v;
  ASSERT_TRUE(InitMixVoice(&v, Pcm(1, 8000, 16)));
  for (size_t i = 0; i < 8000; ++i) Put16(&v, i, 1000);
  v.playing = true;
  // 8000 frames last 44100 output frames (the fixed-point step is rounded down: one more).
  const std::vector<int16_t> out = Mix(&v, 44110);
  EXPECT_FALSE(v.playing);
  EXPECT_EQ(out[2 * 44095], 1000);
  EXPECT_EQ(out[2 * 44100 + 1], 1000);
  EXPECT_EQ(out[2 * 44101], 0);
  const std::vector<int16_t> after = Mix(&v, 100);
  for (int16_t s : after) ASSERT_EQ(s, 0);
}

TEST(SoundMixer, VoicesSumAndClip) {
  MixVoice a, b;
  ASSERT_TRUE(InitMixVoice(&a, Pcm(1, 44100, 16)));
  ASSERT_TRUE(InitMixVoice(&b, Pcm(1, 44100, 16)));
  for (size_t i = 0; i < 44100; ++i) {
    Put16(&a, i, 20000);
    Put16(&b, i, i < 100 ? int16_t{-5000} : int16_t{20000});
  }
  a.playing = a.looping = b.playing = b.looping = true;
  std::vector<int16_t> out(400);
  MixVoice* list[] = {&a, &b};
  MixVoices(list, 2, out.data(), 200);
  EXPECT_EQ(out[0], 15000);
  EXPECT_EQ(out[2 * 150], 32767);
}

TEST(SoundMixer, RefusesFormatsVoicesDoNotPlay) {
  PcmFormat float_format = Pcm(1, 44100, 32);
  float_format.tag = 3;
  PcmFormat wrong_align = Pcm(2, 44100, 16);
  wrong_align.block_align = 2;
  const PcmFormat refused[] = {float_format, Pcm(3, 44100, 16), Pcm(0, 44100, 16),
                               Pcm(1, 44100, 12), Pcm(1, 44100, 4), Pcm(1, 0, 16), wrong_align};
  for (const auto& f : refused) {
    MixVoice v;
    EXPECT_FALSE(InitMixVoice(&v, f)) << f.tag << " " << f.channels << " " << f.bits << " " << f.rate;
  }
}

}  // namespace
}  // namespace korvel::platform
