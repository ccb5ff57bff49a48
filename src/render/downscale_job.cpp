// Job 42: integer-factor box downscale of a band of target rows.
#include "render/downscale_job.h"

#include "pixel/pixel_kernels.h"
#include "pixel/worker_pool.h"

namespace korvel {

WorkerStatus CheckDownscaleBox(const DownscaleBoxJob& job) {
  const int64_t tw = job.target.width;
  const int64_t sw = job.source.width;
  // A target wider than its source would give k = 0 (and a division by zero below).
  if (tw <= 0 || sw < tw || job.source_x < 0 || job.source_y < 0 || job.first_row < 0 ||
      job.end_row < job.first_row || job.end_row > job.target.height) {
    return WorkerStatus::kBadParameters;
  }
  const int64_t k = sw / tw;
  if (job.end_row == job.first_row) return WorkerStatus::kOk;
  if (!job.source.pixels || !job.target.pixels || job.source_x + k * tw > sw ||
      job.source_y + k * job.end_row > job.source.height) {
    return WorkerStatus::kBadParameters;
  }
  return WorkerStatus::kOk;
}

WorkerStatus DownscaleBoxBand(const DownscaleBoxJob& job) {
  const WorkerStatus check = CheckDownscaleBox(job);
  if (check != WorkerStatus::kOk || job.end_row == job.first_row) return check;
  const int64_t tw = job.target.width;
  const int64_t sw = job.source.width;
  const int64_t k = sw / tw;
  const size_t pitch = static_cast<size_t>(sw) * 4;
  for (int64_t y = job.first_row; y < job.end_row; ++y) {
    uint8_t* out = job.target.pixels + static_cast<size_t>(y * tw) * 4;
    const uint8_t* top = job.source.pixels + static_cast<size_t>(job.source_y + k * y) * pitch +
                         static_cast<size_t>(job.source_x) * 4;
    if (k == 2) {
      g_pixel_kernels.halve_rows(out, top, static_cast<size_t>(sw), static_cast<size_t>(tw));
      continue;
    }
    const uint64_t area = static_cast<uint64_t>(k * k);
    for (int64_t x = 0; x < tw; ++x) {
      uint64_t sum[4] = {0, 0, 0, 0};
      for (int64_t r = 0; r < k; ++r) {
        const uint8_t* p = top + static_cast<size_t>(r) * pitch + static_cast<size_t>(x * k) * 4;
        for (int64_t c = 0; c < k; ++c) {
          for (int ch = 0; ch < 4; ++ch) sum[ch] += p[c * 4 + ch];
        }
      }
      for (int ch = 0; ch < 4; ++ch) out[x * 4 + ch] = static_cast<uint8_t>(sum[ch] / area);
    }
  }
  return WorkerStatus::kOk;
}

WorkerStatus DownscaleBoxRoutine(void* context, WorkerBand band) {
  const auto* whole = static_cast<const DownscaleBoxJob*>(context);
  if (whole == nullptr) return WorkerStatus::kBadParameters;
  DownscaleBoxJob job = *whole;
  job.first_row = band.first;
  job.end_row = band.end();
  return DownscaleBoxBand(job);
}

WorkerStatus PostDownscaleBox(WorkerPool& pool, const DownscaleBoxJob& whole) {
  DownscaleBoxJob all = whole;
  all.first_row = 0;
  all.end_row = whole.target.height;
  const WorkerStatus check = CheckDownscaleBox(all);
  if (check != WorkerStatus::kOk) return check;
  return PostWorkerBands(pool, DownscaleBoxRoutine, &all, whole.target.height);
}

}  // namespace korvel
