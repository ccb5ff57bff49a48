// The multi-frame decoder. libjpeg errors jump back to the setjmp in RunPart; nothing with a
// destructor lives across the jump, and the buffers in flight are kept in the decoder record so
// the failure path frees them.
#include "image/multi_frame_decode.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

#include "image/jpeg_decode.h"
#include "image/jpeg_error.h"

namespace korvel {

namespace {

constexpr int kMaxScans = 1000;

struct MultiFrameDecoder {
  bool created = false;
  jpeg_decompress_struct cinfo;
  JpegErrorManager error;
  jpeg_source_mgr source;
  jpeg_progress_mgr progress;
  JpegMemoryInput input;
  // In flight during a decode.
  DecodedImage image;
  uint8_t* grey_row = nullptr;
  int32_t error_code = 0;
  int32_t width = 0, height = 0;
};

MultiFrameDecoder g_decoder;

void IgnoreMessage(j_common_ptr /*cinfo*/) {}

void LimitScans(j_common_ptr cinfo) {
  auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (dinfo->input_scan_number > kMaxScans) ERREXIT(cinfo, JERR_NOT_COMPILED);
}

boolean FillCallback(j_decompress_ptr cinfo) { return JpegMemorySourceFill(cinfo); }

void CreateDecoder() {
  MultiFrameDecoder& d = g_decoder;
  std::memset(&d.cinfo, 0, sizeof d.cinfo);
  d.cinfo.err = jpeg_std_error(&d.error.standard);
  d.error.standard.error_exit = JpegErrorExit;
  d.error.standard.output_message = IgnoreMessage;
  jpeg_create_decompress(&d.cinfo);
  d.cinfo.client_data = &d.input;
  d.source.init_source = JpegMemorySourceInit;
  d.source.fill_input_buffer = FillCallback;
  d.source.skip_input_data = JpegMemorySourceSkip;
  d.source.resync_to_restart = jpeg_resync_to_restart;
  d.source.term_source = JpegMemorySourceTerm;
  d.cinfo.src = &d.source;
  d.progress.progress_monitor = LimitScans;
  d.cinfo.progress = &d.progress;
  d.created = true;
}

void StartInput(const uint8_t* data, size_t size) {
  g_decoder.input = JpegMemoryInput{data, size, false};
  g_decoder.source.bytes_in_buffer = 0;
  g_decoder.source.next_input_byte = nullptr;
}

// Decodes the colour part into g_decoder.image and, when there is one, the alpha part into its
// alpha bytes. 0, or -1 (error_code says why; 0 for a broken part).
int32_t RunPart(const MultiFramePart& part, const ImageLimits& limits) {
  MultiFrameDecoder& d = g_decoder;
  jpeg_decompress_struct* cinfo = &d.cinfo;
  if (setjmp(d.error.recovery)) return -1;

  StartInput(part.colour, part.colour_size);
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

  StartInput(part.alpha, part.alpha_size);
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
  if (!g_decoder.created) CreateDecoder();
  MultiFrameDecoder& d = g_decoder;
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
    jpeg_abort_decompress(&d.cinfo);
    FreeDecodedImage(&d.image);
    return DecodeFail(d.error_code);
  }
  FreeDecodedImage(out);
  *out = d.image;
  d.image = DecodedImage{};
  return DecodeOk();
}

void ShutdownMultiFrameDecoder() {
  if (!g_decoder.created) return;
  jpeg_destroy_decompress(&g_decoder.cinfo);
  g_decoder.created = false;
}

bool MultiFrameDecoderCreated() { return g_decoder.created; }

}  // namespace korvel
