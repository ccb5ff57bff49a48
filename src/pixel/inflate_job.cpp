// Job 1001: inflating the two zlib streams of a KCG image on separate workers.
#include <zlib.h>

#include <cstdint>

#include "pixel/worker_jobs.h"

namespace korvel {

namespace {

// A stream must fill exactly its declared size; a short one is as broken as an invalid one.
bool Inflate(uint8_t* out, uint32_t out_size, const uint8_t* in, uint32_t in_size) {
  uLongf len = out_size;
  return uncompress(out, &len, in, in_size) == Z_OK && len == out_size;
}

}  // namespace

WorkerStatus InflateHalves(const InflateHalvesJob& job) {
  if (job.streams == 0) return WorkerStatus::kOk;  // a worker without a stream does nothing
  const uint64_t packed_end =
      uint64_t{kInflateStreamOffset} + job.packed_size_1 + job.packed_size_2;
  const uint64_t unpacked = uint64_t{job.unpacked_size_1} + job.unpacked_size_2;
  if (!job.file || !job.destination || packed_end > job.file_size ||
      unpacked > job.destination_size) {
    return WorkerStatus::kBadParameters;
  }
  const uint8_t* stream1 = job.file + kInflateStreamOffset;
  if ((job.streams & 1) &&
      !Inflate(job.destination, job.unpacked_size_1, stream1, job.packed_size_1)) {
    return WorkerStatus::kStream1Failed;
  }
  if ((job.streams & 2) && !Inflate(job.destination + job.unpacked_size_1, job.unpacked_size_2,
                                    stream1 + job.packed_size_1, job.packed_size_2)) {
    return WorkerStatus::kStream2Failed;
  }
  return WorkerStatus::kOk;
}

}  // namespace korvel
