// Job dispatch of the worker pool, the blend band jobs and the registered routines.
#include "pixel/worker_jobs.h"

#include <atomic>

#include "pixel/blend_kernels.h"

namespace korvel {

namespace {

std::atomic<ScaleRowsRoutine> g_scale_rows{nullptr};
std::atomic<ScaleFrameBandRoutine> g_scale_frame{nullptr};
std::atomic<ResampleSmoothRoutine> g_resample_smooth{nullptr};

// True when the rectangle of `width` × `rows` pixels at (x, y) lies inside the image.
bool RectInside(int32_t width, int32_t height, const uint8_t* pixels, int64_t x, int64_t y,
                int64_t rect_width, int64_t rows) {
  if (rect_width == 0 || rows == 0) return true;
  return pixels != nullptr && x >= 0 && y >= 0 && x + rect_width <= width && y + rows <= height;
}

bool IsMasked(WorkerJobKind kind) {
  return kind == WorkerJobKind::kBlendMasked || kind == WorkerJobKind::kBlendMaskedAlpha;
}

BlendFamily FamilyOf(WorkerJobKind kind) {
  switch (kind) {
    case WorkerJobKind::kBlendMasked:
      return BlendFamily::kMasked;
    case WorkerJobKind::kBlendAlpha:
      return BlendFamily::kAlpha;
    case WorkerJobKind::kBlendMaskedAlpha:
      return BlendFamily::kMaskedAlpha;
    default:
      return BlendFamily::kOpaque;
  }
}

template <typename Job, typename Routine>
WorkerStatus RunRegistered(const WorkerJobParams& params, const std::atomic<Routine>& slot) {
  const Job* job = std::get_if<Job>(&params);
  if (!job) return WorkerStatus::kBadParameters;
  const Routine routine = slot.load(std::memory_order_acquire);
  return routine ? routine(*job) : WorkerStatus::kNoRoutine;
}

}  // namespace

WorkerStatus CheckBlendBand(WorkerJobKind kind, const BlendBandJob& job) {
  const BlitClip& c = job.clip;
  const bool masked = IsMasked(kind);
  if (job.first_row < 0 || job.end_row < job.first_row || job.end_row > c.height ||
      c.width < 0 || c.height < 0) {
    return WorkerStatus::kBadParameters;
  }
  const int64_t rows = job.end_row - job.first_row;
  const int64_t first = job.first_row;
  if (!RectInside(job.parent.width, job.parent.height, job.parent.pixels, c.dest_x,
                  int64_t{c.dest_y} + first, c.width, rows) ||
      !RectInside(job.child.width, job.child.height, job.child.pixels, c.source_x,
                  int64_t{c.source_y} + first, c.width, rows)) {
    return WorkerStatus::kBadParameters;
  }
  if (masked && rows > 0 && c.width > 0 &&
      (!job.weights || !RectInside(job.mask.width, job.mask.height, job.mask.pixels, c.source_x,
                                   int64_t{c.source_y} + first, c.width, rows))) {
    return WorkerStatus::kBadParameters;
  }
  return WorkerStatus::kOk;
}

WorkerStatus BlendBand(WorkerJobKind kind, const BlendBandJob& job) {
  const WorkerStatus check = CheckBlendBand(kind, job);
  if (check != WorkerStatus::kOk) return check;
  const BlitClip& c = job.clip;
  const bool masked = IsMasked(kind);
  if (job.end_row == job.first_row || c.width == 0) return WorkerStatus::kOk;

  // One lookup per band; table D always takes column 0 (the lookup does that).
  const BlendKernelEntry& e = LookupBlendKernel(FamilyOf(kind), job.blend_mode, job.opacity);
  const size_t bytes = static_cast<size_t>(c.width) * 4;
  for (int64_t i = job.first_row; i < job.end_row; ++i) {
    uint8_t* dst = job.parent.pixels +
                   (static_cast<size_t>(c.dest_y + i) * static_cast<size_t>(job.parent.width) +
                    static_cast<size_t>(c.dest_x)) * 4;
    const size_t src_index = static_cast<size_t>(c.source_y + i) *
                                 static_cast<size_t>(job.child.width) +
                             static_cast<size_t>(c.source_x);
    const uint8_t* src = job.child.pixels + src_index * 4;
    if (masked) {
      const uint8_t* mask = job.mask.pixels + (static_cast<size_t>(c.source_y + i) *
                                                   static_cast<size_t>(job.mask.width) +
                                               static_cast<size_t>(c.source_x)) * 4;
      e.mask_span(dst, src, mask, *job.weights, job.mask_level, job.mask_ramp, bytes);
    } else {
      e.span(dst, src, job.opacity, bytes);
    }
  }
  return WorkerStatus::kOk;
}

WorkerStatus RunWorkerJob(WorkerJob& job) {
  WorkerStatus status = WorkerStatus::kUnknownKind;
  switch (job.kind) {
    case WorkerJobKind::kNone:
      status = WorkerStatus::kOk;
      break;
    case WorkerJobKind::kBlendOpaque:
    case WorkerJobKind::kBlendMasked:
    case WorkerJobKind::kBlendAlpha:
    case WorkerJobKind::kBlendMaskedAlpha:
      if (const auto* b = std::get_if<BlendBandJob>(&job.params)) {
        status = BlendBand(job.kind, *b);
      } else {
        status = WorkerStatus::kBadParameters;
      }
      break;
    case WorkerJobKind::kDownscaleBox:
      if (const auto* d = std::get_if<DownscaleBoxJob>(&job.params)) {
        status = DownscaleBoxBand(*d);
      } else {
        status = WorkerStatus::kBadParameters;
      }
      break;
    case WorkerJobKind::kInflateHalves:
      if (const auto* z = std::get_if<InflateHalvesJob>(&job.params)) {
        status = InflateHalves(*z);
      } else {
        status = WorkerStatus::kBadParameters;
      }
      break;
    case WorkerJobKind::kScaleRows:
      status = RunRegistered<ScaleRowsJob>(job.params, g_scale_rows);
      break;
    case WorkerJobKind::kScaleFrameBand:
      status = RunRegistered<ScaleFrameBandJob>(job.params, g_scale_frame);
      break;
    case WorkerJobKind::kResampleBandSmooth:
      status = RunRegistered<ResampleSmoothJob>(job.params, g_resample_smooth);
      break;
  }
  job.status = status;
  return status;
}

void RegisterScaleRowsRoutine(ScaleRowsRoutine routine) {
  g_scale_rows.store(routine, std::memory_order_release);
}
void RegisterScaleFrameBandRoutine(ScaleFrameBandRoutine routine) {
  g_scale_frame.store(routine, std::memory_order_release);
}
void RegisterResampleSmoothRoutine(ResampleSmoothRoutine routine) {
  g_resample_smooth.store(routine, std::memory_order_release);
}

}  // namespace korvel
