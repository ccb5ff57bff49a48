// The multi-frame decoder. libjpeg errors jump back to the setjmp in RunPart; nothing with a
// destructor lives across the jump, and the buffers in flight are kept in the decoder record so
// the failure path frees them.
#include "image/multi_frame_decode.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include "image/multi_frame_decoder_state.h"

namespace korvel {

MultiFrameDecoder g_multi_frame_decoder;

namespace {

// Decodes the colour part into the decoder's image and, when there is one, the alpha part into its
// alpha bytes. 0, or -1 (error_code says why; 0 for a broken part).
int32_t RunPart(const MultiFramePart& part, const ImageLimits& limits) {
  MultiFrameDecoder& d = g_multi_frame_decoder;
  jpeg_decompress_struct* cinfo = &d.reader.cinfo;
  if (setjmp(d.reader.error.recovery)) return -1;

  StartJpegMemoryInput(&d.reader, part.colour, part.colour_size);
  jpeg_read_header(cinfo, TRUE);
  if (cinfo->num_components != 1 && cinfo->num_components != 3) return -1;
  if (cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK) return -1;
  d.width = static_cast<int32_t>(cinfo->image_width > 0x7FFFFFFF ? 0x7FFFFFFF : cinfo->image_width);
  d.height =
      static_cast<int32_t>(cinfo->image_height > 0x7FFFFFFF ? 0x7FFFFFFF : cinfo->image_height);
  if (CheckImageSides(d.width, d.height, limits) != 0) {
    d.error_code = kErrorImageTooLarge;
    return -1;
  }
  cinfo->out_color_space = JCS_EXT_BGRA;
  jpeg_start_decompress(cinfo);
  if (cinfo->output_components != 4 || cinfo->output_width != cinfo->image_width ||
      cinfo->output_height != cinfo->image_height) {
    return -1;
  }
  if (!AllocDecodedPixels(&d.image, d.width, d.height)) {
    d.error_code = kErrorNoMemory;
    return -1;
  }
  const size_t pitch = size_t(d.width) * 4;
  while (cinfo->output_scanline < cinfo->output_height) {
    JSAMPROW row = d.image.pixels + cinfo->output_scanline * pitch;
    jpeg_read_scanlines(cinfo, &row, 1);
  }
  jpeg_finish_decompress(cinfo);
  if (part.alpha == nullptr) return 0;

  StartJpegMemoryInput(&d.reader, part.alpha, part.alpha_size);
  jpeg_read_header(cinfo, TRUE);
  if (cinfo->num_components != 1 && cinfo->num_components != 3) return -1;
  if (cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK) return -1;
  if (cinfo->image_width != static_cast<JDIMENSION>(d.width) ||
      cinfo->image_height != static_cast<JDIMENSION>(d.height)) {
    return -1;
  }
  cinfo->out_color_space = JCS_GRAYSCALE;
  jpeg_start_decompress(cinfo);
  if (cinfo->output_components != 1 || cinfo->output_width != cinfo->image_width ||
      cinfo->output_height != cinfo->image_height) {
    return -1;
  }
  d.grey_row = static_cast<uint8_t*>(std::malloc(size_t(d.width)));
  if (d.grey_row == nullptr) {
    d.error_code = kErrorNoMemory;
    return -1;
  }
  while (cinfo->output_scanline < cinfo->output_height) {
    uint8_t* pixels = d.image.pixels + cinfo->output_scanline * pitch;
    JSAMPROW row = d.grey_row;
    jpeg_read_scanlines(cinfo, &row, 1);
    for (int32_t x = 0; x < d.width; ++x) pixels[size_t(x) * 4 + 3] = d.grey_row[x];
  }
  jpeg_finish_decompress(cinfo);
  return 0;
}

}  // namespace

DecodeStatus DecodeMultiFrame(const MultiFramePart& part, const ImageLimits& limits,
                              DecodedImage* out, int32_t* width, int32_t* height) {
  MultiFrameDecoder& d = g_multi_frame_decoder;
  if (!d.created) {
    // libjpeg can fail while creating its decompressor; that fails the frame, not the run.
    if (setjmp(d.reader.error.recovery)) return DecodeFail(kErrorNoMemory);
    CreateJpegMemoryReader(&d.reader);
    d.created = true;
  }
  d.image = DecodedImage{};
  d.grey_row = nullptr;
  d.error_code = 0;
  d.width = d.height = 0;
  const int32_t result = RunPart(part, limits);
  std::free(d.grey_row);
  d.grey_row = nullptr;
  if (width != nullptr) *width = d.width;
  if (height != nullptr) *height = d.height;
  if (result != 0) {
    // Back to the idle state, ready for the next frame.
    jpeg_abort_decompress(&d.reader.cinfo);
    FreeDecodedImage(&d.image);
    return DecodeFail(d.error_code);
  }
  FreeDecodedImage(out);
  *out = d.image;
  d.image = DecodedImage{};
  return DecodeOk();
}

void ShutdownMultiFrameDecoder() {
  if (!g_multi_frame_decoder.created) return;
  jpeg_destroy_decompress(&g_multi_frame_decoder.reader.cinfo);
  g_multi_frame_decoder.created = false;
}

}  // namespace korvel
