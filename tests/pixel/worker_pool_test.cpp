// Worker pool: counts, band split, routines with their context and band on one and two workers,
// status reporting, shutdown, parking and many posts in a row (also run under ThreadSanitizer).
#include "pixel/worker_pool.h"
#include "pixel/worker_pool_fixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace korvel {
namespace {

using PoolTest = pixel_test::WorkerPoolTest;

// One byte per row; a routine writes its band's rows.
struct Rows {
  std::vector<uint8_t> rows;
  uint8_t value = 0;
};

WorkerStatus MarkRows(void* context, WorkerBand band) {
  auto* r = static_cast<Rows*>(context);
  for (int32_t y = band.first; y < band.end(); ++y) r->rows[static_cast<size_t>(y)] = r->value;
  return WorkerStatus::kOk;
}

// Marks each row with the number of the band that took it (1 for the band from row 0, else 2).
WorkerStatus MarkBands(void* context, WorkerBand band) {
  auto* r = static_cast<Rows*>(context);
  for (int32_t y = band.first; y < band.end(); ++y) {
    r->rows[static_cast<size_t>(y)] = static_cast<uint8_t>(band.first == 0 ? 1 : 2);
  }
  return WorkerStatus::kOk;
}

// Marks its rows, and fails unless its band starts at row 0.
WorkerStatus MarkRowsFailingLater(void* context, WorkerBand band) {
  MarkRows(context, band);
  return band.first == 0 ? WorkerStatus::kOk : WorkerStatus::kRoutineFailed;
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
  Rows r{std::vector<uint8_t>(35, 0), 0};
  ASSERT_EQ(PostWorkerBands(pool_, MarkBands, &r, 35), WorkerStatus::kOk);
  const int first_band = GetParam() == 2 ? 17 : 35;  // 35 / 2 rows, rounded down
  for (int y = 0; y < 35; ++y) {
    EXPECT_EQ(r.rows[static_cast<size_t>(y)], y < first_band ? 1 : 2) << y;
  }
}

TEST_P(PoolTest, RoutinesRunWithTheirContextAndReportFailures) {
  Rows r{std::vector<uint8_t>(20, 0), 11};
  ASSERT_EQ(PostWorkerBands(pool_, MarkRows, &r, 20), WorkerStatus::kOk);
  EXPECT_EQ(r.rows, std::vector<uint8_t>(20, 11));
  // The second worker's routine fails: the post must not pass for a success.
  r.value = 41;
  EXPECT_EQ(PostWorkerBands(pool_, MarkRowsFailingLater, &r, 20),
            GetParam() == 2 ? WorkerStatus::kRoutineFailed : WorkerStatus::kOk);
  EXPECT_EQ(r.rows, std::vector<uint8_t>(20, 41));
}

TEST_P(PoolTest, JobsWithoutRoutinesAndSurplusJobsFail) {
  WorkerJob jobs[2];
  EXPECT_EQ(PostWorkerJobs(pool_, jobs, GetParam()), WorkerStatus::kNoRoutine);
  for (int i = 0; i < GetParam(); ++i) EXPECT_EQ(jobs[i].status, WorkerStatus::kNoRoutine);
  EXPECT_EQ(PostWorkerBands(pool_, nullptr, nullptr, 4), WorkerStatus::kNoRoutine);
  EXPECT_EQ(PostEmptyJob(pool_), WorkerStatus::kOk);
  // More jobs than workers: the extra ones are reported as not run.
  Rows r{std::vector<uint8_t>(3, 0), 7};
  WorkerJob three[3];
  for (int i = 0; i < 3; ++i) {
    three[i].routine = MarkRows;
    three[i].context = &r;
    three[i].band = WorkerBand{i, 1};
  }
  EXPECT_EQ(PostWorkerJobs(pool_, three, 3), WorkerStatus::kNotRun);
  EXPECT_EQ(three[2].status, WorkerStatus::kNotRun);
  EXPECT_EQ(r.rows[2], 0);
  // Each job gets its own band and reports the worker that ran it.
  EXPECT_EQ(PostWorkerJobs(pool_, three, GetParam()), WorkerStatus::kOk);
  for (int i = 0; i < GetParam(); ++i) {
    EXPECT_EQ(r.rows[static_cast<size_t>(i)], 7);
    EXPECT_EQ(three[i].worker_index, static_cast<uint32_t>(i));
  }
}

// Every post adds one to each row of its band; rows of the two bands never meet.
WorkerStatus CountRows(void* context, WorkerBand band) {
  auto* counts = static_cast<std::vector<uint32_t>*>(context);
  for (int32_t y = band.first; y < band.end(); ++y) ++(*counts)[static_cast<size_t>(y)];
  return WorkerStatus::kOk;
}

TEST_P(PoolTest, ManyPostsOfARoutineInARow) {
  std::vector<uint32_t> counts(9, 0);
  for (int i = 0; i < 10000; ++i) {
    ASSERT_EQ(PostWorkerBands(pool_, CountRows, &counts, 9), WorkerStatus::kOk) << i;
    if (i % 1000 == 0) {
      ASSERT_EQ(PostEmptyJob(pool_), WorkerStatus::kOk);
    }
  }
  EXPECT_EQ(counts, std::vector<uint32_t>(9, 10000));
}

// Parked workers sleep at once; every later post still wakes them and runs all its jobs, also
// when parking races with the posts (a second thread parks all the time).
TEST_P(PoolTest, ParkedWorkersWakeForEveryPost) {
  std::vector<uint32_t> counts(9, 0);
  for (int i = 0; i < 200; ++i) {
    ParkWorkers(pool_);
    ASSERT_EQ(PostWorkerBands(pool_, CountRows, &counts, 9), WorkerStatus::kOk) << i;
  }
  std::atomic<bool> stop{false};
  std::thread parker([&] {
    while (!stop.load()) ParkWorkers(pool_);
  });
  for (int i = 0; i < 2000; ++i) {
    ASSERT_EQ(PostWorkerBands(pool_, CountRows, &counts, 9), WorkerStatus::kOk) << i;
  }
  stop.store(true);
  parker.join();
  EXPECT_EQ(counts, std::vector<uint32_t>(9, 2200));
}

std::atomic<int> g_runs{0};

WorkerStatus CountRun(void*, WorkerBand) {
  g_runs.fetch_add(1);
  return WorkerStatus::kOk;
}

TEST_P(PoolTest, WorkerWokenAtShutdownDoesNotRunItsJob) {
  g_runs.store(0);
  ASSERT_EQ(PostWorkerBands(pool_, CountRun, nullptr, 4), WorkerStatus::kOk);
  EXPECT_EQ(g_runs.load(), GetParam());
  // Leave a job in every slot, then stop: the workers wake, see the quit flag and end.
  for (int i = 0; i < pool_.count; ++i) {
    pool_.slots[static_cast<size_t>(i)].job.routine = CountRun;
    pool_.slots[static_cast<size_t>(i)].job.band = WorkerBand{0, 4};
  }
  StopWorkerThreads(pool_);
  EXPECT_EQ(g_runs.load(), GetParam());
  EXPECT_EQ(pool_.count, 0);
  // A stopped pool runs posts on the caller, as one worker.
  ASSERT_EQ(PostWorkerBands(pool_, CountRun, nullptr, 4), WorkerStatus::kOk);
  EXPECT_EQ(g_runs.load(), GetParam() + 1);
  ASSERT_TRUE(StartWorkerThreads(pool_, GetParam()));  // for TearDown
}

INSTANTIATE_TEST_SUITE_P(Workers, PoolTest, ::testing::Values(1, 2),
                         pixel_test::WorkerCountName);

}  // namespace
}  // namespace korvel
