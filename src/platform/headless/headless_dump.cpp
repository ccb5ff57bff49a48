// Frame dumps of headless runs: a BGRA frame is written as an 8-bit RGBA PNG through libpng, via a
// temporary file renamed into place.
#include <png.h>

#include <cstdio>

#include "platform/headless/headless_state.h"

namespace korvel::platform::headless {

bool WriteFramePng(const std::string& path, const uint8_t* bgra, int32_t width, int32_t height,
                   int32_t pitch, std::string* error) {
  if (bgra == nullptr || width <= 0 || height <= 0 || pitch < 0 ||
      static_cast<int64_t>(pitch) < static_cast<int64_t>(width) * 4) {
    *error = "the frame has no pixels or a pitch shorter than a row";
    return false;
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  // 8-bit sRGB with alpha: libpng writes the bytes as they are (no premultiplication).
  image.format = PNG_FORMAT_BGRA;
  const std::string temporary = path + ".tmp";
  if (png_image_write_to_file(&image, temporary.c_str(), 0, bgra, pitch, nullptr) == 0) {
    *error = image.message;
    png_image_free(&image);
    std::remove(temporary.c_str());
    return false;
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    *error = "cannot rename the temporary file";
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace korvel::platform::headless
