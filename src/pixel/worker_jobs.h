// Typed job records of the image worker pool and the routines that run them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <variant>

#include "pixel/mask_weights.h"

namespace korvel {

enum class WorkerJobKind : uint32_t {
  kNone = 0,                  // does nothing and succeeds (an empty post)
  kScaleRows = 11,            // nearest-neighbour frame scaling (routine registered by its poster)
  kScaleFrameBand = 21,       // bilinear frame scaling (registered)
  kResampleBandSmooth = 41,   // threaded smooth resample of a layer image (registered)
  kDownscaleBox = 42,         // integer-factor box downscale
  kBlendOpaque = 101,         // blend tables A, B, C and D
  kBlendMasked = 102,
  kBlendAlpha = 103,
  kBlendMaskedAlpha = 104,
  kInflateHalves = 1001,      // the two zlib streams of a KCG image
};

// What a job's routine reports; the poster checks it for every worker.
enum class WorkerStatus : uint32_t {
  kOk = 0,
  kNotRun,          // the job has not been run (also: a worker that saw the quit flag)
  kUnknownKind,     // a kind no routine exists for
  kBadParameters,   // the record does not fit its kind, or names rows or pixels outside a buffer
  kNoRoutine,       // a registered kind whose routine has not been registered yet
  kStream1Failed,   // job 1001: zlib refused stream 1
  kStream2Failed,   // job 1001: zlib refused stream 2
  kRoutineFailed,   // a registered routine reported a failure
};

// A BGRA pixel buffer of width × height pixels, rows width × 4 bytes apart.
struct PixelImage {
  uint8_t* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
};

struct ConstPixelImage {
  const uint8_t* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
};

// One child's rectangle inside its parent's compose rectangle.
struct BlitClip {
  int32_t source_x = 0;
  int32_t source_y = 0;
  int32_t dest_x = 0;
  int32_t dest_y = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// Kinds 101 to 104: band rows [first_row, end_row) of the clip. Destination row i is parent row
// dest_y + i from column dest_x; source row i is child row source_y + i from column source_x; the
// mask row is mask row source_y + i from column source_x (kinds 102 and 104).
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
  const MaskWeightTable* weights = nullptr;  // kinds 102 and 104
};

// Kind 42: target rows [first_row, end_row). With k = source width / target width, target pixel
// (x, y) averages source columns source_x + k·x .. + k − 1 of rows source_y + k·y .. + k − 1.
// The source width is also its pitch.
struct DownscaleBoxJob {
  int32_t first_row = 0;
  int32_t end_row = 0;
  int32_t source_x = 0;
  int32_t source_y = 0;
  ConstPixelImage source;
  PixelImage target;
};

// Kind 1001: stream 1 starts at byte 56 of the file image, stream 2 right after it; stream 1
// inflates to the start of the destination, stream 2 behind its unpacked size.
struct InflateHalvesJob {
  uint32_t unpacked_size_1 = 0;
  uint32_t packed_size_1 = 0;
  uint32_t unpacked_size_2 = 0;
  uint32_t packed_size_2 = 0;
  uint8_t* destination = nullptr;
  size_t destination_size = 0;
  const uint8_t* file = nullptr;
  size_t file_size = 0;
  uint8_t streams = 0;  // which streams this worker inflates: bit 0 stream 1, bit 1 stream 2
};

inline constexpr size_t kInflateStreamOffset = 56;

// Parameters of the scaling jobs belong to the code that posts them; they are defined there.
struct ScaleRowsParams;
struct ScaleFrameParams;
struct ResampleSmoothParams;

// Kinds 11, 21 and 41: target rows [first_row, end_row) and the poster's parameters.
struct ScaleRowsJob {
  int32_t first_row = 0;
  int32_t end_row = 0;
  const ScaleRowsParams* params = nullptr;
};

struct ScaleFrameBandJob {
  int32_t first_row = 0;
  int32_t end_row = 0;
  const ScaleFrameParams* params = nullptr;
};

struct ResampleSmoothJob {
  int32_t first_row = 0;
  int32_t end_row = 0;
  const ResampleSmoothParams* params = nullptr;
};

using WorkerJobParams = std::variant<std::monostate, BlendBandJob, DownscaleBoxJob,
                                     InflateHalvesJob, ScaleRowsJob, ScaleFrameBandJob,
                                     ResampleSmoothJob>;

struct WorkerJob {
  uint32_t worker_index = 0;  // set once when the worker starts
  WorkerJobKind kind = WorkerJobKind::kNone;
  WorkerJobParams params;
  WorkerStatus status = WorkerStatus::kNotRun;
};

// Runs the routine of the job's kind on this thread and stores its status in the job.
WorkerStatus RunWorkerJob(WorkerJob& job);

// The routines of the kinds whose work belongs to other subsystems, registered by them.
using ScaleRowsRoutine = WorkerStatus (*)(const ScaleRowsJob& job);
using ScaleFrameBandRoutine = WorkerStatus (*)(const ScaleFrameBandJob& job);
using ResampleSmoothRoutine = WorkerStatus (*)(const ResampleSmoothJob& job);
void RegisterScaleRowsRoutine(ScaleRowsRoutine routine);
void RegisterScaleFrameBandRoutine(ScaleFrameBandRoutine routine);
void RegisterResampleSmoothRoutine(ResampleSmoothRoutine routine);

// Whether the band's rows, pixels and mask lie inside their buffers (what the routine checks
// first; posters check the whole job with it before posting, so a bad job writes nothing).
WorkerStatus CheckBlendBand(WorkerJobKind kind, const BlendBandJob& job);
WorkerStatus CheckDownscaleBox(const DownscaleBoxJob& job);

// The job routines themselves (also callable directly).
WorkerStatus BlendBand(WorkerJobKind kind, const BlendBandJob& job);
WorkerStatus DownscaleBoxBand(const DownscaleBoxJob& job);
WorkerStatus InflateHalves(const InflateHalvesJob& job);

}  // namespace korvel
