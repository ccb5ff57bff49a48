// The GIF decoder: the logical screen, the block walk, every image into the frame table and the
// first frame drawn onto the screen-sized pixels.
#pragma once

#include <cstdint>
#include <span>

#include "image/image_decode.h"

namespace korvel {

// Decodes a whole GIF file. The image takes the logical screen's size (1..8192 each, else
// 100091) and shows the first frame at its place; what the frame does not cover, and its
// transparent index, have alpha 0. Every frame (at most 8192, clipped to the screen) goes to
// `out->frames`. A graphic control block applies to the image right behind it only. A file that
// is not a GIF, or holds no image, fails without a code of its own (the caller reports 100215).
// A truncated or damaged file keeps the frames read so far.
DecodeStatus DecodeGifBytes(std::span<const uint8_t> file, const ImageLimits& limits,
                            DecodedImage* out);

}  // namespace korvel
