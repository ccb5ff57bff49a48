// The compositor's blend jobs 101 to 104 on the worker pool: the same image on one and two
// workers as the kernel over the rows directly, only the clip written, bad clips refused whole,
// and many posts in a row (also run under ThreadSanitizer).
#include "layer/compositor_jobs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "pixel/blend_modes.h"
#include "pixel/pixel_kernels.h"
#include "pixel/pixel_test_util.h"
#include "pixel/worker_pool.h"
#include "pixel/worker_pool_fixture.h"

namespace korvel {
namespace {

using BlendPoolTest = pixel_test::WorkerPoolTest;

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
TEST(CompositorJobs, BlendJobsGiveTheSameImageOnOneAndTwoWorkers) {
  SelectPixelKernels();
  MaskWeightTable weights;
  BuildMaskWeightTable(weights, 140, 20, 200);
  const BlendJobKind kinds[] = {BlendJobKind::kOpaque, BlendJobKind::kMasked,
                                BlendJobKind::kAlpha, BlendJobKind::kMaskedAlpha};
  for (BlendJobKind kind : kinds) {
    for (int mode : {0, 1, 3, 8, 15, 18}) {
      for (int opacity : {256, 200}) {
        Images direct;
        BlendBandJob whole = direct.Job(mode, opacity, &weights);
        whole.first_row = 0;
        whole.end_row = whole.clip.height;
        ASSERT_EQ(BlendBand(BlendFamilyOf(kind), whole), WorkerStatus::kOk);
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

TEST(CompositorJobs, BlendJobWritesOnlyTheClip) {
  Images img;
  const std::vector<uint8_t> before = img.parent;
  MaskWeightTable weights;
  BuildMaskWeightTable(weights, 256, 256, 256);
  ASSERT_EQ(PostBlendJob(g_worker_pool, BlendJobKind::kOpaque, img.Job(0, 256, &weights)),
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

TEST(CompositorJobs, BlendJobOutsideItsBuffersFailsWithoutWriting) {
  MaskWeightTable weights;
  BuildMaskWeightTable(weights, 140, 20, 200);
  struct Case {
    const char* what;
    void (*spoil)(BlendBandJob&);
    BlendJobKind kind;
  };
  const Case cases[] = {
      {"clip below the parent", [](BlendBandJob& b) { b.clip.dest_y = 20; }, BlendJobKind::kOpaque},
      {"clip right of the child", [](BlendBandJob& b) { b.clip.source_x = 8; }, BlendJobKind::kAlpha},
      {"negative destination", [](BlendBandJob& b) { b.clip.dest_x = -1; }, BlendJobKind::kOpaque},
      {"mask too small", [](BlendBandJob& b) { b.mask.height = 20; }, BlendJobKind::kMasked},
      {"no weight table", [](BlendBandJob& b) { b.weights = nullptr; }, BlendJobKind::kMaskedAlpha},
      {"no child pixels", [](BlendBandJob& b) { b.child.pixels = nullptr; }, BlendJobKind::kOpaque},
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
    BlendJobContext context;
    context.kind = BlendJobKind::kOpaque;
    context.whole = b;
    WorkerJob jobs[2];
    for (int i = 0; i < workers; ++i) {
      int32_t first = 0, end = 0;
      SplitBand(b.clip.height, workers, i, first, end);
      jobs[i].routine = BlendBandRoutine;
      jobs[i].context = &context;
      jobs[i].band = WorkerBand{first, end - first};
    }
    EXPECT_EQ(PostWorkerJobs(pool, jobs, workers), WorkerStatus::kBadParameters);
    EXPECT_EQ(jobs[workers - 1].status, WorkerStatus::kBadParameters);
    if (workers == 2) {
      EXPECT_EQ(jobs[0].status, WorkerStatus::kOk);
    }
    StopWorkerThreads(pool);
  }
}

TEST(CompositorJobs, UnknownKindIsRefused) {
  Images img;
  const std::vector<uint8_t> before = img.parent;
  EXPECT_EQ(PostBlendJob(g_worker_pool, static_cast<BlendJobKind>(42), img.Job(0, 256, nullptr)),
            WorkerStatus::kBadParameters);
  EXPECT_EQ(img.parent, before);
}

TEST_P(BlendPoolTest, ManyPostsInARow) {
  std::vector<uint8_t> parent(32 * 8 * 4, 0), child(32 * 8 * 4, 0);
  pixel_test::FillRandom(child, 8);
  BlendBandJob b;
  b.clip = BlitClip{0, 0, 0, 0, 32, 8};
  b.parent = PixelImage{parent.data(), 32, 8};
  b.child = ConstPixelImage{child.data(), 32, 8};
  b.blend_mode = kBlendAdd;
  b.opacity = 256;
  for (int i = 0; i < 10000; ++i) {
    ASSERT_EQ(PostBlendJob(pool_, BlendJobKind::kOpaque, b), WorkerStatus::kOk) << i;
    if (i % 1000 == 0) {
      ASSERT_EQ(PostEmptyJob(pool_), WorkerStatus::kOk);
    }
  }
  // Adding the child 10000 times saturates every byte the child has non-zero.
  for (size_t i = 0; i < parent.size(); ++i) ASSERT_EQ(parent[i], child[i] ? 255 : 0);
}

INSTANTIATE_TEST_SUITE_P(Workers, BlendPoolTest, ::testing::Values(1, 2),
                         pixel_test::WorkerCountName);

}  // namespace
}  // namespace korvel
