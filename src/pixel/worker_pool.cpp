// Worker threads, their start/acknowledge/idle events, and the posting protocol.
#include "pixel/worker_pool.h"

#include <algorithm>
#include <system_error>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace korvel {

namespace {

inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
  _mm_pause();
#else
  std::this_thread::yield();
#endif
}

}  // namespace

WorkerPool g_worker_pool;

WorkerPool::~WorkerPool() { StopWorkerThreads(*this); }

void WorkerEvent::Set() {
  signalled.store(true, std::memory_order_release);
  // Taking the lock orders this against a waiter between its last check and its sleep.
  { std::lock_guard<std::mutex> lock(mutex); }
  cv.notify_one();
}

void WorkerEvent::Reset() { signalled.store(false, std::memory_order_release); }

void WorkerEvent::Wait(const std::atomic<bool>* park) {
  // Spin a little, then give the processor away a few times (the thread being waited for may
  // need it), then sleep.
  for (int spin = 0; spin < 300; ++spin) {
    if (signalled.load(std::memory_order_relaxed) &&
        signalled.exchange(false, std::memory_order_acq_rel)) {
      return;
    }
    if (park != nullptr && park->load(std::memory_order_relaxed)) break;
    if (spin < 200) {
      CpuRelax();
    } else {
      std::this_thread::yield();
    }
  }
  std::unique_lock<std::mutex> lock(mutex);
  cv.wait(lock, [this] { return signalled.exchange(false, std::memory_order_acq_rel); });
}

namespace {

// Wait for the start event; take the job (reset idle, acknowledge); end on the quit flag;
// otherwise run the job, signal idle and wait again.
void WorkerThreadMain(WorkerPool* pool, WorkerSlot* slot) {
  for (;;) {
    slot->start.Wait(&pool->parked);
    slot->idle.Reset();
    slot->acknowledge.Set();
    if (pool->quit.load()) {
      slot->idle.Set();
      return;
    }
    RunWorkerJob(slot->job);
    slot->idle.Set();
  }
}

void ResetSlot(WorkerSlot& slot, uint32_t index) {
  slot.job = WorkerJob{};
  slot.job.worker_index = index;
  slot.start.Reset();
  slot.acknowledge.Reset();
  slot.idle.Set();  // initially signalled: no job runs
}

}  // namespace

int ComputeWorkerCount(int processor_count, uint32_t multi_core_field, int minimum, int maximum) {
  if (multi_core_field == 0) maximum = 1;
  maximum = std::clamp(maximum, 1, kMaxWorkers);
  return std::min(maximum, std::max(minimum, processor_count));
}

int ProcessorCount() {
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : static_cast<int>(n);
}

bool StartWorkerThreads(WorkerPool& pool, int count) {
  std::lock_guard<std::mutex> post(pool.post_lock);
  if (pool.count != 0) return false;
  count = std::clamp(count, 1, kMaxWorkers);
  pool.processor_count = ProcessorCount();
  pool.quit.store(0);
  for (int i = 0; i < count; ++i) {
    WorkerSlot& slot = pool.slots[static_cast<size_t>(i)];
    ResetSlot(slot, static_cast<uint32_t>(i));
    try {
      slot.thread = std::thread(WorkerThreadMain, &pool, &slot);
    } catch (const std::system_error&) {
      // Stop the ones already started; posts then run on the caller.
      pool.quit.store(1);
      for (int j = 0; j < i; ++j) {
        WorkerSlot& started = pool.slots[static_cast<size_t>(j)];
        started.start.Set();
        started.thread.join();
      }
      pool.quit.store(0);
      return false;
    }
  }
  // Processors are left to the scheduler: Linux has no ideal-processor hint, and pinning a worker
  // to a core would stall it whenever that core is busy.
  pool.count = static_cast<int8_t>(count);
  return true;
}

void StopWorkerThreads(WorkerPool& pool) {
  std::lock_guard<std::mutex> post(pool.post_lock);
  if (pool.count == 0) return;
  pool.quit.store(1);
  for (int i = 0; i < pool.count; ++i) pool.slots[static_cast<size_t>(i)].start.Set();
  for (int i = 0; i < pool.count; ++i) {
    WorkerSlot& slot = pool.slots[static_cast<size_t>(i)];
    slot.thread.join();
    ResetSlot(slot, static_cast<uint32_t>(i));
  }
  pool.count = 0;
  pool.quit.store(0);
}

void SplitBand(int32_t height, int workers, int index, int32_t& first, int32_t& end) {
  if (height < 0) height = 0;
  if (workers < 1) workers = 1;
  first = static_cast<int32_t>(int64_t{height} * index / workers);
  end = static_cast<int32_t>(int64_t{height} * (index + 1) / workers);
}

int PostWorkerCount(const WorkerPool& pool) { return pool.count > 0 ? pool.count : 1; }

WorkerStatus PostWorkerJobs(WorkerPool& pool, WorkerJob* jobs, int job_count) {
  std::lock_guard<std::mutex> post(pool.post_lock);
  WorkerStatus result = WorkerStatus::kOk;
  if (pool.count == 0) {
    // Not started: the caller is the only worker.
    for (int i = 0; i < job_count; ++i) {
      jobs[i].worker_index = 0;
      if (RunWorkerJob(jobs[i]) != WorkerStatus::kOk && result == WorkerStatus::kOk) {
        result = jobs[i].status;
      }
    }
    return result;
  }
  const int n = std::min<int>(job_count, pool.count);
  pool.parked.store(false, std::memory_order_relaxed);
  for (int i = 0; i < n; ++i) {
    WorkerSlot& slot = pool.slots[static_cast<size_t>(i)];
    slot.job.routine = jobs[i].routine;
    slot.job.context = jobs[i].context;
    slot.job.band = jobs[i].band;
    slot.job.status = WorkerStatus::kNotRun;
    slot.start.Set();
    slot.acknowledge.Wait();
  }
  for (int i = 0; i < n; ++i) {
    WorkerSlot& slot = pool.slots[static_cast<size_t>(i)];
    slot.idle.Wait();
    jobs[i].worker_index = slot.job.worker_index;
    jobs[i].status = slot.job.status;
    if (jobs[i].status != WorkerStatus::kOk && result == WorkerStatus::kOk) result = jobs[i].status;
  }
  // More jobs than workers cannot run; they report so instead of passing for done.
  for (int i = n; i < job_count; ++i) {
    jobs[i].status = WorkerStatus::kNotRun;
    if (result == WorkerStatus::kOk) result = WorkerStatus::kNotRun;
  }
  return result;
}

WorkerStatus PostWorkerBands(WorkerPool& pool, WorkerRoutine routine, void* context,
                             int32_t count) {
  WorkerJob jobs[kMaxWorkers];
  const int n = PostWorkerCount(pool);
  for (int i = 0; i < n; ++i) {
    int32_t first = 0, end = 0;
    SplitBand(count, n, i, first, end);
    jobs[i].routine = routine;
    jobs[i].context = context;
    jobs[i].band = WorkerBand{first, end - first};
  }
  return PostWorkerJobs(pool, jobs, n);
}

void ParkWorkers(WorkerPool& pool) { pool.parked.store(true, std::memory_order_relaxed); }

namespace {

WorkerStatus DoNothing(void*, WorkerBand) { return WorkerStatus::kOk; }

}  // namespace

WorkerStatus PostEmptyJob(WorkerPool& pool) {
  return PostWorkerBands(pool, DoNothing, nullptr, 0);
}

WorkerStatus RunWorkerJob(WorkerJob& job) {
  job.status = job.routine != nullptr ? job.routine(job.context, job.band)
                                      : WorkerStatus::kNoRoutine;
  return job.status;
}

}  // namespace korvel
