// Writes multi-frame image files: JPEG colour parts with optional greyscale JPEG alpha parts,
// each scrambled by the format's byte transform.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvel::tools {

struct MultiFrameSource {
  std::vector<uint8_t> colour;  // a JPEG file
  std::vector<uint8_t> alpha;   // a greyscale JPEG file, or empty (opaque)
};

struct MultiFrameHeader {
  uint32_t alpha_flag = 0;  // 1: the alpha parts are used
  uint32_t value_a = 0, value_b = 0, value_c = 0;
};

// The whole file: header, tables, then the parts of each frame in order; empty when it would
// pass the format's 4 GiB.
std::vector<uint8_t> WriteMultiFrameFile(const std::vector<MultiFrameSource>& frames,
                                         const MultiFrameHeader& header);

// Encodes rows of blue, green, red, alpha pixels as a JPEG: colour (RGB) or, with `grey`, the
// alpha bytes as a one-component image. Empty on failure.
std::vector<uint8_t> EncodeJpeg(const uint8_t* bgra, int32_t width, int32_t height, bool grey,
                                int quality = 90);

}  // namespace korvel::tools
