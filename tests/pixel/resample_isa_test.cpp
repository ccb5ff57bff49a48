// Every instruction set's bicubic and Lanczos filters against the direct per-pixel formulas,
// byte for byte, over seeded random images, sizes, ratios and source rectangles.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "pixel/pixel_kernels.h"
#include "pixel/pixel_resample.h"

namespace korvel {
namespace {

// The filters written straight from their definitions, one destination pixel at a time (the
// bicubic taps in two dimensions, Lanczos through whole lines): the bytes every instruction set
// must give.
uint8_t RoundedClamp(int64_t num, int64_t den) {
  // floor((num + den / 2) / den) for den > 0, clamped to a byte.
  int64_t v = num + den / 2;
  v = v >= 0 ? v / den : -((-v + den - 1) / den);
  return static_cast<uint8_t>(std::clamp<int64_t>(v, 0, 255));
}

const uint8_t* PixelAt(const ResampleSource& s, int64_t x, int64_t y) {
  return s.pixels + (static_cast<size_t>(y) * static_cast<size_t>(s.width) + static_cast<size_t>(x)) * 4;
}

// One axis of Lanczos weights: per destination index the first tap and its weights.
struct LanczosAxis {
  std::vector<int64_t> first;    // first tap (rectangle index) per destination index
  std::vector<int32_t> count;    // taps per destination index
  std::vector<int64_t> weights;  // taps * n, tap k of index i at k * n + i
  int32_t taps = 0;
};

// `valid(j)` says whether rectangle index j can be read.
template <typename Valid>
void BuildLanczosAxis(int32_t n, int64_t span, Valid valid, LanczosAxis* axis) {
  double r;
  double centre_offset = 0.0;
  if (n == 1) {
    r = 1.0 / static_cast<double>(span);
    centre_offset = static_cast<double>(span - 1) / 2.0;
  } else if (span == 1) {
    r = n;
  } else {
    r = static_cast<double>(n - 1) / static_cast<double>(span - 1);
  }
  const double s = std::min(r, 1.0);
  const double h = 2.0 / s;
  axis->taps = static_cast<int32_t>(2.0 * h) + 4;
  const auto taps = static_cast<size_t>(axis->taps);
  axis->first.assign(static_cast<size_t>(n), 0);
  axis->count.assign(static_cast<size_t>(n), 0);
  axis->weights.assign(taps * static_cast<size_t>(n), 0);
  for (int32_t i = 0; i < n; ++i) {
    const double c = n == 1 ? centre_offset : i / r;
    const auto j0 = static_cast<int64_t>(std::floor(c - h));
    const auto j1 = static_cast<int64_t>(std::ceil(c + h));
    axis->first[static_cast<size_t>(i)] = j0;
    int32_t k = 0;
    for (int64_t j = j0; j <= j1 && k < axis->taps; ++j, ++k) {
      const int64_t w = (j >= 0 && j < span && valid(j))
                            ? static_cast<int64_t>(LanczosValue((c - j) * s) * 65536.0)
                            : 0;
      axis->weights[static_cast<size_t>(k) * static_cast<size_t>(n) + static_cast<size_t>(i)] = w;
    }
    axis->count[static_cast<size_t>(i)] = k;
  }
}

// Filters one line: out[i] from the pixels get(j) (j a rectangle index) with the axis' weights;
// `valid(j)` as for the axis.
template <typename Get, typename Valid>
void LanczosLine(const LanczosAxis& axis, int32_t n, Get get, Valid valid, uint8_t* out,
                 std::ptrdiff_t out_step, int64_t span) {
  for (int32_t i = 0; i < n; ++i) {
    int64_t sum[4] = {0, 0, 0, 0};
    int64_t wsum = 0;
    bool any = false;
    int64_t nearest = -1;
    double best = 1e300;
    const int64_t j0 = axis.first[static_cast<size_t>(i)];
    for (int32_t k = 0; k < axis.count[static_cast<size_t>(i)]; ++k) {
      const int64_t j = j0 + k;
      if (j < 0 || j >= span || !valid(j)) continue;
      any = true;
      const int64_t w =
          axis.weights[static_cast<size_t>(k) * static_cast<size_t>(n) + static_cast<size_t>(i)];
      const uint8_t* p = get(j);
      for (int ch = 0; ch < 4; ++ch) sum[ch] += w * p[ch];
      wsum += w;
      const double d = std::fabs(static_cast<double>(k) - static_cast<double>(axis.count[static_cast<size_t>(i)] - 1) / 2.0);
      if (d < best) {
        best = d;
        nearest = j;
      }
    }
    uint8_t* d = out + i * out_step;
    if (!any) {
      std::memset(d, 0, 4);
    } else if (wsum <= 0) {
      std::memcpy(d, get(nearest), 4);
    } else {
      for (int ch = 0; ch < 4; ++ch) d[ch] = RoundedClamp(sum[ch], wsum);
    }
  }
}

// The four taps (-1, 0, +1, +2) around position `pos` (1/256 pixel) along an axis of `size`
// pixels: indices clamped into the image, kernel weights at distances 256 + f, f, 256 - f, 512 - f;
// returns the weights' sum.
int64_t CubicTaps(const std::array<int32_t, 513>& k, int64_t pos, int64_t size, int64_t index[4],
                  int32_t weight[4]) {
  const int64_t base = pos >> 8, f = pos & 255;
  const int64_t distance[4] = {256 + f, f, 256 - f, 512 - f};
  int64_t sum = 0;
  for (int t = 0; t < 4; ++t) {
    index[t] = std::clamp<int64_t>(base - 1 + t, 0, size - 1);
    weight[t] = k[static_cast<size_t>(distance[t])];
    sum += weight[t];
  }
  return sum;
}

void DirectBicubic(uint8_t* dst, int32_t dst_width, int32_t dst_height,
                     const ResampleSource& src) {
  const auto& k = BicubicKernelTable();
  std::vector<int64_t> tx(static_cast<size_t>(dst_width)), ty(static_cast<size_t>(dst_height));
  BuildSourceIndexTable(dst_width, src.span_x, tx.data());
  BuildSourceIndexTable(dst_height, src.span_y, ty.data());
  const int64_t limit_x = int64_t{src.width} * 256, limit_y = int64_t{src.height} * 256;
  for (int32_t y = 0; y < dst_height; ++y) {
    uint8_t* out = dst + static_cast<size_t>(y) * static_cast<size_t>(dst_width) * 4;
    const int64_t py = src.y0 * 256 + ty[static_cast<size_t>(y)];
    if (py < 0 || py >= limit_y) {
      std::memset(out, 0, static_cast<size_t>(dst_width) * 4);
      continue;
    }
    int64_t rows[4];
    int32_t wy[4];
    const int64_t wy_sum = CubicTaps(k, py, src.height, rows, wy);
    for (int32_t x = 0; x < dst_width; ++x) {
      uint8_t* d = out + static_cast<size_t>(x) * 4;
      const int64_t px = src.x0 * 256 + tx[static_cast<size_t>(x)];
      if (px < 0 || px >= limit_x) {
        std::memset(d, 0, 4);
        continue;
      }
      int64_t cols[4];
      int32_t wx[4];
      const int64_t wx_sum = CubicTaps(k, px, src.width, cols, wx);
      int64_t sum[4] = {0, 0, 0, 0};
      for (int ty4 = 0; ty4 < 4; ++ty4) {
        int64_t row[4] = {0, 0, 0, 0};
        for (int tx4 = 0; tx4 < 4; ++tx4) {
          const uint8_t* p = PixelAt(src, cols[tx4], rows[ty4]);
          for (int ch = 0; ch < 4; ++ch) row[ch] += int64_t{wx[tx4]} * p[ch];
        }
        for (int ch = 0; ch < 4; ++ch) sum[ch] += row[ch] * wy[ty4];
      }
      for (int ch = 0; ch < 4; ++ch) d[ch] = RoundedClamp(sum[ch], wx_sum * wy_sum);
    }
  }
}

void DirectLanczos(uint8_t* dst, int32_t dst_width, int32_t dst_height,
                     const ResampleSource& src) {
  // Rows of the rectangle that lie in the image; only those are filtered.
  const int64_t row_first = std::clamp<int64_t>(-src.y0, 0, src.span_y);
  const int64_t row_end = std::clamp<int64_t>(src.height - src.y0, row_first, src.span_y);
  auto col_valid = [&src](int64_t j) { return src.x0 + j >= 0 && src.x0 + j < src.width; };
  auto row_valid = [row_first, row_end](int64_t j) { return j >= row_first && j < row_end; };
  LanczosAxis cols, rows;
  BuildLanczosAxis(dst_width, src.span_x, col_valid, &cols);
  BuildLanczosAxis(dst_height, src.span_y, row_valid, &rows);
  const size_t mid_pitch = static_cast<size_t>(dst_width) * 4;
  std::vector<uint8_t> mid(static_cast<size_t>(row_end - row_first) * mid_pitch + 4);
  for (int64_t j = row_first; j < row_end; ++j) {
    const int64_t y = src.y0 + j;
    auto get = [&src, y](int64_t i) { return PixelAt(src, src.x0 + i, y); };
    LanczosLine(cols, dst_width, get, col_valid,
                mid.data() + static_cast<size_t>(j - row_first) * mid_pitch, 4, src.span_x);
  }
  for (int32_t x = 0; x < dst_width; ++x) {
    const uint8_t* column = mid.data() + static_cast<size_t>(x) * 4;
    auto get = [column, row_first, mid_pitch](int64_t j) {
      return column + static_cast<size_t>(j - row_first) * mid_pitch;
    };
    LanczosLine(rows, dst_height, get, row_valid, dst + static_cast<size_t>(x) * 4,
                static_cast<std::ptrdiff_t>(mid_pitch), src.span_y);
  }
}


constexpr PixelIsa kIsas[] = {PixelIsa::kScalar, PixelIsa::kSse2, PixelIsa::kAvx2};

using Filter = void (*)(PixelIsa, uint8_t*, int32_t, int32_t, const ResampleSource&);
using Direct = void (*)(uint8_t*, int32_t, int32_t, const ResampleSource&);

struct Case {
  int32_t width, height;    // the image
  int64_t x0, y0, span_x, span_y;
  int32_t dst_width, dst_height;
};

std::string Describe(const Case& c) {
  return std::to_string(c.width) + "x" + std::to_string(c.height) + " rect (" +
         std::to_string(c.x0) + "," + std::to_string(c.y0) + ") " + std::to_string(c.span_x) +
         "x" + std::to_string(c.span_y) + " -> " + std::to_string(c.dst_width) + "x" +
         std::to_string(c.dst_height);
}

// Runs one case on every instruction set the processor has and compares with the direct filter.
void Check(const Case& c, Filter filter, Direct direct, uint32_t seed, const char* name) {
  std::vector<uint8_t> image(static_cast<size_t>(c.width) * static_cast<size_t>(c.height) * 4);
  std::mt19937 rng(seed);
  for (auto& b : image) b = static_cast<uint8_t>(rng());
  ResampleSource src;
  src.pixels = image.data();
  src.width = c.width;
  src.height = c.height;
  src.x0 = c.x0;
  src.y0 = c.y0;
  src.span_x = c.span_x;
  src.span_y = c.span_y;
  const size_t bytes = static_cast<size_t>(c.dst_width) * static_cast<size_t>(c.dst_height) * 4;
  std::vector<uint8_t> want(bytes, 0xA5);
  direct(want.data(), c.dst_width, c.dst_height, src);
  for (PixelIsa isa : kIsas) {
    if (!PixelIsaSupported(isa)) continue;
    std::vector<uint8_t> got(bytes, 0x5A);
    filter(isa, got.data(), c.dst_width, c.dst_height, src);
    const auto diff = std::mismatch(got.begin(), got.end(), want.begin());
    ASSERT_TRUE(diff.first == got.end())
        << name << " on " << PixelIsaName(isa) << ", " << Describe(c) << ": byte "
        << (diff.first - got.begin()) << " is " << int{*diff.first} << ", want "
        << int{*diff.second};
  }
}

// Sizes that reach every row end of the SIMD kernels, 1-pixel images and destinations,
// upscales, downscales and extreme ratios, and rectangles partly or wholly outside the image.
const Case kCases[] = {
    {1, 1, 0, 0, 1, 1, 1, 1},          {1, 1, 0, 0, 1, 1, 37, 5},
    {3, 2, 0, 0, 3, 2, 1, 1},          {7, 5, 0, 0, 7, 5, 13, 11},
    {13, 11, 0, 0, 13, 11, 7, 5},      {16, 9, 0, 0, 16, 9, 24, 14},
    {24, 14, 0, 0, 24, 14, 16, 9},     {33, 17, 0, 0, 33, 17, 33, 17},
    {2, 40, 0, 0, 2, 40, 61, 3},       {300, 2, 0, 0, 300, 2, 3, 7},
    {500, 3, 0, 0, 500, 3, 1, 2},      {5, 4, 0, 0, 5, 4, 257, 3},
    {64, 36, 0, 0, 64, 36, 95, 54},    {96, 54, 0, 0, 96, 54, 63, 35},
    {10, 10, -4, -3, 16, 14, 21, 19},  {10, 10, 6, 5, 12, 9, 17, 15},
    {10, 10, -20, 0, 8, 10, 9, 9},     {10, 10, 0, 30, 10, 4, 9, 9},
    {12, 8, 11, -7, 6, 9, 31, 23},     {9, 9, -1, -1, 11, 11, 5, 3},
    {4, 4, -4, 0, 8, 4, 8, 4},         {40000, 1, 0, 0, 40000, 1, 1, 1},
};

TEST(ResampleIsa, BicubicMatchesTheDirectFilter) {
  uint32_t seed = 1;
  for (const Case& c : kCases) {
    if (c.width * c.height > 10000) continue;  // the direct filter is slow on long lines
    Check(c, ResampleBicubicWith, DirectBicubic, seed++, "bicubic");
  }
}

TEST(ResampleIsa, LanczosMatchesTheDirectFilter) {
  uint32_t seed = 100;
  for (const Case& c : kCases) Check(c, ResampleLanczosWith, DirectLanczos, seed++, "Lanczos");
}

// Seeded random sizes, ratios and rectangles.
TEST(ResampleIsa, RandomCasesMatchTheDirectFilters) {
  std::mt19937 rng(29);
  auto pick = [&rng](int32_t lo, int32_t hi) {
    return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
  };
  for (int n = 0; n < 60; ++n) {
    Case c;
    c.width = pick(1, 70);
    c.height = pick(1, 50);
    const bool inside = n % 3 != 0;
    c.span_x = inside ? pick(1, c.width) : pick(1, 90);
    c.span_y = inside ? pick(1, c.height) : pick(1, 70);
    c.x0 = inside ? pick(0, static_cast<int32_t>(c.width - c.span_x)) : pick(-40, 40);
    c.y0 = inside ? pick(0, static_cast<int32_t>(c.height - c.span_y)) : pick(-30, 30);
    c.dst_width = pick(1, 120);
    c.dst_height = pick(1, 60);
    Check(c, ResampleBicubicWith, DirectBicubic, 1000 + static_cast<uint32_t>(n), "bicubic");
    Check(c, ResampleLanczosWith, DirectLanczos, 2000 + static_cast<uint32_t>(n), "Lanczos");
  }
}

// The SIMD bicubic kernels divide by 65536 with a shift: the four weights of every fraction
// must sum to 256.
TEST(ResampleIsa, BicubicWeightsSumTo256AtEveryFraction) {
  const auto& k = BicubicKernelTable();
  for (size_t f = 0; f < 256; ++f) {
    EXPECT_EQ(k[256 + f] + k[f] + k[256 - f] + k[512 - f], 256) << "fraction " << f;
  }
}

// Constant and extreme pixels reach the clamps and the largest sums.
TEST(ResampleIsa, ExtremePixelsMatchTheDirectFilters) {
  for (uint32_t pattern : {0u, 1u, 2u}) {
    const int32_t w = 23, h = 19;
    std::vector<uint8_t> image(static_cast<size_t>(w) * h * 4);
    for (size_t i = 0; i < image.size(); ++i) {
      const size_t px = i / 4;
      image[i] = pattern == 0 ? 255
                 : pattern == 1 ? (((px % static_cast<size_t>(w)) + px / static_cast<size_t>(w)) % 2 ? 255 : 0)
                                : ((px % 3) == 0 ? 255 : 0);
    }
    ResampleSource src;
    src.pixels = image.data();
    src.width = w;
    src.height = h;
    src.span_x = w;
    src.span_y = h;
    for (const auto& [dw, dh] : std::array<std::pair<int32_t, int32_t>, 3>{{{41, 37}, {11, 9}, {23, 19}}}) {
      const size_t bytes = static_cast<size_t>(dw) * static_cast<size_t>(dh) * 4;
      std::vector<uint8_t> want_c(bytes), want_l(bytes);
      DirectBicubic(want_c.data(), dw, dh, src);
      DirectLanczos(want_l.data(), dw, dh, src);
      for (PixelIsa isa : kIsas) {
        if (!PixelIsaSupported(isa)) continue;
        std::vector<uint8_t> got(bytes);
        ResampleBicubicWith(isa, got.data(), dw, dh, src);
        EXPECT_EQ(got, want_c) << "bicubic " << PixelIsaName(isa) << " pattern " << pattern;
        ResampleLanczosWith(isa, got.data(), dw, dh, src);
        EXPECT_EQ(got, want_l) << "Lanczos " << PixelIsaName(isa) << " pattern " << pattern;
      }
    }
  }
}

}  // namespace
}  // namespace korvel
