// Job 1001 on the worker pool: both streams inflated on one and two workers, a broken stream
// named by its number, sizes beyond the file or the pixels refused.
#include "image/kcg_worker_pool.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <string>
#include <vector>

#include "image/kcg_format.h"
#include "pixel/worker_pool.h"
#include "pixel/worker_pool_fixture.h"

namespace korvel {
namespace {

std::vector<uint8_t> Compress(const std::vector<uint8_t>& data) {
  uLongf len = compressBound(data.size());
  std::vector<uint8_t> out(len);
  EXPECT_EQ(compress(out.data(), &len, data.data(), data.size()), Z_OK);
  out.resize(len);
  return out;
}

class KcgPoolTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    StopWorkerThreads(g_worker_pool);
    ASSERT_TRUE(StartWorkerThreads(g_worker_pool, GetParam()));
  }
  void TearDown() override { StopWorkerThreads(g_worker_pool); }
};

TEST_P(KcgPoolTest, InflatesBothStreamsAndNamesTheBrokenOne) {
  std::vector<uint8_t> a(5000), b(3001);
  for (size_t i = 0; i < a.size(); ++i) a[i] = static_cast<uint8_t>(i * 131 + i / 3);
  for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i / 7);
  const std::vector<uint8_t> pa = Compress(a), pb = Compress(b);
  std::vector<uint8_t> file(kKcgHeaderSize, 0x4B);
  file.insert(file.end(), pa.begin(), pa.end());
  file.insert(file.end(), pb.begin(), pb.end());
  std::vector<uint8_t> dest(a.size() + b.size() + 4, 0);
  KcgStreams streams;
  streams.file = file.data();
  streams.file_size = file.size();
  streams.unpacked[0] = static_cast<uint32_t>(a.size());
  streams.packed[0] = static_cast<uint32_t>(pa.size());
  streams.unpacked[1] = static_cast<uint32_t>(b.size());
  streams.packed[1] = static_cast<uint32_t>(pb.size());
  streams.pixels = dest.data();
  streams.pixel_bytes = dest.size();
  ASSERT_EQ(InflateKcgStreamsOnWorkerPool(streams), 0);
  EXPECT_EQ(std::vector<uint8_t>(dest.begin(), dest.begin() + 5000), a);
  EXPECT_EQ(std::vector<uint8_t>(dest.begin() + 5000, dest.begin() + 8001), b);
  EXPECT_EQ(LayerKcgInflater(), GetParam() == 2 ? InflateKcgStreamsOnWorkerPool
                                                 : InflateKcgStreamsInTurn);

  std::vector<uint8_t> broken = file;
  broken[kKcgHeaderSize + pa.size() + 3] ^= 0xFF;
  streams.file = broken.data();
  EXPECT_EQ(InflateKcgStreamsOnWorkerPool(streams), 2);
  broken = file;
  broken[kKcgHeaderSize + 1] ^= 0xFF;
  EXPECT_EQ(InflateKcgStreamsOnWorkerPool(streams), 1);
  streams.file = file.data();
  streams.packed[1] += 1;  // runs past the file
  EXPECT_NE(InflateKcgStreamsOnWorkerPool(streams), 0);
  streams.packed[1] -= 1;
  streams.pixel_bytes = 100;  // more than the pixels hold
  EXPECT_NE(InflateKcgStreamsOnWorkerPool(streams), 0);
}

TEST(KcgPool, RoutineRefusesBandsOutsideTheTwoStreams) {
  KcgStreams streams;
  KcgInflateContext context;
  context.streams = &streams;
  EXPECT_EQ(InflateKcgStreamsRoutine(&context, WorkerBand{1, 2}), WorkerStatus::kBadParameters);
  EXPECT_EQ(InflateKcgStreamsRoutine(&context, WorkerBand{-1, 1}), WorkerStatus::kBadParameters);
  EXPECT_EQ(InflateKcgStreamsRoutine(nullptr, WorkerBand{0, 1}), WorkerStatus::kBadParameters);
  // An empty band does nothing and succeeds (a third worker would get one).
  EXPECT_EQ(InflateKcgStreamsRoutine(&context, WorkerBand{2, 0}), WorkerStatus::kOk);
}

INSTANTIATE_TEST_SUITE_P(Workers, KcgPoolTest, ::testing::Values(1, 2),
                         pixel_test::WorkerCountName);

}  // namespace
}  // namespace korvel
