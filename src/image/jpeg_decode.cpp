// The JPEG decoder. libjpeg reports errors by jumping back to the setjmp in RunJpegDecode; its
// state lives in the JpegDecodeState record and no object with a destructor lives across the
// jump. libjpeg-turbo writes blue, green, red, alpha rows straight into the pixels.
#include "image/jpeg_decode.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "image/jpeg_memory_reader.h"

#ifndef JCS_EXTENSIONS
#error "the JPEG decoder needs libjpeg-turbo's extended colour spaces (JCS_EXT_BGRA)"
#endif

namespace korvel {

namespace {

constexpr int kRowBatch = 16;

struct JpegDecodeState {
  JpegMemoryReader reader;
  const ImageLimits* limits;
  DecodedImage image;
  int32_t error_code;
};

int32_t RunJpegDecode(JpegDecodeState* state, std::span<const uint8_t> file) {
  jpeg_decompress_struct* cinfo = &state->reader.cinfo;
  if (setjmp(state->reader.error.recovery)) return -1;

  CreateJpegMemoryReader(&state->reader);
  StartJpegMemoryInput(&state->reader, file.data(), file.size());
  jpeg_read_header(cinfo, TRUE);
  const bool grey = cinfo->jpeg_color_space == JCS_GRAYSCALE && cinfo->num_components == 1;
  const bool colour = (cinfo->jpeg_color_space == JCS_YCbCr ||
                       cinfo->jpeg_color_space == JCS_RGB) &&
                      cinfo->num_components == 3;
  if (!grey && !colour) return -1;
  if (const int32_t error =
          CheckImageSides(cinfo->image_width, cinfo->image_height, *state->limits)) {
    state->error_code = error;
    return -1;
  }
  cinfo->out_color_space = JCS_EXT_BGRA;
  jpeg_start_decompress(cinfo);
  if (cinfo->output_components != 4 || cinfo->output_width != cinfo->image_width ||
      cinfo->output_height != cinfo->image_height) {
    return -1;
  }
  const auto width = static_cast<int32_t>(cinfo->output_width);
  const auto height = static_cast<int32_t>(cinfo->output_height);
  if (!AllocDecodedPixels(&state->image, width, height)) {
    state->error_code = kErrorNoMemory;
    return -1;
  }
  const size_t pitch = size_t(width) * 4;
  JSAMPROW rows[kRowBatch];
  while (cinfo->output_scanline < cinfo->output_height) {
    const JDIMENSION first = cinfo->output_scanline;
    JDIMENSION count = cinfo->output_height - first;
    if (count > kRowBatch) count = kRowBatch;
    for (JDIMENSION i = 0; i < count; ++i) rows[i] = state->image.pixels + (first + i) * pitch;
    jpeg_read_scanlines(cinfo, rows, count);
  }
  jpeg_finish_decompress(cinfo);
  return 0;
}

}  // namespace

DecodeStatus DecodeJpegBytes(std::span<const uint8_t> file, const ImageLimits& limits,
                             DecodedImage* out) {
  JpegDecodeState state{};
  state.limits = &limits;
  const int32_t result = RunJpegDecode(&state, file);
  jpeg_destroy_decompress(&state.reader.cinfo);
  if (result != 0) {
    FreeDecodedImage(&state.image);
    return DecodeFail(state.error_code);
  }
  FreeDecodedImage(out);
  *out = state.image;
  return DecodeOk();
}

}  // namespace korvel
