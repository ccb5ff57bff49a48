// The JPEG decoder on libjpeg: the file is read from memory, errors jump back into the decoder,
// grey and colour images come out as blue, green, red with alpha 255.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "image/image_decode.h"

struct jpeg_decompress_struct;
struct jpeg_common_struct;

namespace korvel {

// Errors: 100091 for sides over 8192; a damaged or truncated file, CMYK and YCCK images and any
// component count but 1 and 3 fail without a code of their own (the caller reports 100210).
DecodeStatus DecodeJpegBytes(std::span<const uint8_t> file, const ImageLimits& limits,
                             DecodedImage* out);

// The in-memory source's input; the decompressor's client_data points at it.
struct JpegMemoryInput {
  const uint8_t* data = nullptr;
  size_t size = 0;
  bool handed_over = false;
};

// libjpeg callbacks of the in-memory source: init leaves the buffer empty, fill hands over the
// whole file once (asking for more is an end-of-data error), skip never moves past the end.
void JpegMemorySourceInit(jpeg_decompress_struct* cinfo);
int JpegMemorySourceFill(jpeg_decompress_struct* cinfo);
void JpegMemorySourceSkip(jpeg_decompress_struct* cinfo, long count);
void JpegMemorySourceTerm(jpeg_decompress_struct* cinfo);
// The error exit: jumps back to the decoder's recovery point.
[[noreturn]] void JpegErrorExit(jpeg_common_struct* cinfo);

}  // namespace korvel
