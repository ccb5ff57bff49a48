// The KCG streams inflated as job 1001 on the engine's worker pool.
#include "image/kcg_worker_pool.h"

#include "pixel/worker_pool.h"

namespace korvel {

int32_t InflateKcgStreamsOnWorkerPool(const KcgStreams& streams) {
  InflateHalvesJob job;
  job.unpacked_size_1 = streams.unpacked[0];
  job.packed_size_1 = streams.packed[0];
  job.unpacked_size_2 = streams.unpacked[1];
  job.packed_size_2 = streams.packed[1];
  job.destination = streams.pixels;
  job.destination_size = streams.pixel_bytes;
  job.file = streams.file;
  job.file_size = streams.file_size;
  const WorkerStatus status = PostInflateHalves(g_worker_pool, job);
  if (status == WorkerStatus::kOk) return 0;
  return status == WorkerStatus::kStream2Failed ? 2 : 1;
}

KcgInflater LayerKcgInflater() {
  return PostWorkerCount(g_worker_pool) >= 2 ? InflateKcgStreamsOnWorkerPool
                                             : InflateKcgStreamsInTurn;
}

}  // namespace korvel
