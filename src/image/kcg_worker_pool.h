// The KCG streams inflated at once on the engine's worker pool (the pool's job 1001).
#pragma once

#include <cstdint>

#include "image/kcg_decode.h"
#include "pixel/worker_job.h"

namespace korvel {

// What every worker of an inflate post reads; each stream's flag is written only by the worker
// that inflates it.
struct KcgInflateContext {
  const KcgStreams* streams = nullptr;
  uint8_t failed[2] = {};
};

// The routine of job 1001: inflates the streams of the band's index range (0: stream 1,
// 1: stream 2) in order, stopping at the first that fails.
WorkerStatus InflateKcgStreamsRoutine(void* context, WorkerBand band);

// Worker 0 inflates stream 1 and worker 1 stream 2 at once (a single worker inflates both).
// Returns as InflateKcgStreamsInTurn does.
int32_t InflateKcgStreamsOnWorkerPool(const KcgStreams& streams);

// The inflater layer loads use: the pool with two workers, else the calling thread.
KcgInflater LayerKcgInflater();

}  // namespace korvel
