// The multi-frame decoder's record: the one libjpeg decompressor of the run and the buffers of the
// decode in flight. Only the decoder's own file changes it; tests read whether it exists.
#pragma once

#include <cstdint>

#include "image/image_decode.h"
#include "image/jpeg_memory_reader.h"

namespace korvel {

struct MultiFrameDecoder {
  bool created = false;  // the decompressor exists
  JpegMemoryReader reader;
  // In flight during a decode.
  DecodedImage image;
  uint8_t* grey_row = nullptr;
  int32_t error_code = 0;
  int32_t width = 0, height = 0;
};

extern MultiFrameDecoder g_multi_frame_decoder;

}  // namespace korvel
