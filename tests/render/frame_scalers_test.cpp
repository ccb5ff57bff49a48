// The frame scalers: known answers of the smooth scaler (sharpened across, plain down), identity at
// 1:1, the spare row and pixel never reaching the output, nearest-neighbour tables and clipping,
// refused arguments, and one or two workers giving the same rows.
#include "pixel/frame_scalers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "pixel/worker_pool.h"
#include "param_names.h"

namespace korvel {
namespace {

// A layer-style buffer: width x height pixels, then a spare row and a spare pixel.
struct Source {
  int32_t width, height;
  std::vector<uint8_t> bytes;
  Source(int32_t w, int32_t h)
      : width(w), height(h), bytes(static_cast<size_t>(w) * 4 * (h + 1) + 4) {}
  uint8_t* pixel(int32_t x, int32_t y) {
    return bytes.data() + (static_cast<size_t>(y) * width + x) * 4;
  }
  void FillSpare(uint8_t v) {
    std::memset(bytes.data() + static_cast<size_t>(width) * 4 * height, v,
                static_cast<size_t>(width) * 4 + 4);
  }
};

Source Gray(int32_t w, int32_t h, const std::vector<uint8_t>& values) {
  Source s(w, h);
  for (size_t i = 0; i < values.size(); ++i) std::memset(s.bytes.data() + i * 4, values[i], 4);
  return s;
}

Source Random(int32_t w, int32_t h, uint32_t seed) {
  Source s(w, h);
  std::mt19937 rng(seed);
  for (size_t i = 0; i < static_cast<size_t>(w) * h * 4; ++i)
    s.bytes[i] = static_cast<uint8_t>(rng());
  return s;
}

using SmoothFn = int32_t (*)(uint8_t*, const uint8_t*, int32_t, int32_t, int32_t, int32_t, int32_t,
                             int32_t, int32_t, int32_t);

class FrameScalerTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override { ASSERT_TRUE(StartWorkerThreads(g_worker_pool, GetParam())); }
  void TearDown() override { StopWorkerThreads(g_worker_pool); }

  // The whole source onto dw x dh through a smooth scaler.
  static std::vector<uint8_t> Smooth(SmoothFn fn, const Source& s, int32_t dw, int32_t dh) {
    std::vector<uint8_t> out(static_cast<size_t>(dw) * dh * 4, 0xCD);
    EXPECT_EQ(fn(out.data(), s.bytes.data(), 0, 0, (s.width - 1) * 100, (s.height - 1) * 100,
                 s.width, s.height, dw * 100, dh * 100),
              0);
    return out;
  }
  static std::vector<uint8_t> Channel(const std::vector<uint8_t>& px, int c) {
    std::vector<uint8_t> v;
    for (size_t i = static_cast<size_t>(c); i < px.size(); i += 4) v.push_back(px[i]);
    return v;
  }
};

const SmoothFn kSmoothScalers[] = {ScaleFrameSmooth, ScaleFrameSmoothThreaded};

TEST_P(FrameScalerTest, SmoothKnownAnswers) {
  for (const SmoothFn fn : kSmoothScalers) {
    // Across, the weights are sharpened: 170 -> 180 and 85 -> 74.
    const auto across = Smooth(fn, Gray(3, 1, {0, 255, 0}), 4, 1);
    for (int c = 0; c < 4; ++c) {
      EXPECT_EQ(Channel(across, c), (std::vector<uint8_t>{0, 179, 181, 0}));
    }
    // Down, they are not.
    const auto down = Smooth(fn, Gray(1, 3, {0, 255, 0}), 1, 4);
    EXPECT_EQ(Channel(down, 1), (std::vector<uint8_t>{0, 169, 170, 0}));
  }
}

TEST_P(FrameScalerTest, OneToOneIsTheIdentity) {
  for (const SmoothFn fn : kSmoothScalers) {
    for (const auto& [w, h] : {std::pair{1, 1}, std::pair{7, 5}, std::pair{64, 3}}) {
      Source s = Random(w, h, static_cast<uint32_t>(w * 100 + h));
      const auto out = Smooth(fn, s, w, h);
      EXPECT_TRUE(std::equal(out.begin(), out.end(), s.bytes.begin())) << w << "x" << h;
    }
  }
}

TEST_P(FrameScalerTest, SpareRowAndPixelNeverReachTheOutput) {
  for (const SmoothFn fn : kSmoothScalers) {
    for (const auto& [dw, dh] : {std::pair{13, 9}, std::pair{5, 3}, std::pair{40, 1}}) {
      Source s = Random(6, 4, 9);
      s.FillSpare(0);
      const auto zero = Smooth(fn, s, dw, dh);
      s.FillSpare(0xFF);
      const auto full = Smooth(fn, s, dw, dh);
      EXPECT_EQ(zero, full) << dw << "x" << dh;
    }
  }
}

TEST_P(FrameScalerTest, DestinationWidthOneTakesTheFirstPixel) {
  Source s = Random(5, 5, 3);
  for (const SmoothFn fn : kSmoothScalers) {
    const auto out = Smooth(fn, s, 1, 1);
    EXPECT_EQ(0, std::memcmp(out.data(), s.pixel(0, 0), 4));
  }
}

TEST_P(FrameScalerTest, SmoothPartsOutsideTheSourceAreZero) {
  Source s = Random(4, 4, 5);
  for (const SmoothFn fn : kSmoothScalers) {
    std::vector<uint8_t> out(8 * 8 * 4, 0xCD);
    // The source rectangle starts two pixels left of and above the image.
    ASSERT_EQ(fn(out.data(), s.bytes.data(), -200, -200, 500, 500, 4, 4, 800, 800), 0);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[(8 * 2 + 2) * 4], s.pixel(0, 0)[0]);
    EXPECT_EQ(out[(8 * 7 + 7) * 4 + 3], 0);  // beyond the right edge
  }
}

TEST_P(FrameScalerTest, NearestKnownAnswers) {
  Source s = Gray(4, 2, {10, 20, 30, 40, 50, 60, 70, 80});
  std::vector<uint8_t> out(8 * 4 * 4, 0xCD);
  ASSERT_EQ(ScaleFrameNearest(out.data(), s.bytes.data(), 0, 0, 3, 1, 4, 2, 8, 4), 0);
  EXPECT_EQ(Channel(out, 0), (std::vector<uint8_t>{10, 10, 20, 20, 30, 30, 40, 40,  //
                                                   10, 10, 20, 20, 30, 30, 40, 40,  //
                                                   50, 50, 60, 60, 70, 70, 80, 80,  //
                                                   50, 50, 60, 60, 70, 70, 80, 80}));
  std::vector<uint8_t> half(2 * 4, 0xCD);
  ASSERT_EQ(ScaleFrameNearest(half.data(), s.bytes.data(), 0, 0, 3, 1, 4, 2, 2, 1), 0);
  EXPECT_EQ(Channel(half, 2), (std::vector<uint8_t>{10, 30}));
  // A source rectangle partly left of the image: those columns are zero.
  std::vector<uint8_t> shifted(4 * 4, 0xCD);
  ASSERT_EQ(ScaleFrameNearest(shifted.data(), s.bytes.data(), -2, 0, 1, 0, 4, 2, 4, 1), 0);
  EXPECT_EQ(Channel(shifted, 0), (std::vector<uint8_t>{0, 0, 10, 20}));
}

TEST_P(FrameScalerTest, RefusedArgumentsWriteNothing) {
  Source s = Random(4, 4, 1);
  std::vector<uint8_t> out(16 * 4, 0xCD);
  EXPECT_EQ(ScaleFrameNearest(out.data(), s.bytes.data(), 0, 0, 3, 3, 4, 4, 0, 4), kScaleRefused);
  EXPECT_EQ(ScaleFrameNearest(out.data(), s.bytes.data(), 3, 0, 0, 3, 4, 4, 4, 4), kScaleRefused);
  EXPECT_EQ(ScaleFrameNearest(out.data(), s.bytes.data(), 0, 0, 3, 3, 4, 4, 8193, 1),
            kScaleRefused);
  EXPECT_EQ(ScaleFrameNearest(nullptr, s.bytes.data(), 0, 0, 3, 3, 4, 4, 4, 4), kScaleRefused);
  for (const SmoothFn fn : kSmoothScalers) {
    EXPECT_EQ(fn(out.data(), s.bytes.data(), 0, 0, 300, 300, 4, 4, 99, 400), kScaleRefused);
    EXPECT_EQ(fn(out.data(), s.bytes.data(), 300, 0, 0, 300, 4, 4, 400, 400), kScaleRefused);
    EXPECT_EQ(fn(out.data(), s.bytes.data(), 0, 0, 300, 300, 0, 4, 400, 400), kScaleRefused);
    EXPECT_EQ(fn(out.data(), s.bytes.data(), 0, 0, 300, 300, 4, 4, 819300, 100), kScaleRefused);
  }
  for (uint8_t b : out) ASSERT_EQ(b, 0xCD);
}

INSTANTIATE_TEST_SUITE_P(Workers, FrameScalerTest, ::testing::Values(1, 2), test::CaseName());

// The row bands of jobs 11 and 21 give the same frame with one worker and with two.
TEST(FrameScalerWorkersTest, OneAndTwoWorkersAgree) {
  Source s = Random(37, 23, 11);
  std::vector<std::vector<uint8_t>> results[2];
  for (int workers = 1; workers <= 2; ++workers) {
    ASSERT_TRUE(StartWorkerThreads(g_worker_pool, workers));
    for (const auto& [dw, dh] : {std::pair{91, 57}, std::pair{13, 7}, std::pair{37, 23}}) {
      std::vector<uint8_t> a(static_cast<size_t>(dw) * dh * 4), b(a.size());
      ScaleFrameNearest(a.data(), s.bytes.data(), 0, 0, 36, 22, 37, 23, dw, dh);
      ScaleFrameSmoothThreaded(b.data(), s.bytes.data(), 0, 0, 3600, 2200, 37, 23, dw * 100,
                               dh * 100);
      results[workers - 1].push_back(a);
      results[workers - 1].push_back(b);
    }
    StopWorkerThreads(g_worker_pool);
  }
  EXPECT_EQ(results[0], results[1]);
}

TEST(SharpenTableTest, KnownEntries) {
  const auto& t = SharpenTable();
  EXPECT_EQ(t[0], 0);
  EXPECT_EQ(t[102], 95);   // 1.25 * -26 + 128 = 95.5
  EXPECT_EQ(t[128], 128);
  EXPECT_EQ(t[170], 180);  // 180.5
  EXPECT_EQ(t[85], 74);    // 74.25
  EXPECT_EQ(t[230], 255);
  EXPECT_EQ(t[255], 255);
}

}  // namespace
}  // namespace korvel
