// Blending a band of a child's rows into its parent through the blend kernel tables.
#pragma once

#include <cstdint>

#include "pixel/blend_kernels.h"
#include "pixel/mask_weights.h"
#include "pixel/pixel_image.h"
#include "pixel/worker_job.h"

namespace korvel {

// Band rows [first_row, end_row) of the clip. Destination row i is parent row dest_y + i from
// column dest_x; source row i is child row source_y + i from column source_x; the mask row is mask
// row source_y + i from column source_x (masked families).
struct BlendBandJob {
  int32_t first_row = 0;
  int32_t end_row = 0;
  BlitClip clip;
  PixelImage parent;
  ConstPixelImage child;
  ConstPixelImage mask;
  int32_t blend_mode = 0;
  int32_t opacity = 256;
  int32_t mask_level = 256;
  int32_t mask_ramp = 0;
  const MaskWeightTable* weights = nullptr;  // masked families
};

// Whether the band's rows, pixels and mask lie inside their buffers (what BlendBand checks first;
// posters check the whole clip with it before posting, so a bad job writes nothing).
WorkerStatus CheckBlendBand(BlendFamily family, const BlendBandJob& job);

// Blends the band through the family's kernel, looked up once (the masked-alpha family always
// takes column 0); kBadParameters without writing when the check fails.
WorkerStatus BlendBand(BlendFamily family, const BlendBandJob& job);

}  // namespace korvel
