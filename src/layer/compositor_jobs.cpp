// The compositor's blend jobs on the worker pool.
#include "layer/compositor_jobs.h"

#include "pixel/worker_pool.h"

namespace korvel {

namespace {

bool IsBlendKind(BlendJobKind kind) {
  switch (kind) {
    case BlendJobKind::kOpaque:
    case BlendJobKind::kMasked:
    case BlendJobKind::kAlpha:
    case BlendJobKind::kMaskedAlpha:
      return true;
  }
  return false;
}

}  // namespace

BlendFamily BlendFamilyOf(BlendJobKind kind) {
  switch (kind) {
    case BlendJobKind::kMasked:
      return BlendFamily::kMasked;
    case BlendJobKind::kAlpha:
      return BlendFamily::kAlpha;
    case BlendJobKind::kMaskedAlpha:
      return BlendFamily::kMaskedAlpha;
    default:
      return BlendFamily::kOpaque;
  }
}

WorkerStatus BlendBandRoutine(void* context, WorkerBand band) {
  const auto* blend = static_cast<const BlendJobContext*>(context);
  if (blend == nullptr) return WorkerStatus::kBadParameters;
  BlendBandJob job = blend->whole;
  job.first_row = band.first;
  job.end_row = band.end();
  return BlendBand(BlendFamilyOf(blend->kind), job);
}

WorkerStatus PostBlendJob(WorkerPool& pool, BlendJobKind kind, const BlendBandJob& whole) {
  if (!IsBlendKind(kind)) return WorkerStatus::kBadParameters;
  BlendJobContext context;
  context.kind = kind;
  context.whole = whole;
  context.whole.first_row = 0;
  context.whole.end_row = whole.clip.height;
  const WorkerStatus check = CheckBlendBand(BlendFamilyOf(kind), context.whole);
  if (check != WorkerStatus::kOk) return check;
  return PostWorkerBands(pool, BlendBandRoutine, &context, whole.clip.height);
}

}  // namespace korvel
