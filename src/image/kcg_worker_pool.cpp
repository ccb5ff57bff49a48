// The KCG streams inflated as job 1001 on the engine's worker pool.
#include "image/kcg_worker_pool.h"

#include "pixel/worker_pool.h"

namespace korvel {

WorkerStatus InflateKcgStreamsRoutine(void* context, WorkerBand band) {
  auto* inflate = static_cast<KcgInflateContext*>(context);
  if (inflate == nullptr || inflate->streams == nullptr || band.first < 0 || band.end() > 2) {
    return WorkerStatus::kBadParameters;
  }
  for (int32_t index = band.first; index < band.end(); ++index) {
    if (!InflateKcgStream(*inflate->streams, index)) {
      inflate->failed[index] = 1;
      return WorkerStatus::kRoutineFailed;
    }
  }
  return WorkerStatus::kOk;
}

int32_t InflateKcgStreamsOnWorkerPool(const KcgStreams& streams) {
  KcgInflateContext context;
  context.streams = &streams;
  // Two indices split over the workers: [0, 1) and [1, 2), or [0, 2) on one worker.
  const WorkerStatus status =
      PostWorkerBands(g_worker_pool, InflateKcgStreamsRoutine, &context, 2);
  if (context.failed[0] != 0) return 1;
  if (context.failed[1] != 0) return 2;
  return status == WorkerStatus::kOk ? 0 : 1;
}

KcgInflater LayerKcgInflater() {
  return PostWorkerCount(g_worker_pool) >= 2 ? InflateKcgStreamsOnWorkerPool
                                             : InflateKcgStreamsInTurn;
}

}  // namespace korvel
