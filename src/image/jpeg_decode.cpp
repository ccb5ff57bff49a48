// The JPEG decoder. libjpeg reports errors through JpegErrorExit, which jumps back to the setjmp
// in RunJpegDecode; its state lives in the JpegDecodeState record and no object with a destructor
// lives across the jump. libjpeg-turbo writes blue, green, red, alpha rows straight into the
// pixels.
#include "image/jpeg_decode.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

#include "image/jpeg_error.h"

#ifndef JCS_EXTENSIONS
#error "the JPEG decoder needs libjpeg-turbo's extended colour spaces (JCS_EXT_BGRA)"
#endif

namespace korvel {

namespace {

// A progressive file with more scans than this is refused (a damaged file can hold thousands
// of them, each a pass over the whole image).
constexpr int kMaxScans = 1000;
constexpr int kRowBatch = 16;

struct JpegDecodeState {
  jpeg_decompress_struct cinfo;
  JpegErrorManager error;
  jpeg_source_mgr source;
  jpeg_progress_mgr progress;
  JpegMemoryInput input;
  const ImageLimits* limits;
  DecodedImage image;
  int32_t error_code;
};

JpegMemoryInput* InputOf(jpeg_decompress_struct* cinfo) {
  return static_cast<JpegMemoryInput*>(cinfo->client_data);
}

void IgnoreMessage(j_common_ptr /*cinfo*/) {}

void LimitScans(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (dinfo->input_scan_number > kMaxScans) ERREXIT(cinfo, JERR_NOT_COMPILED);
}

boolean FillCallback(j_decompress_ptr cinfo) { return JpegMemorySourceFill(cinfo); }

int32_t RunJpegDecode(JpegDecodeState* state) {
  jpeg_decompress_struct* cinfo = &state->cinfo;
  if (setjmp(state->error.recovery)) return -1;

  jpeg_create_decompress(cinfo);
  cinfo->src = &state->source;
  state->source.init_source = JpegMemorySourceInit;
  state->source.fill_input_buffer = FillCallback;
  state->source.skip_input_data = JpegMemorySourceSkip;
  state->source.resync_to_restart = jpeg_resync_to_restart;
  state->source.term_source = JpegMemorySourceTerm;
  state->source.bytes_in_buffer = 0;
  state->source.next_input_byte = nullptr;
  state->progress.progress_monitor = LimitScans;
  cinfo->progress = &state->progress;

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

void JpegMemorySourceInit(jpeg_decompress_struct* cinfo) {
  JpegMemoryInput* state = InputOf(cinfo);
  state->handed_over = false;
  cinfo->src->bytes_in_buffer = 0;
  cinfo->src->next_input_byte = state->data;
}

int JpegMemorySourceFill(jpeg_decompress_struct* cinfo) {
  JpegMemoryInput* state = InputOf(cinfo);
  if (state->handed_over || state->size == 0) ERREXIT(cinfo, JERR_INPUT_EOF);
  state->handed_over = true;
  cinfo->src->next_input_byte = state->data;
  cinfo->src->bytes_in_buffer = state->size;
  return TRUE;
}

void JpegMemorySourceSkip(jpeg_decompress_struct* cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* source = cinfo->src;
  // Skipping needs the file handed over first, as any read does.
  while (source->bytes_in_buffer == 0) JpegMemorySourceFill(cinfo);
  if (static_cast<unsigned long>(count) > source->bytes_in_buffer) {
    source->next_input_byte += source->bytes_in_buffer;
    source->bytes_in_buffer = 0;
    return;
  }
  source->next_input_byte += count;
  source->bytes_in_buffer -= static_cast<size_t>(count);
}

void JpegMemorySourceTerm(jpeg_decompress_struct* /*cinfo*/) {}

void JpegErrorExit(jpeg_common_struct* cinfo) {
  auto* manager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  std::longjmp(manager->recovery, 1);
}

DecodeStatus DecodeJpegBytes(std::span<const uint8_t> file, const ImageLimits& limits,
                             DecodedImage* out) {
  JpegDecodeState state{};
  state.input.data = file.data();
  state.input.size = file.size();
  state.limits = &limits;
  state.cinfo.client_data = &state.input;
  state.cinfo.err = jpeg_std_error(&state.error.standard);
  state.error.standard.error_exit = JpegErrorExit;
  state.error.standard.output_message = IgnoreMessage;
  const int32_t result = RunJpegDecode(&state);
  jpeg_destroy_decompress(&state.cinfo);
  if (result != 0) {
    FreeDecodedImage(&state.image);
    return DecodeFail(state.error_code);
  }
  FreeDecodedImage(out);
  *out = state.image;
  return DecodeOk();
}

}  // namespace korvel
