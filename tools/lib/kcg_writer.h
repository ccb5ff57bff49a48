// Writes KCG image files: 32-bit blue, green, red, alpha pixels, raw or as two zlib streams.
#pragma once

#include <cstdint>
#include <vector>

namespace korvel::tools {

struct KcgWriteOptions {
  bool compress = true;  // two zlib streams; false stores the pixels raw
  // Where the pixel bytes split into the two streams (0..width * height * 4); negative = half,
  // rounded down to whole pixels.
  int64_t split = -1;
  int level = 9;  // zlib level
};

// Builds the file for width x height pixels (rows top-down, pitch width * 4). Returns an empty
// vector when a side is below 1 or compression fails.
std::vector<uint8_t> WriteKcg(const uint8_t* pixels, int32_t width, int32_t height,
                              const KcgWriteOptions& options);

// Writes the file atomically (a temporary file renamed into place). False on failure.
bool SaveKcg(const char* path, const std::vector<uint8_t>& file);

}  // namespace korvel::tools
