// Job 42: integer-factor box downscale of a layer image on the worker pool, band by band.
#pragma once

#include <cstdint>

#include "pixel/pixel_image.h"
#include "pixel/worker_job.h"

namespace korvel {

struct WorkerPool;

// Target rows [first_row, end_row). With k = source width / target width, target pixel (x, y)
// averages source columns source_x + k·x .. + k − 1 of rows source_y + k·y .. + k − 1. The source
// width is also its pitch.
struct DownscaleBoxJob {
  int32_t first_row = 0;
  int32_t end_row = 0;
  int32_t source_x = 0;
  int32_t source_y = 0;
  ConstPixelImage source;
  PixelImage target;
};

// Whether the band's rows and pixels lie inside their buffers and the factor is at least 1.
WorkerStatus CheckDownscaleBox(const DownscaleBoxJob& job);

// Downscales the band's rows: k = 2 goes through the halving row kernel, any other k averages
// each k × k block per channel with integer division by k·k.
WorkerStatus DownscaleBoxBand(const DownscaleBoxJob& job);

// The routine of job 42: the context is the whole DownscaleBoxJob, the band its target rows.
WorkerStatus DownscaleBoxRoutine(void* context, WorkerBand band);

// Checks the whole job, splits its target rows over the workers, posts and waits; `whole`'s
// first_row and end_row are ignored.
WorkerStatus PostDownscaleBox(WorkerPool& pool, const DownscaleBoxJob& whole);

}  // namespace korvel
