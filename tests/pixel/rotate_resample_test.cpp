// Rotation against exact copies and index permutations; bicubic and Lanczos resampling against
// float references and ImageMagick on smooth images.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "imagemagick_runner.h"
#include "pixel/pixel_resample.h"
#include "pixel/pixel_rotate.h"
#include "required_tool.h"

namespace korvel {
namespace {

using Image = std::vector<uint32_t>;

Image RandomImage(int32_t w, int32_t h, uint32_t seed) {
  Image img(static_cast<size_t>(w) * static_cast<size_t>(h));
  std::mt19937 rng(seed);
  for (auto& p : img) p = static_cast<uint32_t>(rng());
  return img;
}

Image Rotate(const Image& in, int32_t w, int32_t h, int64_t angle, int32_t mode) {
  Image out(in.size(), 0xDEADBEEF);
  EXPECT_TRUE(RotatePixels(reinterpret_cast<uint8_t*>(out.data()),
                           reinterpret_cast<const uint8_t*>(in.data()), w, h, angle, mode));
  return out;
}

struct Size {
  int32_t w, h;
};
const Size kSizes[] = {{1, 1}, {2, 2}, {5, 5}, {7, 4}, {4, 9}, {16, 16}, {33, 20}};

TEST(Rotation, WholeTurnsCopyAndHalfTurnsReflect) {
  for (const Size s : kSizes) {
    const Image in = RandomImage(s.w, s.h, 7);
    for (int mode : {11, 12}) {
      for (int64_t angle : {0, 360, 720, -360}) {
        EXPECT_EQ(Rotate(in, s.w, s.h, angle, mode), in) << s.w << "x" << s.h << " " << angle;
      }
      for (int64_t angle : {180, 540}) {
        const Image out = Rotate(in, s.w, s.h, angle, mode);
        for (int32_t y = 0; y < s.h; ++y) {
          for (int32_t x = 0; x < s.w; ++x) {
            ASSERT_EQ(out[static_cast<size_t>(y * s.w + x)],
                      in[static_cast<size_t>((s.h - 1 - y) * s.w + (s.w - 1 - x))]);
          }
        }
      }
    }
  }
}

// A quarter turn is the index permutation about (w / 2, h / 2): 90 degrees reads (cx - dy,
// cy + dx), 270 reads (cx + dy, cy - dx); sources outside are transparent black.
TEST(Rotation, QuarterTurnsAreIndexPermutations) {
  for (const Size s : kSizes) {
    const Image in = RandomImage(s.w, s.h, 9);
    const int32_t cx = s.w / 2, cy = s.h / 2;
    for (int mode : {11, 12}) {
      for (int64_t angle : {90, 270, 450}) {
        const Image out = Rotate(in, s.w, s.h, angle, mode);
        const int sign = (angle % 360) == 90 ? 1 : -1;
        for (int32_t y = 0; y < s.h; ++y) {
          for (int32_t x = 0; x < s.w; ++x) {
            const int32_t sx = cx - sign * (y - cy), sy = cy + sign * (x - cx);
            const uint32_t want = (sx >= 0 && sx < s.w && sy >= 0 && sy < s.h)
                                      ? in[static_cast<size_t>(sy * s.w + sx)]
                                      : 0;
            ASSERT_EQ(out[static_cast<size_t>(y * s.w + x)], want)
                << s.w << "x" << s.h << " angle " << angle << " mode " << mode << " at " << x
                << "," << y;
          }
        }
      }
    }
  }
}

TEST(Rotation, SpanModeMatchesPerPixelMode) {
  for (const Size s : kSizes) {
    const Image in = RandomImage(s.w, s.h, 11);
    for (int64_t angle = 1; angle < 360; angle += 7) {
      EXPECT_EQ(Rotate(in, s.w, s.h, angle, 12), Rotate(in, s.w, s.h, angle, 11))
          << s.w << "x" << s.h << " angle " << angle;
    }
  }
}

TEST(Rotation, NegativeRemainders) {
  const Image in = RandomImage(9, 6, 13);
  // Mode 12 copies; mode 11 turns, and -90 is 270.
  EXPECT_EQ(Rotate(in, 9, 6, -90, 12), in);
  EXPECT_EQ(Rotate(in, 9, 6, -90, 11), Rotate(in, 9, 6, 270, 11));
  EXPECT_EQ(Rotate(in, 9, 6, -180, 11), Rotate(in, 9, 6, 180, 11));
}

TEST(Rotation, OtherModesWriteNothing) {
  const Image in = RandomImage(3, 3, 1);
  Image out(in.size(), 5);
  for (int mode : {0, 10, 13, 1}) {
    EXPECT_FALSE(RotatePixels(reinterpret_cast<uint8_t*>(out.data()),
                              reinterpret_cast<const uint8_t*>(in.data()), 3, 3, 45, mode));
  }
  EXPECT_EQ(out, Image(in.size(), 5));
}

// A smooth opaque image: channels are slow sines of x and y.
Image SmoothImage(int32_t w, int32_t h) {
  Image img(static_cast<size_t>(w) * static_cast<size_t>(h));
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const auto b = static_cast<uint32_t>(128 + 60 * std::sin(x / 9.0));
      const auto g = static_cast<uint32_t>(128 + 60 * std::cos(y / 11.0));
      const auto r = static_cast<uint32_t>(128 + 40 * std::sin((x + y) / 13.0));
      img[static_cast<size_t>(y * w + x)] = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
  }
  return img;
}

ResampleSource Whole(const Image& img, int32_t w, int32_t h) {
  ResampleSource s;
  s.pixels = reinterpret_cast<const uint8_t*>(img.data());
  s.width = w;
  s.height = h;
  s.span_x = w;
  s.span_y = h;
  return s;
}

using Filter = void (*)(uint8_t*, int32_t, int32_t, const ResampleSource&);

Image Resample(Filter f, const Image& in, int32_t w, int32_t h, int32_t dw, int32_t dh) {
  Image out(static_cast<size_t>(dw) * static_cast<size_t>(dh), 0xDEADBEEF);
  f(reinterpret_cast<uint8_t*>(out.data()), dw, dh, Whole(in, w, h));
  return out;
}

uint8_t Channel(uint32_t p, int c) { return static_cast<uint8_t>(p >> (8 * c)); }

// Float references written from the filter definitions.
double CubicK(double x) {
  x = std::fabs(x);
  if (x < 1) return x * x * x - 2 * x * x + 1;
  if (x <= 2) return -x * x * x + 5 * x * x - 8 * x + 4;
  return 0;
}

double BicubicRef(const Image& in, int32_t w, int32_t h, int32_t dw, int32_t dh, int32_t x,
                  int32_t y, int c) {
  const double px = static_cast<double>(x) * w / dw, py = static_cast<double>(y) * h / dh;
  const auto ix = static_cast<int32_t>(std::floor(px)), iy = static_cast<int32_t>(std::floor(py));
  double sum = 0, wsum = 0;
  for (int j = -1; j <= 2; ++j) {
    for (int i = -1; i <= 2; ++i) {
      const double wt = CubicK(px - (ix + i)) * CubicK(py - (iy + j));
      const int32_t sx = std::clamp(ix + i, 0, w - 1), sy = std::clamp(iy + j, 0, h - 1);
      sum += wt * Channel(in[static_cast<size_t>(sy * w + sx)], c);
      wsum += wt;
    }
  }
  return std::clamp(sum / wsum, 0.0, 255.0);
}

double LanczosK(double x) {
  if (std::fabs(x) >= 2) return 0;
  auto sinc = [](double v) { return v == 0 ? 1.0 : std::sin(M_PI * v) / (M_PI * v); };
  return sinc(x) * sinc(x / 2);
}

// One axis: (centre, scale) of destination index i.
void LanczosAxis(int32_t src, int32_t dst, int32_t i, double* centre, double* s) {
  if (dst == 1) {
    *centre = (src - 1) / 2.0;
    *s = 1.0 / src;
  } else {
    const double r = src == 1 ? dst : static_cast<double>(dst - 1) / (src - 1);
    *centre = i / r;
    *s = std::min(r, 1.0);
  }
}

double LanczosRef(const Image& in, int32_t w, int32_t h, int32_t dw, int32_t dh, int32_t x,
                  int32_t y, int c) {
  double cx, sx, cy, sy;
  LanczosAxis(w, dw, x, &cx, &sx);
  LanczosAxis(h, dh, y, &cy, &sy);
  double sum = 0, wsum = 0;
  for (int32_t j = 0; j < h; ++j) {
    const double wy = LanczosK((cy - j) * sy);
    if (wy == 0) continue;
    for (int32_t i = 0; i < w; ++i) {
      const double wt = LanczosK((cx - i) * sx) * wy;
      sum += wt * Channel(in[static_cast<size_t>(j * w + i)], c);
      wsum += wt;
    }
  }
  return std::clamp(sum / wsum, 0.0, 255.0);
}

struct Scale {
  int32_t w, h, dw, dh;
};
const Scale kScales[] = {{40, 30, 80, 60}, {40, 30, 17, 13}, {40, 30, 40, 30}, {25, 20, 61, 9},
                         {40, 30, 1, 1},   {1, 1, 5, 4},     {30, 1, 45, 3}};

double Worst(Filter f, double (*ref)(const Image&, int32_t, int32_t, int32_t, int32_t, int32_t,
                                     int32_t, int),
             const Scale& s) {
  const Image in = SmoothImage(s.w, s.h);
  const Image out = Resample(f, in, s.w, s.h, s.dw, s.dh);
  double worst = 0;
  for (int32_t y = 0; y < s.dh; ++y) {
    for (int32_t x = 0; x < s.dw; ++x) {
      for (int c = 0; c < 4; ++c) {
        const double want = ref(in, s.w, s.h, s.dw, s.dh, x, y, c);
        worst = std::max(worst, std::fabs(want - Channel(out[static_cast<size_t>(y * s.dw + x)], c)));
      }
    }
  }
  return worst;
}

TEST(Resample, BicubicFollowsTheFloatReference) {
  for (const Scale& s : kScales) {
    EXPECT_LE(Worst(ResampleBicubic, BicubicRef, s), 2.0)
        << s.w << "x" << s.h << " -> " << s.dw << "x" << s.dh;
  }
}

TEST(Resample, LanczosFollowsTheFloatReference) {
  for (const Scale& s : kScales) {
    EXPECT_LE(Worst(ResampleLanczos, LanczosRef, s), 2.0)
        << s.w << "x" << s.h << " -> " << s.dw << "x" << s.dh;
  }
}

TEST(Resample, ConstantImagesStayConstant) {
  for (uint32_t colour : {0xFFFFFFFFu, 0x00000000u, 0x80402010u, 0xFF00FF00u}) {
    for (const Scale& s : kScales) {
      const Image in(static_cast<size_t>(s.w) * static_cast<size_t>(s.h), colour);
      for (Filter f : {ResampleBicubic, ResampleLanczos}) {
        const Image out = Resample(f, in, s.w, s.h, s.dw, s.dh);
        EXPECT_EQ(out, Image(out.size(), colour))
            << std::hex << colour << std::dec << " " << s.w << "x" << s.h << " -> " << s.dw << "x"
            << s.dh;
      }
    }
  }
}

TEST(Resample, RectangleOutsideTheImageReadsNothing) {
  // Bicubic: a position left of the image is 0. Lanczos: a pixel is 0 when none of its taps
  // (two pixels either side) is inside; taps outside drop out of the weights.
  const Image in(16, 0xFFFFFFFF);  // 4 x 4 white
  for (Filter f : {ResampleBicubic, ResampleLanczos}) {
    const int32_t zeros = f == ResampleBicubic ? 4 : 2;
    ResampleSource s = Whole(in, 4, 4);
    s.x0 = -4;  // columns -4..3: the left half is outside
    s.span_x = 8;
    Image out(8 * 4, 0xDEADBEEF);
    f(reinterpret_cast<uint8_t*>(out.data()), 8, 4, s);
    for (int32_t y = 0; y < 4; ++y) {
      for (int32_t x = 0; x < 8; ++x) {
        const uint32_t p = out[static_cast<size_t>(y * 8 + x)];
        if (x < zeros) {
          EXPECT_EQ(p, 0u) << x << "," << y;
        } else if (x >= 4) {
          EXPECT_EQ(p, 0xFFFFFFFFu) << x << "," << y;
        }
      }
    }
  }
}

TEST(Resample, LanczosKernelValues) {
  EXPECT_EQ(SincValue(0.0), 1.0);
  EXPECT_NEAR(SincValue(1.0), 0.0, 1e-7);
  EXPECT_NEAR(LanczosValue(0.5), (std::sin(M_PI / 2) / (M_PI / 2)) * (std::sin(M_PI / 4) / (M_PI / 4)), 1e-6);
  EXPECT_EQ(LanczosValue(2.0), 0.0);
  EXPECT_EQ(LanczosValue(-2.5), 0.0);
  const auto& k = BicubicKernelTable();
  EXPECT_EQ(k[0], 256);
  EXPECT_EQ(k[256], 0);
  EXPECT_EQ(k[512], 0);
  EXPECT_EQ(k[128], 160);  // 256 * (1/8 - 1/2 + 1) = 160
}

struct ImScale {
  std::string name;
  Filter filter;
  std::string operations;
  Scale scale;
};

class ResampleVsImageMagick : public ::testing::TestWithParam<ImScale> {};

TEST_P(ResampleVsImageMagick, AgreeOnSmoothImages) {
  KORVEL_REQUIRE_TOOL(pixel_test::HaveConvert(), "ImageMagick's convert");
  const ImScale& c = GetParam();
  const Scale& s = c.scale;
  const Image in = SmoothImage(s.w, s.h);
  pixel_test::RgbImage rgb{s.w, s.h, {}};
  for (uint32_t p : in) {
    rgb.rgb.push_back(Channel(p, 2));
    rgb.rgb.push_back(Channel(p, 1));
    rgb.rgb.push_back(Channel(p, 0));
  }
  pixel_test::RgbImage want;
  const std::string ops =
      c.operations + " -resize " + std::to_string(s.dw) + "x" + std::to_string(s.dh) + "!";
  ASSERT_TRUE(pixel_test::RunConvert(rgb, ops, &want)) << ops;
  const Image out = Resample(c.filter, in, s.w, s.h, s.dw, s.dh);
  // The engine maps pixel corners where ImageMagick maps pixel centres: a fraction of a pixel
  // on images whose channels change by a few levels per pixel.
  int worst = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    for (int ch = 0; ch < 3; ++ch) {
      worst = std::max(worst, std::abs(int{Channel(out[i], ch)} - int{want.rgb[i * 3 + 2 - ch]}));
    }
  }
  EXPECT_LE(worst, 6) << ops;
}

INSTANTIATE_TEST_SUITE_P(
    Reference, ResampleVsImageMagick,
    ::testing::Values(
        ImScale{"LanczosUp", ResampleLanczos, "-filter Lanczos2", {40, 30, 80, 60}},
        ImScale{"LanczosDown", ResampleLanczos, "-filter Lanczos2", {80, 60, 40, 30}},
        ImScale{"CubicUp", ResampleBicubic, "-filter Cubic -define filter:b=0 -define filter:c=1",
                {40, 30, 80, 60}},
        ImScale{"CubicDown", ResampleBicubic,
                "-filter Cubic -define filter:b=0 -define filter:c=1", {80, 60, 40, 30}}),
    [](const ::testing::TestParamInfo<ImScale>& p) { return p.param.name; });

}  // namespace
}  // namespace korvel
