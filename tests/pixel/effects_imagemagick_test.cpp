// Effects against ImageMagick: flop, flip, negate and brightness exact; box blur within 2.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "imagemagick_runner.h"
#include "pixel/pixel_effects.h"
#include "required_tool.h"

namespace korvel {
namespace {

using pixel_test::RgbImage;

constexpr int32_t kW = 23, kH = 17;

RgbImage RandomRgb(uint32_t seed) {
  RgbImage img;
  img.width = kW;
  img.height = kH;
  img.rgb.resize(static_cast<size_t>(kW * kH * 3));
  std::mt19937 rng(seed);
  for (auto& b : img.rgb) b = static_cast<uint8_t>(rng());
  return img;
}

// The effect over the whole image (opaque, has-alpha off), as RGB.
RgbImage Effect(uint8_t mode, const RgbImage& in, int64_t a) {
  std::vector<uint8_t> bgra(static_cast<size_t>(kW * kH * 4));
  for (size_t i = 0; i < static_cast<size_t>(kW * kH); ++i) {
    bgra[i * 4 + 0] = in.rgb[i * 3 + 2];
    bgra[i * 4 + 1] = in.rgb[i * 3 + 1];
    bgra[i * 4 + 2] = in.rgb[i * 3 + 0];
    bgra[i * 4 + 3] = 255;
  }
  std::vector<uint8_t> out(bgra.size());
  EffectCall c;
  c.in = bgra.data();
  c.width = kW;
  c.height = kH;
  c.x1 = kW - 1;
  c.y1 = kH - 1;
  c.out = out.data();
  c.out_width = kW;
  c.a = a;
  EXPECT_TRUE(RunPixelEffect(mode, c));
  RgbImage r = in;
  for (size_t i = 0; i < static_cast<size_t>(kW * kH); ++i) {
    r.rgb[i * 3 + 0] = out[i * 4 + 2];
    r.rgb[i * 3 + 1] = out[i * 4 + 1];
    r.rgb[i * 3 + 2] = out[i * 4 + 0];
  }
  return r;
}

struct ImCase {
  std::string name;
  uint8_t mode;
  int64_t a;
  std::string operations;
  int tolerance;
};

class EffectsVsImageMagick : public ::testing::TestWithParam<ImCase> {};

TEST_P(EffectsVsImageMagick, Agree) {
  KORVEL_REQUIRE_TOOL(pixel_test::HaveConvert(), "ImageMagick's convert");
  const ImCase& c = GetParam();
  const RgbImage in = RandomRgb(0x5EED + c.mode);
  RgbImage want;
  ASSERT_TRUE(pixel_test::RunConvert(in, c.operations, &want)) << c.operations;
  const RgbImage got = Effect(c.mode, in, c.a);
  ASSERT_EQ(want.rgb.size(), got.rgb.size());
  int worst = 0;
  for (size_t i = 0; i < got.rgb.size(); ++i) {
    worst = std::max(worst, std::abs(int{got.rgb[i]} - int{want.rgb[i]}));
  }
  EXPECT_LE(worst, c.tolerance) << c.operations;
}

// Brightness in 16-bit units: (A - 128) * 257.
INSTANTIATE_TEST_SUITE_P(
    Reference, EffectsVsImageMagick,
    ::testing::Values(ImCase{"Flop", 9, 1, "-flop", 0}, ImCase{"Flip", 35, 1, "-flip", 0},
                      ImCase{"Negate", 25, 1, "-negate", 0},
                      ImCase{"BrightnessUp", 1, 200, "-evaluate add 18504", 0},
                      ImCase{"BrightnessDown", 1, 30, "-evaluate subtract 25186", 0},
                      ImCase{"BrightnessMax", 1, 256, "-evaluate add 32896", 0},
                      ImCase{"BoxBlur1", 2, 1, "-statistic Mean 3x3", 2},
                      ImCase{"BoxBlur3", 2, 3, "-statistic Mean 7x7", 2}),
    [](const ::testing::TestParamInfo<ImCase>& p) { return p.param.name; });

}  // namespace
}  // namespace korvel
