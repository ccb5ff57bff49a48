// Scaling only what changed: the destination parts a change reaches, scaled into the kept
// destination and copied to a model of the screen, leave both equal to a whole-frame scale of
// every frame, for every filter, growing and shrinking, and a part scale writes nothing outside
// its window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "pixel/frame_scalers.h"
#include "pixel/pixel_kernels.h"
#include "pixel/worker_pool.h"
#include "pixel_test_util.h"

namespace korvel {
namespace {

std::vector<uint8_t> WholeScale(FrameFilter f, const std::vector<uint8_t>& src, int32_t sw,
                                int32_t sh, int32_t dw, int32_t dh) {
  std::vector<uint8_t> out(static_cast<size_t>(dw) * dh * 4, 0xCD);
  const int32_t hx = (sw - 1) * 100, hy = (sh - 1) * 100;
  switch (f) {
    case FrameFilter::kNearest:
      EXPECT_EQ(ScaleFrameNearest(out.data(), src.data(), 0, 0, sw - 1, sh - 1, sw, sh, dw, dh), 0);
      break;
    case FrameFilter::kSmooth:
      EXPECT_EQ(ScaleFrameSmooth(out.data(), src.data(), 0, 0, hx, hy, sw, sh, dw * 100, dh * 100),
                0);
      break;
    case FrameFilter::kSmoothThreaded:
      EXPECT_EQ(ScaleFrameSmoothThreaded(out.data(), src.data(), 0, 0, hx, hy, sw, sh, dw * 100,
                                         dh * 100),
                0);
      break;
    case FrameFilter::kSmoothContrast:
      EXPECT_EQ(ScaleFrameSmoothContrast(out.data(), src.data(), 0, 0, hx, hy, sw, sh, dw * 100,
                                         dh * 100),
                0);
      break;
  }
  return out;
}

// Every case on every instruction set: a part's window starts its rows and weights mid-table.
class FrameScalePartsTest : public ::testing::TestWithParam<PixelIsa> {
 protected:
  void SetUp() override {
    SelectPixelKernels();
    InstallPixelKernels(KernelSet::kSse, GetParam());
    ASSERT_TRUE(StartWorkerThreads(g_worker_pool, 2));
  }
  void TearDown() override {
    StopWorkerThreads(g_worker_pool);
    SelectPixelKernels();
  }
};

std::vector<PixelIsa> EveryIsa() {
  std::vector<PixelIsa> isas = {PixelIsa::kScalar};
  for (PixelIsa isa : pixel_test::SimdIsas()) isas.push_back(isa);
  return isas;
}

TEST_P(FrameScalePartsTest, ChangedPartsKeepTheScreenEqualToAWholeScale) {
  struct Size {
    int32_t sw, sh, dw, dh;
  };
  const Size sizes[] = {{40, 30, 61, 47}, {40, 30, 27, 19}, {33, 17, 99, 51},
                        {64, 36, 96, 54}, {17, 23, 17, 23}, {9, 7, 1, 1},
                        {1, 1, 5, 3},     {50, 3, 13, 40},
                        // Parts and whole scales large enough to go to the workers.
                        {320, 180, 1031, 601}};
  const FrameFilter filters[] = {FrameFilter::kNearest, FrameFilter::kSmooth,
                                 FrameFilter::kSmoothThreaded, FrameFilter::kSmoothContrast};
  std::mt19937 rng(6101);
  for (const Size& z : sizes) {
    for (FrameFilter f : filters) {
      SCOPED_TRACE(testing::Message() << z.sw << "x" << z.sh << " -> " << z.dw << "x" << z.dh
                                      << " filter " << static_cast<int>(f));
      std::vector<uint8_t> src(static_cast<size_t>(z.sw) * 4 * (z.sh + 1) + 4);
      for (auto& b : src) b = static_cast<uint8_t>(rng());
      FrameScaleTables t;
      ASSERT_TRUE(BuildFrameScaleTables(f, z.sw, z.sh, z.dw, z.dh, &t));
      std::vector<uint8_t> kept = WholeScale(f, src, z.sw, z.sh, z.dw, z.dh);
      std::vector<uint8_t> screen = kept;
      for (int step = 0; step < 12; ++step) {
        const int parts = 1 + static_cast<int>(rng() % 3);
        std::vector<ScaleRect> changed;
        for (int i = 0; i < parts; ++i) {
          ScaleRect r;
          r.x0 = static_cast<int32_t>(rng() % static_cast<uint32_t>(z.sw));
          r.y0 = static_cast<int32_t>(rng() % static_cast<uint32_t>(z.sh));
          r.x1 = r.x0 + 1 + static_cast<int32_t>(rng() % static_cast<uint32_t>(z.sw - r.x0));
          r.y1 = r.y0 + 1 + static_cast<int32_t>(rng() % static_cast<uint32_t>(z.sh - r.y0));
          for (int32_t y = r.y0; y < r.y1; ++y) {
            for (int32_t x = r.x0; x < r.x1; ++x) {
              for (int c = 0; c < 4; ++c) {
                src[(static_cast<size_t>(y) * z.sw + x) * 4 + c] = static_cast<uint8_t>(rng());
              }
            }
          }
          changed.push_back(r);
        }
        for (const ScaleRect& r : changed) {
          const ScaleRect d = ScaledPartOf(t, r);
          if (d.Empty()) continue;
          ASSERT_EQ(ScaleFramePart(t, kept.data(), src.data(), d), 0);
          for (int32_t y = d.y0; y < d.y1; ++y) {
            const size_t at = (static_cast<size_t>(y) * z.dw + d.x0) * 4;
            std::memcpy(screen.data() + at, kept.data() + at, static_cast<size_t>(d.x1 - d.x0) * 4);
          }
        }
        const std::vector<uint8_t> whole = WholeScale(f, src, z.sw, z.sh, z.dw, z.dh);
        ASSERT_TRUE(kept == whole) << "kept buffer, step " << step;
        ASSERT_TRUE(screen == whole) << "screen, step " << step;
      }
    }
  }
}

TEST_P(FrameScalePartsTest, PartScaleWritesOnlyItsWindow) {
  const int32_t sw = 20, sh = 12, dw = 31, dh = 19;
  std::vector<uint8_t> src(static_cast<size_t>(sw) * 4 * (sh + 1) + 4);
  std::mt19937 rng(3);
  for (auto& b : src) b = static_cast<uint8_t>(rng());
  for (FrameFilter f :
       {FrameFilter::kNearest, FrameFilter::kSmooth, FrameFilter::kSmoothThreaded}) {
    FrameScaleTables t;
    ASSERT_TRUE(BuildFrameScaleTables(f, sw, sh, dw, dh, &t));
    const std::vector<uint8_t> whole = WholeScale(f, src, sw, sh, dw, dh);
    std::vector<uint8_t> out(static_cast<size_t>(dw) * dh * 4, 0xCD);
    // A window reaching past the destination is clipped to it.
    const ScaleRect window{5, 3, 40, 11};
    ASSERT_EQ(ScaleFramePart(t, out.data(), src.data(), window), 0);
    for (int32_t y = 0; y < dh; ++y) {
      for (int32_t x = 0; x < dw; ++x) {
        const bool inside = x >= 5 && y >= 3 && y < 11;
        const size_t at = (static_cast<size_t>(y) * dw + x) * 4;
        ASSERT_EQ(out[at], inside ? whole[at] : 0xCD)
            << x << "," << y << " filter " << static_cast<int>(f);
      }
    }
    // Empty windows and a change beyond the source and its spare column reach nothing.
    EXPECT_EQ(ScaleFramePart(t, out.data(), src.data(), ScaleRect{3, 3, 3, 9}), 0);
    EXPECT_TRUE(ScaledPartOf(t, ScaleRect{sw + 1, 0, sw + 4, 4}).Empty());
    EXPECT_TRUE(ScaledPartOf(t, ScaleRect{2, 2, 2, 5}).Empty());
  }
  FrameScaleTables none;
  EXPECT_FALSE(BuildFrameScaleTables(FrameFilter::kSmooth, 0, 4, 4, 4, &none));
  EXPECT_FALSE(BuildFrameScaleTables(FrameFilter::kNearest, 4, 4, 8193, 4, &none));
  std::vector<uint8_t> out(16, 0xCD);
  EXPECT_EQ(ScaleFramePart(none, out.data(), src.data(), ScaleRect{0, 0, 2, 2}), kScaleRefused);
}

// Into a destination whose rows lie further apart than the width (a window system's picture):
// the window's pixels equal the whole scale's, the bytes past each row and outside the window stay;
// a pitch shorter than a row is refused and writes nothing.
TEST_P(FrameScalePartsTest, PitchedDestinationGetsTheSamePixels) {
  const int32_t sw = 37, sh = 23, dw = 55, dh = 34;
  const size_t row = static_cast<size_t>(dw) * 4, pitch = row + 12;
  std::vector<uint8_t> src(static_cast<size_t>(sw) * 4 * (sh + 1) + 4);
  std::mt19937 rng(11);
  for (auto& b : src) b = static_cast<uint8_t>(rng());
  for (FrameFilter f : {FrameFilter::kNearest, FrameFilter::kSmoothThreaded}) {
    SCOPED_TRACE(static_cast<int>(f));
    FrameScaleTables t;
    ASSERT_TRUE(BuildFrameScaleTables(f, sw, sh, dw, dh, &t));
    const std::vector<uint8_t> whole = WholeScale(f, src, sw, sh, dw, dh);
    std::vector<uint8_t> out(pitch * dh, 0xCD);
    EXPECT_EQ(ScaleFramePart(t, out.data(), row - 4, src.data(), ScaleRect{0, 0, dw, dh}),
              kScaleRefused);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t b) { return b == 0xCD; }));
    const ScaleRect window{4, 2, 50, 30};
    ASSERT_EQ(ScaleFramePart(t, out.data(), pitch, src.data(), window), 0);
    for (int32_t y = 0; y < dh; ++y) {
      for (size_t x = 0; x < pitch; ++x) {
        const bool inside = y >= window.y0 && y < window.y1 && x >= size_t(window.x0) * 4 &&
                            x < size_t(window.x1) * 4;
        ASSERT_EQ(out[y * pitch + x], inside ? whole[y * row + x] : 0xCD) << x << "," << y;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryIsa, FrameScalePartsTest, ::testing::ValuesIn(EveryIsa()),
                         [](const ::testing::TestParamInfo<PixelIsa>& param) {
                           return std::string(PixelIsaName(param.param));
                         });

}  // namespace
}  // namespace korvel
