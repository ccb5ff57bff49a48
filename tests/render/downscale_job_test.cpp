// Job 42, the box downscale: the box average on one and two workers (k = 2 through the halving
// kernel), and targets or sources that do not fit refused without writing.
#include "render/downscale_job.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pixel/pixel_kernels.h"
#include "pixel/pixel_test_util.h"
#include "pixel/worker_pool.h"
#include "pixel/worker_pool_fixture.h"

namespace korvel {
namespace {

using DownscalePoolTest = pixel_test::WorkerPoolTest;

// Box downscale of a w × h source by k into the target, written out plainly.
std::vector<uint8_t> BoxReference(const std::vector<uint8_t>& src, int sw, int sx, int sy, int tw,
                                  int th, int k, KernelSet set) {
  std::vector<uint8_t> out(static_cast<size_t>(tw * th) * 4);
  for (int y = 0; y < th; ++y) {
    for (int x = 0; x < tw; ++x) {
      for (int c = 0; c < 4; ++c) {
        auto at = [&](int xx, int yy) {
          return int{src[static_cast<size_t>(((sy + yy) * sw + sx + xx) * 4 + c)]};
        };
        int v;
        if (k == 2 && set == KernelSet::kSse) {
          const int pu = (at(2 * x, 2 * y) + at(2 * x, 2 * y + 1) + 1) >> 1;
          const int qv = (at(2 * x + 1, 2 * y) + at(2 * x + 1, 2 * y + 1) + 1) >> 1;
          v = (pu + qv + 1) >> 1;
        } else {
          int sum = 0;
          for (int r = 0; r < k; ++r) {
            for (int q = 0; q < k; ++q) sum += at(k * x + q, k * y + r);
          }
          v = sum / (k * k);
        }
        out[static_cast<size_t>((y * tw + x) * 4 + c)] = static_cast<uint8_t>(v);
      }
    }
  }
  return out;
}

TEST_P(DownscalePoolTest, DownscaleBoxMatchesTheBoxAverage) {
  struct Case {
    int sw, sh, sx, sy, tw, th;
  };
  // k = 2 (through slot 21), 3, 1 and 4; odd target heights.
  const Case cases[] = {{64, 41, 0, 1, 32, 19}, {60, 40, 0, 2, 20, 11},
                        {30, 30, 0, 0, 30, 29}, {50, 45, 2, 1, 12, 9}};
  for (const Case& c : cases) {
    std::vector<uint8_t> src(static_cast<size_t>(c.sw * c.sh) * 4);
    pixel_test::FillRandom(src, static_cast<uint32_t>(c.sw));
    std::vector<uint8_t> out(static_cast<size_t>(c.tw * c.th) * 4, 0xEE);
    DownscaleBoxJob job;
    job.source_x = c.sx;
    job.source_y = c.sy;
    job.source = ConstPixelImage{src.data(), c.sw, c.sh};
    job.target = PixelImage{out.data(), c.tw, c.th};
    ASSERT_EQ(PostDownscaleBox(pool_, job), WorkerStatus::kOk) << c.sw << "/" << c.tw;
    EXPECT_EQ(out, BoxReference(src, c.sw, c.sx, c.sy, c.tw, c.th, c.sw / c.tw,
                                g_pixel_selection.set))
        << c.sw << "/" << c.tw;
  }
}

TEST_P(DownscalePoolTest, DownscaleTargetWiderThanSourceFailsInsteadOfDividingByZero) {
  std::vector<uint8_t> src(10 * 10 * 4, 7), out(20 * 5 * 4, 0xEE);
  DownscaleBoxJob job;
  job.source = ConstPixelImage{src.data(), 10, 10};
  job.target = PixelImage{out.data(), 20, 5};  // k = 10 / 20 = 0
  EXPECT_EQ(PostDownscaleBox(pool_, job), WorkerStatus::kBadParameters);
  EXPECT_EQ(out, std::vector<uint8_t>(20 * 5 * 4, 0xEE));
  job.target.width = 0;
  EXPECT_EQ(PostDownscaleBox(pool_, job), WorkerStatus::kBadParameters);
  // Source rows or columns that run out of the source buffer.
  job.target = PixelImage{out.data(), 5, 5};
  job.source_y = 1;  // rows 1..10 of a 10-row source
  EXPECT_EQ(PostDownscaleBox(pool_, job), WorkerStatus::kBadParameters);
  job.source_y = 0;
  job.source_x = 1;  // columns 1..10 of 10
  EXPECT_EQ(PostDownscaleBox(pool_, job), WorkerStatus::kBadParameters);
}

INSTANTIATE_TEST_SUITE_P(Workers, DownscalePoolTest, ::testing::Values(1, 2),
                         pixel_test::WorkerCountName);

}  // namespace
}  // namespace korvel
