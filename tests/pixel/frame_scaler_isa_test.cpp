// The frame scalers on every instruction set against a per-pixel reference written straight from
// their formulas: seeded random sources over many sizes (1-pixel, odd widths, upscale, downscale,
// source rectangles partly outside the image), with one and two workers, and the row kernels
// against the scalar kernels over every weight.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "pixel/frame_scaler_kernels.h"
#include "pixel/frame_scalers.h"
#include "pixel/pixel_kernels.h"
#include "pixel/worker_pool.h"
#include "pixel_test_util.h"

namespace korvel {
namespace {

using pixel_test::FirstDiff;
using pixel_test::FillRandom;

std::vector<PixelIsa> AllIsas() {
  std::vector<PixelIsa> out{PixelIsa::kScalar};
  for (PixelIsa isa : pixel_test::SimdIsas()) out.push_back(isa);
  return out;
}

// A layer-style source: rows of width pixels, then a spare row and a spare pixel (random too, so a
// read of them with a non-zero weight shows).
std::vector<uint8_t> Source(int32_t w, int32_t h, uint32_t seed) {
  std::vector<uint8_t> s(static_cast<size_t>(w) * 4 * (static_cast<size_t>(h) + 1) + 4);
  FillRandom(s, seed);
  return s;
}

// One axis of the smooth scalers in 1/256 pixel: x0, then one entry per destination index.
struct Axis {
  int64_t whole = 0;
  std::vector<int64_t> e;
};

Axis ReferenceAxis(int32_t from, int32_t to, int32_t dst_hundredths, bool sharpen) {
  Axis a;
  a.whole = from / 100;
  const int64_t fraction = (from % 100) * 256 / 100;
  const int64_t span = int64_t{to} - from;
  int64_t den = int64_t{dst_hundredths} - 100;
  if (den == 0) den = 100;
  for (int64_t i = 0; i < dst_hundredths / 100; ++i) {
    int64_t v = dst_hundredths < span ? ((i * 256 + fraction) * span) / den
                                      : (i * 256 * span) / den + fraction;
    if (sharpen) v = (v & ~int64_t{255}) | SharpenTable()[static_cast<size_t>(v & 255)];
    a.e.push_back(v);
  }
  return a;
}

// Indices [first, end) whose source lies inside 0..size - 1, as the scalers choose them.
void Valid(const std::vector<int64_t>& src, int64_t size, int32_t* first, int32_t* end) {
  *first = 0;
  *end = static_cast<int32_t>(src.size());
  for (size_t i = 0; i < src.size(); ++i) {
    if (src[i] < 0) {
      *first = static_cast<int32_t>(i + 1);
    } else if (src[i] >= size) {
      *end = static_cast<int32_t>(i);
      break;
    }
  }
  *end = std::max(*end, *first);
}

enum class Kind { kSingle, kThreaded, kContrast };

// The smooth scalers pixel by pixel.
std::vector<uint8_t> ReferenceSmooth(Kind kind, const std::vector<uint8_t>& src, int32_t sx0,
                                     int32_t sy0, int32_t sx1, int32_t sy1, int32_t sw, int32_t sh,
                                     int32_t dw, int32_t dh) {
  const Axis cols = ReferenceAxis(sx0, sx1, dw, true);
  const Axis rows = ReferenceAxis(sy0, sy1, dh, kind == Kind::kContrast);
  std::vector<int64_t> cs, rs;
  for (int64_t e : cols.e) cs.push_back((e >> 8) + cols.whole);
  for (int64_t e : rows.e) rs.push_back((e >> 8) + rows.whole);
  int32_t fc, ec, fr, er;
  Valid(cs, sw, &fc, &ec);
  Valid(rs, sh, &fr, &er);
  const int32_t w = dw / 100, h = dh / 100;
  std::vector<uint8_t> out(static_cast<size_t>(w) * h * 4, 0);
  for (int32_t y = fr; y < er; ++y) {
    const int64_t r = rows.e[static_cast<size_t>(y)];
    const uint32_t wy = static_cast<uint32_t>(r & 255);
    const uint8_t* top = src.data() + static_cast<size_t>(rs[static_cast<size_t>(y)]) * sw * 4;
    const uint8_t* bottom = top + static_cast<size_t>(sw) * 4;
    for (int32_t x = fc; x < ec; ++x) {
      const uint32_t wx = static_cast<uint32_t>(cols.e[static_cast<size_t>(x)] & 255);
      const size_t o = static_cast<size_t>(cs[static_cast<size_t>(x)]) * 4;
      for (int c = 0; c < 4; ++c) {
        const uint32_t t16 = top[o + c] * (256 - wx) + top[o + 4 + c] * wx;
        const uint32_t b16 = bottom[o + c] * (256 - wx) + bottom[o + 4 + c] * wx;
        uint32_t v = 0;
        if (kind == Kind::kSingle) {
          v = ((t16 >> 8) * (256 - wy) + (b16 >> 8) * wy) >> 8;
        } else if (kind == Kind::kThreaded) {
          v = ((t16 * (256 - wy)) >> 16) + ((b16 * wy) >> 16);
        } else {
          v = (t16 * (256 - wy) + b16 * wy) >> 16;
        }
        out[(static_cast<size_t>(y) * w + x) * 4 + c] = static_cast<uint8_t>(std::min(v, 255u));
      }
    }
  }
  return out;
}

std::vector<uint8_t> ReferenceNearest(const std::vector<uint8_t>& src, int32_t sx0, int32_t sy0,
                                      int32_t sx1, int32_t sy1, int32_t sw, int32_t sh, int32_t dw,
                                      int32_t dh) {
  const auto step_x = static_cast<int32_t>((int64_t{sx1 - sx0 + 1} << 16) / dw);
  const auto step_y = static_cast<int32_t>((int64_t{sy1 - sy0 + 1} << 16) / dh);
  std::vector<int64_t> cs, rs;
  for (int32_t i = 0; i < dw; ++i) cs.push_back(((int64_t{i} * step_x) >> 16) + sx0);
  for (int32_t i = 0; i < dh; ++i) rs.push_back(((int64_t{i} * step_y) >> 16) + sy0);
  int32_t fc, ec, fr, er;
  Valid(cs, sw, &fc, &ec);
  Valid(rs, sh, &fr, &er);
  std::vector<uint8_t> out(static_cast<size_t>(dw) * dh * 4, 0);
  for (int32_t y = fr; y < er; ++y) {
    for (int32_t x = fc; x < ec; ++x) {
      std::memcpy(&out[(static_cast<size_t>(y) * dw + x) * 4],
                  &src[(static_cast<size_t>(rs[static_cast<size_t>(y)]) * sw +
                        static_cast<size_t>(cs[static_cast<size_t>(x)])) * 4],
                  4);
    }
  }
  return out;
}

// One scale: source size, source rectangle in pixels (inclusive), destination size. The smooth
// scalers take the rectangle in hundredths plus a sub-pixel start.
struct Case {
  int32_t sw, sh;
  int32_t x0, y0, x1, y1;
  int32_t dw, dh;
  int32_t sub = 0;  // hundredths added to the smooth scalers' x0 and y0
};

std::vector<Case> Cases() {
  std::vector<Case> cases = {
      {1, 1, 0, 0, 0, 0, 1, 1},        {1, 1, 0, 0, 0, 0, 7, 5},
      {2, 1, 0, 0, 1, 0, 9, 3},        {1, 3, 0, 0, 0, 2, 1, 8},
      {7, 5, 0, 0, 6, 4, 13, 11},      {7, 5, 0, 0, 6, 4, 3, 2},
      {13, 9, 0, 0, 12, 8, 1, 1},      {33, 17, 0, 0, 32, 16, 67, 35},
      {64, 3, 0, 0, 63, 2, 97, 5},     {37, 23, 0, 0, 36, 22, 55, 34},
      {37, 23, 0, 0, 36, 22, 19, 12},  {37, 23, 5, 3, 30, 20, 41, 29, 37},
      {37, 23, -4, -3, 40, 25, 45, 31, 50}, {40, 24, 0, 0, 39, 23, 60, 36},
      {128, 72, 0, 0, 127, 71, 192, 108},   {192, 108, 0, 0, 191, 107, 128, 72},
      {31, 29, 0, 0, 30, 28, 31, 29},  {5, 40, 0, 0, 4, 39, 71, 3},
      // Large enough for the pooled scalers to split their rows over the workers.
      {160, 90, 0, 0, 159, 89, 1031, 601}, {700, 390, 0, 0, 699, 389, 1025, 513},
  };
  std::mt19937 rng(29);
  for (int i = 0; i < 24; ++i) {
    Case c{};
    c.sw = 1 + static_cast<int32_t>(rng() % 70);
    c.sh = 1 + static_cast<int32_t>(rng() % 40);
    c.x0 = static_cast<int32_t>(rng() % 5) - 2;
    c.y0 = static_cast<int32_t>(rng() % 5) - 2;
    c.x1 = c.x0 + static_cast<int32_t>(rng() % static_cast<uint32_t>(c.sw + 3));
    c.y1 = c.y0 + static_cast<int32_t>(rng() % static_cast<uint32_t>(c.sh + 3));
    c.dw = 1 + static_cast<int32_t>(rng() % 150);
    c.dh = 1 + static_cast<int32_t>(rng() % 60);
    c.sub = static_cast<int32_t>(rng() % 100);
    cases.push_back(c);
  }
  return cases;
}

std::string Describe(const Case& c, PixelIsa isa) {
  return std::string(PixelIsaName(isa)) + " " + std::to_string(c.sw) + "x" + std::to_string(c.sh) +
         " [" + std::to_string(c.x0) + "," + std::to_string(c.y0) + ".." + std::to_string(c.x1) +
         "," + std::to_string(c.y1) + "] -> " + std::to_string(c.dw) + "x" +
         std::to_string(c.dh) + " +" + std::to_string(c.sub);
}

class FrameScalerIsaTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override { ASSERT_TRUE(StartWorkerThreads(g_worker_pool, GetParam())); }
  void TearDown() override {
    StopWorkerThreads(g_worker_pool);
    SelectPixelKernels();
  }
};

TEST_P(FrameScalerIsaTest, SmoothScalersMatchTheReferenceOnEveryIsa) {
  using Fn = int32_t (*)(uint8_t*, const uint8_t*, int32_t, int32_t, int32_t, int32_t, int32_t,
                         int32_t, int32_t, int32_t);
  const std::pair<Kind, Fn> scalers[] = {{Kind::kSingle, ScaleFrameSmooth},
                                         {Kind::kThreaded, ScaleFrameSmoothThreaded},
                                         {Kind::kContrast, ScaleFrameSmoothContrast}};
  uint32_t seed = 1;
  for (const Case& c : Cases()) {
    const std::vector<uint8_t> src = Source(c.sw, c.sh, seed++);
    const int32_t hx0 = c.x0 * 100 + c.sub, hy0 = c.y0 * 100 + c.sub;
    const int32_t hx1 = std::max(c.x1 * 100, hx0), hy1 = std::max(c.y1 * 100, hy0);
    for (const auto& [kind, fn] : scalers) {
      const auto want = ReferenceSmooth(kind, src, hx0, hy0, hx1, hy1, c.sw, c.sh, c.dw * 100,
                                        c.dh * 100);
      for (PixelIsa isa : AllIsas()) {
        InstallPixelKernels(KernelSet::kSse, isa);
        std::vector<uint8_t> got(want.size(), 0xCD);
        ASSERT_EQ(fn(got.data(), src.data(), hx0, hy0, hx1, hy1, c.sw, c.sh, c.dw * 100,
                     c.dh * 100),
                  0)
            << Describe(c, isa);
        ASSERT_EQ(FirstDiff(got, want), -1)
            << Describe(c, isa) << " kind " << static_cast<int>(kind);
      }
    }
  }
}

TEST_P(FrameScalerIsaTest, NearestScalerMatchesTheReferenceOnEveryIsa) {
  uint32_t seed = 100;
  for (const Case& c : Cases()) {
    const std::vector<uint8_t> src = Source(c.sw, c.sh, seed++);
    const auto want = ReferenceNearest(src, c.x0, c.y0, c.x1, c.y1, c.sw, c.sh, c.dw, c.dh);
    for (PixelIsa isa : AllIsas()) {
      InstallPixelKernels(KernelSet::kSse, isa);
      std::vector<uint8_t> got(want.size(), 0xCD);
      ASSERT_EQ(ScaleFrameNearest(got.data(), src.data(), c.x0, c.y0, c.x1, c.y1, c.sw, c.sh,
                                  c.dw, c.dh),
                0)
          << Describe(c, isa);
      ASSERT_EQ(FirstDiff(got, want), -1) << Describe(c, isa);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Workers, FrameScalerIsaTest, ::testing::Values(1, 2),
                         [](const ::testing::TestParamInfo<int>& p) {
                           return p.param == 1 ? std::string("One") : std::string("Two");
                         });

// The row kernels of every instruction set against the scalar ones: every row weight, every
// column weight at the extremes of the pixel values, and lengths around each vector width.
TEST(FrameScalerKernelsTest, SimdKernelsMatchScalarForEveryWeight) {
  const FrameScalerKernels& ref = FrameScalerKernelsFor(PixelIsa::kScalar);
  std::mt19937 rng(7);
  for (PixelIsa isa : pixel_test::SimdIsas()) {
    const FrameScalerKernels& k = FrameScalerKernelsFor(isa);
    for (int32_t count : {1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 33, 256}) {
      // Row of 2 * count + 1 pixels with extremes and random bytes; columns at random offsets.
      std::vector<uint8_t> row(static_cast<size_t>(count) * 8 + 8);
      for (auto& b : row) {
        const uint32_t r = rng();
        b = static_cast<uint8_t>(r % 3 == 0 ? 255 : r % 3 == 1 ? 0 : r >> 8);
      }
      std::vector<uint32_t> offsets(static_cast<size_t>(count));
      std::vector<int32_t> columns(static_cast<size_t>(count));
      std::vector<uint16_t> lanes(static_cast<size_t>(count) * 8);
      for (int32_t i = 0; i < count; ++i) {
        const uint32_t px = rng() % static_cast<uint32_t>(count * 2);
        offsets[static_cast<size_t>(i)] = px * 4;
        columns[static_cast<size_t>(i)] = static_cast<int32_t>(px);
        const auto w = static_cast<uint16_t>(i % 3 == 0 ? (i % 2 ? 255 : 0) : rng() % 256);
        for (int c = 0; c < 4; ++c) {
          lanes[static_cast<size_t>(i) * 8 + static_cast<size_t>(c)] =
              static_cast<uint16_t>(256 - w);
          lanes[static_cast<size_t>(i) * 8 + 4 + static_cast<size_t>(c)] = w;
        }
      }
      const size_t values = static_cast<size_t>(count) * 4;
      std::vector<uint16_t> t_ref(values), t_got(values, 0xABCD), b_ref(values);
      ref.horizontal(t_ref.data(), row.data(), offsets.data(), lanes.data(), count);
      k.horizontal(t_got.data(), row.data(), offsets.data(), lanes.data(), count);
      ASSERT_EQ(t_ref, t_got) << PixelIsaName(isa) << " horizontal " << count;
      std::reverse_copy(t_ref.begin(), t_ref.end(), b_ref.begin());
      // The largest sums a horizontal pass gives, beside random ones.
      t_ref[0] = 65280;
      b_ref[values - 1] = 65280;

      std::vector<uint8_t> g_ref(values), g_got(values, 0xCD);
      ref.gather(g_ref.data(), row.data(), columns.data(), count);
      k.gather(g_got.data(), row.data(), columns.data(), count);
      ASSERT_EQ(g_ref, g_got) << PixelIsaName(isa) << " gather " << count;

      for (uint32_t wy = 0; wy < 256; ++wy) {
        for (auto pass : {&FrameScalerKernels::vertical_eight_bit,
                          &FrameScalerKernels::vertical_split,
                          &FrameScalerKernels::vertical_joint}) {
          std::vector<uint8_t> want(values), got(values, 0xCD);
          (ref.*pass)(want.data(), t_ref.data(), b_ref.data(), wy, values);
          (k.*pass)(got.data(), t_ref.data(), b_ref.data(), wy, values);
          ASSERT_EQ(want, got) << PixelIsaName(isa) << " vertical wy " << wy << " count " << count;
        }
      }
    }
  }
}

// The joint pass's carry out of the low halves, over every 16-bit pair at a few weights.
TEST(FrameScalerKernelsTest, JointVerticalCarriesExactly) {
  const FrameScalerKernels& ref = FrameScalerKernelsFor(PixelIsa::kScalar);
  std::vector<uint16_t> t(65281), b(65281);
  for (size_t i = 0; i < t.size(); ++i) {
    t[i] = static_cast<uint16_t>(i);
    b[i] = static_cast<uint16_t>(65280 - i);
  }
  for (PixelIsa isa : pixel_test::SimdIsas()) {
    for (uint32_t wy : {1u, 37u, 128u, 200u, 255u}) {
      std::vector<uint8_t> want(t.size()), got(t.size());
      ref.vertical_joint(want.data(), t.data(), b.data(), wy, t.size());
      FrameScalerKernelsFor(isa).vertical_joint(got.data(), t.data(), b.data(), wy, t.size());
      ASSERT_EQ(FirstDiff(got, want), -1) << PixelIsaName(isa) << " wy " << wy;
    }
  }
}

// The blocked passes against the unblocked scalar ones on the tables of real scales: upscales
// (one 8-pixel window per block), downscales to between one half and one (two windows), and the
// blocks at the right edge and past a partial last block that go column by column. The horizontal
// values are compared after regrouping the scalar row into blocks; the vertical pass at every row
// weight on those rows.
TEST(FrameScalerKernelsTest, BlockedPassesMatchTheUnblockedOnes) {
  const FrameScalerKernels& ref = FrameScalerKernelsFor(PixelIsa::kScalar);
  struct Size {
    int32_t sw, dw;
  };
  const Size sizes[] = {{100, 150}, {150, 100}, {37, 55}, {37, 19}, {1280, 1920},
                        {1920, 1280}, {64, 97}, {9, 16}, {200, 101}};
  bool seen_span[17] = {};
  for (PixelIsa isa : pixel_test::SimdIsas()) {
    const FrameScalerKernels& k = FrameScalerKernelsFor(isa);
    if (k.horizontal_blocks == nullptr) continue;
    for (const Size& size : sizes) {
      FrameScaleTables t;
      ASSERT_TRUE(BuildFrameScaleTables(FrameFilter::kSmooth, size.sw, 2, size.dw, 2, &t));
      ASSERT_FALSE(t.blocks.empty()) << size.sw << " -> " << size.dw;
      for (const ScaleBlock& b : t.blocks) seen_span[b.span] = true;
      const auto count = static_cast<int32_t>(t.blocks.size());
      const size_t values = static_cast<size_t>(count) * kScaleBlockValues;
      // Two rows and the spare row and pixel, as a layer buffer has them.
      const std::vector<uint8_t> src = Source(size.sw, 2, static_cast<uint32_t>(size.dw));
      std::vector<uint16_t> rows[2];
      for (int r = 0; r < 2; ++r) {
        const uint8_t* row = src.data() + static_cast<size_t>(r) * size.sw * 4;
        std::vector<uint16_t> flat(static_cast<size_t>(t.end_col - t.first_col) * 4);
        ref.horizontal(flat.data(), row, t.offsets.data(), t.lanes.data(), t.end_col - t.first_col);
        std::vector<uint16_t> want(values, 0);
        for (int32_t x = t.first_col; x < t.end_col; ++x) {
          uint16_t* block = want.data() + static_cast<size_t>(x / 8) * kScaleBlockValues;
          const uint16_t* v = flat.data() + static_cast<size_t>(x - t.first_col) * 4;
          const int32_t j = x % 8;
          block[2 * j] = v[0];
          block[2 * j + 1] = v[2];
          block[16 + 2 * j] = v[1];
          block[16 + 2 * j + 1] = v[3];
        }
        rows[r].assign(values, 0xABCD);
        k.horizontal_blocks(rows[r].data(), row, t.blocks.data(), count);
        ASSERT_EQ(rows[r], want)
            << PixelIsaName(isa) << " horizontal " << size.sw << " -> " << size.dw;
      }
      // The unblocked rows: block values back in pixel order.
      std::vector<uint16_t> flat[2];
      for (int r = 0; r < 2; ++r) {
        flat[r].resize(values);
        for (size_t i = 0; i < values / kScaleBlockValues * 8; ++i) {
          const uint16_t* block = rows[r].data() + i / 8 * kScaleBlockValues;
          const size_t j = i % 8;
          flat[r][4 * i] = block[2 * j];
          flat[r][4 * i + 1] = block[16 + 2 * j];
          flat[r][4 * i + 2] = block[2 * j + 1];
          flat[r][4 * i + 3] = block[16 + 2 * j + 1];
        }
      }
      // Whole rows at every row weight, then column ranges that start and end inside blocks:
      // those columns alone are written.
      const int32_t width = count * kScaleBlockColumns;
      std::vector<std::pair<int32_t, int32_t>> ranges = {{0, width}};
      std::mt19937 rng(static_cast<uint32_t>(size.sw));
      for (int n = 0; n < 6; ++n) {
        const auto a = static_cast<int32_t>(rng() % static_cast<uint32_t>(width));
        const auto b = static_cast<int32_t>(rng() % static_cast<uint32_t>(width + 1));
        ranges.emplace_back(std::min(a, b), std::max(a, b));
      }
      for (uint32_t wy = 0; wy < 256; ++wy) {
        for (auto [pass, blocked] :
             {std::pair{&FrameScalerKernels::vertical_eight_bit,
                        &FrameScalerKernels::vertical_blocks_eight_bit},
              std::pair{&FrameScalerKernels::vertical_split,
                        &FrameScalerKernels::vertical_blocks_split},
              std::pair{&FrameScalerKernels::vertical_joint,
                        &FrameScalerKernels::vertical_blocks_joint}}) {
          std::vector<uint8_t> whole(values);
          (ref.*pass)(whole.data(), flat[0].data(), flat[1].data(), wy, values);
          for (const auto& [x0, x1] : ranges) {
            if (wy % 51 != 0 && x0 != 0) continue;
            std::vector<uint8_t> want(values, 0xCD), got(values, 0xCD);
            std::copy(whole.begin() + x0 * 4, whole.begin() + x1 * 4, want.begin() + x0 * 4);
            const size_t first = static_cast<size_t>(x0 / kScaleBlockColumns) * kScaleBlockValues;
            (k.*blocked)(got.data(), rows[0].data() + first, rows[1].data() + first, wy, x0, x1);
            ASSERT_EQ(FirstDiff(got, want), -1) << PixelIsaName(isa) << " vertical wy " << wy
                                                << " columns " << x0 << ".." << x1 << " of "
                                                << size.sw << " -> " << size.dw;
          }
        }
      }
    }
    EXPECT_TRUE(seen_span[0] && seen_span[8] && seen_span[16]);
  }
}

// Downscales past one half read pixels too far apart for a block's windows: those tables keep no
// blocks, and the scalers take the unblocked passes.
TEST(FrameScalerKernelsTest, DownscalesPastOneHalfKeepNoBlocks) {
  FrameScaleTables t;
  ASSERT_TRUE(BuildFrameScaleTables(FrameFilter::kSmoothThreaded, 1000, 10, 300, 10, &t));
  EXPECT_TRUE(t.blocks.empty());
}

}  // namespace
}  // namespace korvel
