// Blending a band of a child's rows into its parent.
#include "pixel/blend_band.h"

namespace korvel {

namespace {

// True when the rectangle of `width` × `rows` pixels at (x, y) lies inside the image.
bool RectInside(int32_t width, int32_t height, const uint8_t* pixels, int64_t x, int64_t y,
                int64_t rect_width, int64_t rows) {
  if (rect_width == 0 || rows == 0) return true;
  return pixels != nullptr && x >= 0 && y >= 0 && x + rect_width <= width && y + rows <= height;
}

bool IsMasked(BlendFamily family) {
  return family == BlendFamily::kMasked || family == BlendFamily::kMaskedAlpha;
}

}  // namespace

WorkerStatus CheckBlendBand(BlendFamily family, const BlendBandJob& job) {
  const BlitClip& c = job.clip;
  const bool masked = IsMasked(family);
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

WorkerStatus BlendBand(BlendFamily family, const BlendBandJob& job) {
  const WorkerStatus check = CheckBlendBand(family, job);
  if (check != WorkerStatus::kOk) return check;
  const BlitClip& c = job.clip;
  const bool masked = IsMasked(family);
  if (job.end_row == job.first_row || c.width == 0) return WorkerStatus::kOk;

  // One lookup per band; table D always takes column 0 (the lookup does that).
  const BlendKernelEntry& e = LookupBlendKernel(family, job.blend_mode, job.opacity);
  const size_t bytes = static_cast<size_t>(c.width) * 4;
  for (int64_t i = job.first_row; i < job.end_row; ++i) {
    uint8_t* dst = job.parent.pixels +
                   (static_cast<size_t>(c.dest_y + i) * static_cast<size_t>(job.parent.width) +
                    static_cast<size_t>(c.dest_x)) * 4;
    const size_t src_index = static_cast<size_t>(c.source_y + i) *
                                 static_cast<size_t>(job.child.width) +
                             static_cast<size_t>(c.source_x);
    const uint8_t* src = job.child.pixels + src_index * 4;
    // A frame's parts are composed after a sleep, from rows that have left the cache: asking for
    // the next row of both pictures now hides that wait behind this row's work.
    if (i + 1 < job.end_row) {
      const size_t parent_row = static_cast<size_t>(job.parent.width) * 4;
      const size_t child_row = static_cast<size_t>(job.child.width) * 4;
      for (size_t b = 0; b < bytes; b += 64) {
        __builtin_prefetch(dst + parent_row + b, 1);
        __builtin_prefetch(src + child_row + b);
      }
    }
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

}  // namespace korvel
