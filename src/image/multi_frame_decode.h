// Decoding one frame of a multi-frame image file: the colour part (RGB) into a new pixel buffer,
// the alpha part (greyscale) into its alpha bytes. One libjpeg decompressor serves the whole run.
#pragma once

#include <cstdint>

#include "image/image_decode.h"
#include "image/multi_frame_file.h"

namespace korvel {

// Decodes `part` into a new buffer in *out (rows of blue, green, red, alpha; alpha 255 unless the
// part has an alpha image). The alpha image must have the colour image's width and height. On
// failure *out is untouched and the status holds kErrorImageTooLarge (sides in *width, *height,
// for the caller's message), kErrorNoMemory, or 0 for a broken part; the decompressor is reset,
// ready for the next frame.
DecodeStatus DecodeMultiFrame(const MultiFramePart& part, const ImageLimits& limits,
                              DecodedImage* out, int32_t* width, int32_t* height);

// Frees the decompressor (created on the first decode).
void ShutdownMultiFrameDecoder();

}  // namespace korvel
