// The JPEG decoder on libjpeg: the file is read from memory, errors jump back into the decoder,
// grey and colour images come out as blue, green, red with alpha 255.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "image/image_decode.h"

namespace korvel {

// Errors: 100091 for sides over 8192; a damaged or truncated file, CMYK and YCCK images and any
// component count but 1 and 3 fail without a code of their own (the caller reports 100210).
DecodeStatus DecodeJpegBytes(std::span<const uint8_t> file, const ImageLimits& limits,
                             DecodedImage* out);

}  // namespace korvel
