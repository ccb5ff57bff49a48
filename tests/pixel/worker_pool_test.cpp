// Worker pool: counts, band split, every job kind on one and two workers, status reporting,
// shutdown and many posts in a row (also run under ThreadSanitizer).
#include <gtest/gtest.h>

#include <zlib.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "pixel/blend_modes.h"
#include "pixel/pixel_kernels.h"
#include "pixel/worker_pool.h"
#include "pixel_test_util.h"

namespace korvel {

// The scaling jobs' parameters are defined by their posters; the tests define their own.
struct ScaleRowsParams {
  uint8_t* rows;  // one byte per target row
  uint8_t value;
};
struct ScaleFrameParams {
  uint8_t* rows;
};
struct ResampleSmoothParams {
  uint8_t* rows;
};

namespace {

WorkerStatus MarkRows(const ScaleRowsJob& job) {
  for (int32_t y = job.first_row; y < job.end_row; ++y) job.params->rows[y] = job.params->value;
  return WorkerStatus::kOk;
}
WorkerStatus MarkFrameRows(const ScaleFrameBandJob& job) {
  for (int32_t y = job.first_row; y < job.end_row; ++y) job.params->rows[y] = 21;
  return WorkerStatus::kOk;
}
WorkerStatus MarkResampleRows(const ResampleSmoothJob& job) {
  for (int32_t y = job.first_row; y < job.end_row; ++y) job.params->rows[y] = 41;
  return job.first_row == 0 ? WorkerStatus::kOk : WorkerStatus::kRoutineFailed;
}

// A pool started for one test and stopped after it.
class PoolTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    SelectPixelKernels();
    ASSERT_TRUE(StartWorkerThreads(pool_, GetParam()));
  }
  void TearDown() override { StopWorkerThreads(pool_); }
  WorkerPool pool_;
};

struct Images {
  std::vector<uint8_t> parent, child, mask;
  Images() : parent(64 * 48 * 4), child(40 * 37 * 4), mask(40 * 37 * 4) {
    pixel_test::FillRandom(parent, 1);
    pixel_test::FillRandom(child, 2);
    pixel_test::FillRandom(mask, 3);
  }
  BlendBandJob Job(int mode, int opacity, const MaskWeightTable* weights) {
    BlendBandJob b;
    b.clip = BlitClip{3, 2, 10, 5, 33, 35};  // source (3, 2), destination (10, 5), 33 × 35
    b.parent = PixelImage{parent.data(), 64, 48};
    b.child = ConstPixelImage{child.data(), 40, 37};
    b.mask = ConstPixelImage{mask.data(), 40, 37};
    b.blend_mode = mode;
    b.opacity = opacity;
    b.mask_level = 140;
    b.mask_ramp = 20;
    b.weights = weights;
    return b;
  }
};

// Every blend kind and a spread of modes give the same parent on one and two workers, equal to
// running the kernel over the rows directly.
TEST(WorkerPool, BlendJobsGiveTheSameImageOnOneAndTwoWorkers) {
  SelectPixelKernels();
  MaskWeightTable weights;
  BuildMaskWeightTable(weights, 140, 20, 200);
  const WorkerJobKind kinds[] = {WorkerJobKind::kBlendOpaque, WorkerJobKind::kBlendMasked,
                                 WorkerJobKind::kBlendAlpha, WorkerJobKind::kBlendMaskedAlpha};
  for (WorkerJobKind kind : kinds) {
    for (int mode : {0, 1, 3, 8, 15, 18}) {
      for (int opacity : {256, 200}) {
        Images direct;
        BlendBandJob whole = direct.Job(mode, opacity, &weights);
        whole.first_row = 0;
        whole.end_row = whole.clip.height;
        ASSERT_EQ(BlendBand(kind, whole), WorkerStatus::kOk);
        for (int workers : {1, 2}) {
          WorkerPool pool;
          ASSERT_TRUE(StartWorkerThreads(pool, workers));
          Images posted;
          ASSERT_EQ(PostBlendJob(pool, kind, posted.Job(mode, opacity, &weights)),
                    WorkerStatus::kOk);
          EXPECT_EQ(posted.parent, direct.parent)
              << static_cast<int>(kind) << " mode " << mode << " workers " << workers;
          StopWorkerThreads(pool);
        }
      }
    }
  }
}

TEST(WorkerPool, BlendJobWritesOnlyTheClip) {
  Images img;
  const std::vector<uint8_t> before = img.parent;
  MaskWeightTable weights;
  BuildMaskWeightTable(weights, 256, 256, 256);
  ASSERT_EQ(PostBlendJob(g_worker_pool, WorkerJobKind::kBlendOpaque, img.Job(0, 256, &weights)),
            WorkerStatus::kOk);
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 64; ++x) {
      const bool inside = x >= 10 && x < 43 && y >= 5 && y < 40;
      const size_t at = static_cast<size_t>(y * 64 + x) * 4;
      const size_t from = static_cast<size_t>((y - 5 + 2) * 40 + (x - 10 + 3)) * 4;
      if (inside) {
        ASSERT_EQ(std::memcmp(&img.parent[at], &img.child[from], 4), 0) << x << "," << y;
      } else {
        ASSERT_EQ(std::memcmp(&img.parent[at], &before[at], 4), 0) << x << "," << y;
      }
    }
  }
}

TEST(WorkerPool, BlendJobOutsideItsBuffersFailsWithoutWriting) {
  MaskWeightTable weights;
  BuildMaskWeightTable(weights, 140, 20, 200);
  struct Case {
    const char* what;
    void (*spoil)(BlendBandJob&);
    WorkerJobKind kind;
  };
  const Case cases[] = {
      {"clip below the parent", [](BlendBandJob& b) { b.clip.dest_y = 20; }, WorkerJobKind::kBlendOpaque},
      {"clip right of the child", [](BlendBandJob& b) { b.clip.source_x = 8; }, WorkerJobKind::kBlendAlpha},
      {"negative destination", [](BlendBandJob& b) { b.clip.dest_x = -1; }, WorkerJobKind::kBlendOpaque},
      {"mask too small", [](BlendBandJob& b) { b.mask.height = 20; }, WorkerJobKind::kBlendMasked},
      {"no weight table", [](BlendBandJob& b) { b.weights = nullptr; }, WorkerJobKind::kBlendMaskedAlpha},
      {"no child pixels", [](BlendBandJob& b) { b.child.pixels = nullptr; }, WorkerJobKind::kBlendOpaque},
  };
  for (int workers : {1, 2}) {
    WorkerPool pool;
    ASSERT_TRUE(StartWorkerThreads(pool, workers));
    for (const Case& c : cases) {
      Images img;
      const std::vector<uint8_t> before = img.parent;
      BlendBandJob b = img.Job(0, 256, &weights);
      c.spoil(b);
      EXPECT_EQ(PostBlendJob(pool, c.kind, b), WorkerStatus::kBadParameters) << c.what;
      EXPECT_EQ(img.parent, before) << c.what;  // checked whole before it is posted
    }
    // Posted band by band, only worker 1's band leaves the parent: the post still fails.
    Images img;
    BlendBandJob b = img.Job(0, 256, &weights);
    b.clip.dest_y = 20;  // rows 20..54 of a 48-row parent
    WorkerJob jobs[2];
    for (int i = 0; i < workers; ++i) {
      int32_t first = 0, end = 0;
      SplitBand(b.clip.height, workers, i, first, end);
      BlendBandJob band = b;
      band.first_row = first;
      band.end_row = end;
      jobs[i].kind = WorkerJobKind::kBlendOpaque;
      jobs[i].params = band;
    }
    EXPECT_EQ(PostWorkerJobs(pool, jobs, workers), WorkerStatus::kBadParameters);
    EXPECT_EQ(jobs[workers - 1].status, WorkerStatus::kBadParameters);
    if (workers == 2) {
      EXPECT_EQ(jobs[0].status, WorkerStatus::kOk);
    }
    StopWorkerThreads(pool);
  }
}

TEST(WorkerPool, CountsAndBandSplit) {
  EXPECT_EQ(ComputeWorkerCount(8), 2);
  EXPECT_EQ(ComputeWorkerCount(1), 1);
  EXPECT_EQ(ComputeWorkerCount(0), 1);
  EXPECT_EQ(ComputeWorkerCount(8, 0), 1);  // multi-core use turned off
  EXPECT_EQ(ComputeWorkerCount(8, 7), 2);  // any other value keeps two
  EXPECT_EQ(ComputeWorkerCount(8, 1, 1, 5), 2);
  struct Case {
    int32_t h;
    int n;
    int32_t first0, end0, first1, end1;
  };
  const Case cases[] = {{35, 2, 0, 17, 17, 35}, {36, 2, 0, 18, 18, 36}, {1, 2, 0, 0, 0, 1},
                        {0, 2, 0, 0, 0, 0},     {35, 1, 0, 35, 35, 35}};
  for (const Case& c : cases) {
    int32_t f = -1, e = -1;
    SplitBand(c.h, c.n, 0, f, e);
    EXPECT_EQ(f, c.first0);
    EXPECT_EQ(e, c.end0);
    if (c.n == 2) {
      SplitBand(c.h, c.n, 1, f, e);
      EXPECT_EQ(f, c.first1);
      EXPECT_EQ(e, c.end1);
    }
  }
}

TEST_P(PoolTest, OddHeightSplitsAsSpecified) {
  // The registered routine marks the rows it was given; each worker's rows get its own value.
  RegisterScaleRowsRoutine([](const ScaleRowsJob& job) {
    for (int32_t y = job.first_row; y < job.end_row; ++y) {
      job.params->rows[y] = static_cast<uint8_t>(job.first_row == 0 ? 1 : 2);
    }
    return WorkerStatus::kOk;
  });
  std::vector<uint8_t> rows(35, 0);
  ScaleRowsParams params{rows.data(), 0};
  ASSERT_EQ(PostScaleRows(pool_, &params, 35), WorkerStatus::kOk);
  const int first_band = GetParam() == 2 ? 17 : 35;  // 35 / 2 rows, rounded down
  for (int y = 0; y < 35; ++y) EXPECT_EQ(rows[static_cast<size_t>(y)], y < first_band ? 1 : 2) << y;
  RegisterScaleRowsRoutine(nullptr);
}

TEST_P(PoolTest, RegisteredKindsRunTheirRoutinesAndReportWhenMissing) {
  std::vector<uint8_t> rows(20, 0);
  ScaleRowsParams p11{rows.data(), 11};
  ScaleFrameParams p21{rows.data()};
  ResampleSmoothParams p41{rows.data()};
  RegisterScaleRowsRoutine(nullptr);
  RegisterScaleFrameBandRoutine(nullptr);
  RegisterResampleSmoothRoutine(nullptr);
  EXPECT_EQ(PostScaleRows(pool_, &p11, 20), WorkerStatus::kNoRoutine);
  EXPECT_EQ(PostScaleFrameBand(pool_, &p21, 20), WorkerStatus::kNoRoutine);
  EXPECT_EQ(PostResampleSmooth(pool_, &p41, 20), WorkerStatus::kNoRoutine);
  EXPECT_EQ(rows, std::vector<uint8_t>(20, 0));
  RegisterScaleRowsRoutine(MarkRows);
  RegisterScaleFrameBandRoutine(MarkFrameRows);
  RegisterResampleSmoothRoutine(MarkResampleRows);
  EXPECT_EQ(PostScaleRows(pool_, &p11, 20), WorkerStatus::kOk);
  EXPECT_EQ(rows, std::vector<uint8_t>(20, 11));
  EXPECT_EQ(PostScaleFrameBand(pool_, &p21, 20), WorkerStatus::kOk);
  EXPECT_EQ(rows, std::vector<uint8_t>(20, 21));
  // The second worker's routine fails: the post must not pass for a success.
  EXPECT_EQ(PostResampleSmooth(pool_, &p41, 20),
            GetParam() == 2 ? WorkerStatus::kRoutineFailed : WorkerStatus::kOk);
  RegisterScaleRowsRoutine(nullptr);
  RegisterScaleFrameBandRoutine(nullptr);
  RegisterResampleSmoothRoutine(nullptr);
}

TEST_P(PoolTest, UnknownKindsAndMismatchedRecordsFail) {
  WorkerJob jobs[2];
  for (WorkerJob& j : jobs) j.kind = static_cast<WorkerJobKind>(7);
  EXPECT_EQ(PostWorkerJobs(pool_, jobs, GetParam()), WorkerStatus::kUnknownKind);
  for (WorkerJob& j : jobs) {
    j.kind = WorkerJobKind::kDownscaleBox;
    j.params = BlendBandJob{};
  }
  EXPECT_EQ(PostWorkerJobs(pool_, jobs, GetParam()), WorkerStatus::kBadParameters);
  EXPECT_EQ(PostEmptyJob(pool_), WorkerStatus::kOk);
  // More jobs than workers: the extra ones are reported as not run.
  WorkerJob three[3];
  EXPECT_EQ(PostWorkerJobs(pool_, three, 3), WorkerStatus::kNotRun);
  EXPECT_EQ(three[2].status, WorkerStatus::kNotRun);
}

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

TEST_P(PoolTest, DownscaleBoxMatchesTheBoxAverage) {
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

TEST_P(PoolTest, DownscaleTargetWiderThanSourceFailsInsteadOfDividingByZero) {
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

std::vector<uint8_t> Compress(const std::vector<uint8_t>& data) {
  uLongf len = compressBound(data.size());
  std::vector<uint8_t> out(len);
  EXPECT_EQ(compress(out.data(), &len, data.data(), data.size()), Z_OK);
  out.resize(len);
  return out;
}

TEST_P(PoolTest, InflateHalvesFillsBothHalves) {
  std::vector<uint8_t> a(5000), b(3001);
  pixel_test::FillRandom(a, 5);
  for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i / 7);
  const std::vector<uint8_t> pa = Compress(a), pb = Compress(b);
  std::vector<uint8_t> file(kInflateStreamOffset, 0x4B);
  file.insert(file.end(), pa.begin(), pa.end());
  file.insert(file.end(), pb.begin(), pb.end());
  std::vector<uint8_t> dest(a.size() + b.size() + 4, 0);
  InflateHalvesJob job;
  job.unpacked_size_1 = static_cast<uint32_t>(a.size());
  job.packed_size_1 = static_cast<uint32_t>(pa.size());
  job.unpacked_size_2 = static_cast<uint32_t>(b.size());
  job.packed_size_2 = static_cast<uint32_t>(pb.size());
  job.destination = dest.data();
  job.destination_size = dest.size();
  job.file = file.data();
  job.file_size = file.size();
  ASSERT_EQ(PostInflateHalves(pool_, job), WorkerStatus::kOk);
  EXPECT_EQ(std::vector<uint8_t>(dest.begin(), dest.begin() + 5000), a);
  EXPECT_EQ(std::vector<uint8_t>(dest.begin() + 5000, dest.begin() + 8001), b);

  // A broken stream names itself; sizes beyond the file or the buffer are refused.
  std::vector<uint8_t> broken = file;
  broken[kInflateStreamOffset + pa.size() + 3] ^= 0xFF;
  job.file = broken.data();
  EXPECT_EQ(PostInflateHalves(pool_, job), WorkerStatus::kStream2Failed);
  broken = file;
  broken[kInflateStreamOffset + 1] ^= 0xFF;
  EXPECT_EQ(PostInflateHalves(pool_, job), WorkerStatus::kStream1Failed);
  job.file = file.data();
  job.packed_size_2 += 1;
  EXPECT_EQ(PostInflateHalves(pool_, job), WorkerStatus::kBadParameters);
  job.packed_size_2 -= 1;
  job.destination_size = 100;
  EXPECT_EQ(PostInflateHalves(pool_, job), WorkerStatus::kBadParameters);
}

TEST_P(PoolTest, ManyPostsInARow) {
  std::vector<uint8_t> parent(32 * 8 * 4, 0), child(32 * 8 * 4, 0);
  pixel_test::FillRandom(child, 8);
  BlendBandJob b;
  b.clip = BlitClip{0, 0, 0, 0, 32, 8};
  b.parent = PixelImage{parent.data(), 32, 8};
  b.child = ConstPixelImage{child.data(), 32, 8};
  b.blend_mode = kBlendAdd;
  b.opacity = 256;
  for (int i = 0; i < 10000; ++i) {
    ASSERT_EQ(PostBlendJob(pool_, WorkerJobKind::kBlendOpaque, b), WorkerStatus::kOk) << i;
    if (i % 1000 == 0) {
      ASSERT_EQ(PostEmptyJob(pool_), WorkerStatus::kOk);
    }
  }
  // Adding the child 10000 times saturates every byte the child has non-zero.
  for (size_t i = 0; i < parent.size(); ++i) ASSERT_EQ(parent[i], child[i] ? 255 : 0);
}

TEST_P(PoolTest, WorkerWokenAtShutdownDoesNotRunItsJob) {
  std::atomic<int> runs{0};
  static std::atomic<int>* counter = nullptr;
  counter = &runs;
  RegisterScaleRowsRoutine([](const ScaleRowsJob&) {
    counter->fetch_add(1);
    return WorkerStatus::kOk;
  });
  std::vector<uint8_t> rows(4);
  ScaleRowsParams params{rows.data(), 1};
  ASSERT_EQ(PostScaleRows(pool_, &params, 4), WorkerStatus::kOk);
  EXPECT_EQ(runs.load(), GetParam());
  // Leave a job in every slot, then stop: the workers wake, see the quit flag and end.
  for (int i = 0; i < pool_.count; ++i) {
    pool_.slots[static_cast<size_t>(i)].job.kind = WorkerJobKind::kScaleRows;
    pool_.slots[static_cast<size_t>(i)].job.params = ScaleRowsJob{0, 4, &params};
  }
  StopWorkerThreads(pool_);
  EXPECT_EQ(runs.load(), GetParam());
  EXPECT_EQ(pool_.count, 0);
  // A stopped pool runs posts on the caller, as one worker.
  ASSERT_EQ(PostScaleRows(pool_, &params, 4), WorkerStatus::kOk);
  EXPECT_EQ(runs.load(), GetParam() + 1);
  RegisterScaleRowsRoutine(nullptr);
  ASSERT_TRUE(StartWorkerThreads(pool_, GetParam()));  // for TearDown
}

INSTANTIATE_TEST_SUITE_P(Workers, PoolTest, ::testing::Values(1, 2),
                         [](const ::testing::TestParamInfo<int>& param) {
                           return param.param == 1 ? std::string("One") : std::string("Two");
                         });

}  // namespace
}  // namespace korvel
