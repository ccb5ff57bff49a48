// The image worker pool: one or two threads that run row-band jobs for a posting thread.
//
// A post fills one job per worker, wakes the workers one by one (each acknowledges), then waits
// until every worker is idle again. There is no queue: one job set runs at a time.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "pixel/worker_job.h"

namespace korvel {

inline constexpr int kMaxWorkers = 2;

// An auto-reset event: Wait returns once the event is signalled and clears it. A waiter spins
// briefly before it sleeps, since posts come in bursts (one per child layer of a frame); a raised
// `park` flag ends the spin at once.
struct WorkerEvent {
  std::mutex mutex;
  std::condition_variable cv;
  std::atomic<bool> signalled{false};

  void Set();
  void Reset();
  void Wait(const std::atomic<bool>* park = nullptr);
};

struct WorkerSlot {
  WorkerJob job;
  WorkerEvent start;        // run your job
  WorkerEvent acknowledge;  // job taken
  WorkerEvent idle;         // job finished (signalled while no job runs)
  std::thread thread;
};

struct WorkerPool {
  int8_t count = 0;              // running workers; 0 before start, when posts run on the caller
  int32_t processor_count = 0;
  std::atomic<uint8_t> quit{0};
  // Raised when the posting thread has no more work for a while (the frame is drawn): idle workers
  // then sleep at once instead of spinning for a next post. The next post lowers it.
  std::atomic<bool> parked{false};
  std::mutex post_lock;          // posts from two threads never interleave
  std::array<WorkerSlot, kMaxWorkers> slots;

  WorkerPool() = default;
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;
  ~WorkerPool();  // stops workers still running
};

extern WorkerPool g_worker_pool;

// min(maximum, max(minimum, processors)), the maximum 1 when the settings field turns multi-core
// use off (field value 0) and never above two.
int ComputeWorkerCount(int processor_count, uint32_t multi_core_field = 1, int minimum = 1,
                       int maximum = kMaxWorkers);

// Processors the system reports (at least 1).
int ProcessorCount();

// Starts `count` workers (clamped to 1..2); false when the pool already runs or a thread cannot
// be created (the pool then runs nothing on threads and posts run on the caller).
bool StartWorkerThreads(WorkerPool& pool, int count);

// Sets the quit flag, wakes every worker and joins them; the pool can be started again.
void StopWorkerThreads(WorkerPool& pool);

// Rows [first, end) of worker `index` of `workers` for a band of `height` rows: worker 0 gets
// [0, height / 2) and worker 1 the rest; one worker gets everything.
void SplitBand(int32_t height, int workers, int index, int32_t& first, int32_t& end);

// Workers a post uses: the running count, or 1 when the pool is not started.
int PostWorkerCount(const WorkerPool& pool);

// Posts jobs[0 .. PostWorkerCount) (job i to worker i) and waits until all are idle. Returns kOk
// when every job succeeded, else the first failure; each job keeps its own status.
WorkerStatus PostWorkerJobs(WorkerPool& pool, WorkerJob* jobs, int job_count);

// Splits `count` rows (or indices) over the workers a post uses, one band each, posts `routine`
// with `context` to every worker and waits; returns as PostWorkerJobs does.
WorkerStatus PostWorkerBands(WorkerPool& pool, WorkerRoutine routine, void* context,
                             int32_t count);
// Tells idle workers that no post follows soon, so they sleep instead of spinning.
void ParkWorkers(WorkerPool& pool);

// A job that does nothing (measures one post-and-wait).
WorkerStatus PostEmptyJob(WorkerPool& pool);

}  // namespace korvel
