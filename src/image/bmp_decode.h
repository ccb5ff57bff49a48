// The BMP decoder: Windows bitmaps with a 40-byte or larger information header, 1, 4 and 8-bit
// palettes and 24 and 32-bit pixels, stored bottom-up.
#pragma once

#include <cstdint>
#include <span>

#include "image/image_decode.h"

namespace korvel {

// Errors: 100070 not a bitmap (no "BM", headers or palette outside the file, an information
// header below 40 bytes); 100080 pixel-data offset below 11 or rows outside the file; 100090 a
// compressed palette image or any other unsupported layout (bit counts other than 1, 4, 8, 24 and
// 32, unusual 32-bit masks); 100091 a side of 0, a negative width or a side over 8192; 100092
// a top-down file (negative height). 32-bit files keep their fourth byte as alpha.
DecodeStatus DecodeBmpBytes(std::span<const uint8_t> file, const ImageLimits& limits,
                            DecodedImage* out);

}  // namespace korvel
