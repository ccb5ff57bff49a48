// The KCG streams inflated as job 1001 on the engine's worker pool.
#pragma once

#include <cstdint>

#include "image/kcg_decode.h"

namespace korvel {

// Posts job 1001: worker 0 inflates stream 1 and worker 1 stream 2 at once (a single worker
// inflates both). Returns as InflateKcgStreamsInTurn does.
int32_t InflateKcgStreamsOnWorkerPool(const KcgStreams& streams);

// The inflater layer loads use: the pool with two workers, else the calling thread.
KcgInflater LayerKcgInflater();

}  // namespace korvel
