// The PNG decoder. libpng reports errors by jumping back to the setjmp in RunPngDecode; that
// function and everything it calls keep their state in the PngDecodeState record, and no object
// with a destructor lives across the jump.
#include "image/png_decode.h"

#include <png.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>

namespace korvel {

namespace {

constexpr double kScreenGamma = 2.2;

struct PngDecodeState {
  const uint8_t* data;
  size_t size;
  size_t position;
  png_structp png;
  png_infop info;
  const ImageLimits* limits;
  DecodedImage image;
  png_bytep* rows;
  int32_t error;
};

[[noreturn]] void PngErrorJump(png_structp png, png_const_charp /*message*/) {
  png_longjmp(png, 1);
}

void PngIgnoreWarning(png_structp /*png*/, png_const_charp /*message*/) {}

// Reads the header, sets the transformations and reads the rows. Returns 0 or -1 (with
// state->error set when the failure has a code).
int32_t RunPngDecode(PngDecodeState* state) {
  png_structp png = state->png;
  png_infop info = state->info;
  if (setjmp(png_jmpbuf(png))) return -1;

  png_set_read_fn(png, state, PngReadFromMemory);
  // The picture needs only the critical chunks, tRNS and gAMA. libpng reads some other chunks
  // (a suggested palette, texts, a colour profile) whole into memory at the length the file
  // claims, so a damaged length would ask for gigabytes: those are passed over unread instead.
  static const png_byte kUnused[] =
      "bKGD\0cHRM\0eXIf\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0pHYs\0sBIT\0sCAL\0sPLT\0sRGB\0tEXt\0"
      "tIME\0zTXt";
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kUnused, 16);
  png_read_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  const int colour_type = png_get_color_type(png, info);
  const int bit_depth = png_get_bit_depth(png, info);
  if (const int32_t error = CheckImageSides(width, height, *state->limits)) {
    state->error = error;
    return -1;
  }

  const bool has_trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if (colour_type == PNG_COLOR_TYPE_PALETTE || (colour_type == PNG_COLOR_TYPE_GRAY &&
                                                bit_depth < 8) || has_trns) {
    png_set_expand(png);
  }
  if (bit_depth == 16) png_set_strip_16(png);
  if (colour_type == PNG_COLOR_TYPE_GRAY || colour_type == PNG_COLOR_TYPE_GRAY_ALPHA) {
    png_set_gray_to_rgb(png);
  }
  png_set_bgr(png);
  const bool has_alpha = (colour_type & PNG_COLOR_MASK_ALPHA) != 0 || has_trns;
  if (!has_alpha) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  double file_gamma = 0;
  if (png_get_gAMA(png, info, &file_gamma) && file_gamma > 0) {
    png_set_gamma(png, kScreenGamma, file_gamma);
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != size_t{width} * 4) png_error(png, "unexpected row size");

  if (!AllocDecodedPixels(&state->image, static_cast<int32_t>(width),
                          static_cast<int32_t>(height))) {
    state->error = kErrorNoMemory;
    return -1;
  }
  state->image.has_alpha = has_alpha ? 1 : 0;
  state->rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
  if (state->rows == nullptr) {
    state->error = kErrorNoMemory;
    return -1;
  }
  for (png_uint_32 y = 0; y < height; ++y) {
    state->rows[y] = state->image.pixels + size_t{y} * width * 4;
  }
  png_read_image(png, state->rows);
  png_read_end(png, nullptr);
  return 0;
}

}  // namespace

void PngReadFromMemory(png_struct_def* png, uint8_t* out, size_t count) {
  auto* state = static_cast<PngDecodeState*>(png_get_io_ptr(png));
  if (count > state->size - state->position) png_error(png, "read past the end of the file");
  std::memcpy(out, state->data + state->position, count);
  state->position += count;
}

DecodeStatus DecodePngBytes(std::span<const uint8_t> file, const ImageLimits& limits,
                            DecodedImage* out) {
  PngDecodeState state{};
  state.data = file.data();
  state.size = file.size();
  state.limits = &limits;
  state.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngErrorJump,
                                     PngIgnoreWarning);
  if (state.png != nullptr) state.info = png_create_info_struct(state.png);
  if (state.png == nullptr || state.info == nullptr) {
    png_destroy_read_struct(&state.png, nullptr, nullptr);
    return DecodeFail(kErrorPngStructures);
  }
  const int32_t result = RunPngDecode(&state);
  png_destroy_read_struct(&state.png, &state.info, nullptr);
  std::free(state.rows);
  if (result != 0) {
    FreeDecodedImage(&state.image);
    return DecodeFail(state.error);
  }
  FreeDecodedImage(out);
  *out = state.image;
  return DecodeOk();
}

}  // namespace korvel
