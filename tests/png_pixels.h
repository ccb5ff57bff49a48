// Reads a PNG file (a frame dump, a golden picture, a source image) as 32-bit pixels through libpng.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace korvel::test {

// Pixels as blue, green, red, alpha bytes in one 32-bit value each (0xAARRGGBB), rows top-down.
struct PngPixels {
  int32_t w = 0, h = 0;
  std::vector<uint32_t> px;
  uint32_t at(int32_t x, int32_t y) const { return px[size_t(y) * size_t(w) + size_t(x)]; }
};

inline bool ReadPngPixels(const std::string& path, PngPixels* out) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) return false;
  image.format = PNG_FORMAT_BGRA;
  out->w = int32_t(image.width);
  out->h = int32_t(image.height);
  out->px.assign(size_t(out->w) * size_t(out->h), 0);
  return png_image_finish_read(&image, nullptr, out->px.data(), 0, nullptr) != 0;
}

}  // namespace korvel::test
