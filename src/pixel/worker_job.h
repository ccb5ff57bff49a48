// A job of the image worker pool: a routine, the poster's context and the band this worker takes.
#pragma once

#include <cstdint>

namespace korvel {

// What a job's routine reports; the poster checks it for every worker.
enum class WorkerStatus : uint32_t {
  kOk = 0,
  kNotRun,          // the job has not been run (also: a worker that saw the quit flag)
  kNoRoutine,       // a job without a routine
  kBadParameters,   // the context names rows or pixels outside a buffer
  kRoutineFailed,   // the routine's own work failed (the context says how, where it matters)
};

// The share of the work one job takes: rows [first, first + count) of a split, or an index range.
struct WorkerBand {
  int32_t first = 0;
  int32_t count = 0;
  int32_t end() const { return first + count; }
};

// Does the band's share of the work described by `context`. The context belongs to the poster,
// lives until the post returns and is shared by every job of the post: a routine writes only what
// its band owns.
using WorkerRoutine = WorkerStatus (*)(void* context, WorkerBand band);

struct WorkerJob {
  WorkerRoutine routine = nullptr;
  void* context = nullptr;
  WorkerBand band;
  uint32_t worker_index = 0;  // set once when the worker starts
  WorkerStatus status = WorkerStatus::kNotRun;
};

// Runs the job's routine on this thread and stores its status in the job.
WorkerStatus RunWorkerJob(WorkerJob& job);

}  // namespace korvel
