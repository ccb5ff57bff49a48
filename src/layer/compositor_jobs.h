// The compositor's blend jobs on the worker pool: kinds 101 to 104, one per blend kernel table.
#pragma once

#include <cstdint>

#include "pixel/blend_band.h"
#include "pixel/blend_kernels.h"
#include "pixel/worker_job.h"

namespace korvel {

struct WorkerPool;

// Blend tables A, C, B and D: an opaque child, a masked one, one with its own alpha, both.
enum class BlendJobKind : uint32_t {
  kOpaque = 101,
  kMasked = 102,
  kAlpha = 103,
  kMaskedAlpha = 104,
};

BlendFamily BlendFamilyOf(BlendJobKind kind);

// What every worker of a blend post reads: the kind and the whole clip (each takes its rows).
struct BlendJobContext {
  BlendJobKind kind = BlendJobKind::kOpaque;
  BlendBandJob whole;
};

// The routine of kinds 101 to 104: blends the band's rows of the context's clip.
WorkerStatus BlendBandRoutine(void* context, WorkerBand band);

// Checks the whole clip, then splits its rows over the workers, posts and waits; `whole`'s
// first_row and end_row are ignored. An unknown kind or a clip outside its buffers writes nothing.
WorkerStatus PostBlendJob(WorkerPool& pool, BlendJobKind kind, const BlendBandJob& whole);

}  // namespace korvel
