// Image files written from a pixel buffer (blue, green, red, alpha; rows top-down, pitch width × 4):
// 24-bit BMP, 8-bit RGBA PNG and RGB JPEG. Every file goes through a temporary file renamed into
// place, so a failed write leaves the old file whole and no partial one.
#pragma once

#include <cstdint>
#include <string_view>

namespace korvel {

struct WritableImage {
  uint8_t* pixels;
  int32_t width;
  int32_t height;
  uint8_t has_alpha;  // 0: the PNG writer first makes every pixel opaque (in this buffer too)
};

// The target is a script path (code page 932) below `root`. 0 on success. -1 when the file
// cannot be created ("File Create Error." is shown) or a write fails; the JPEG writer gives -2
// when the library reports an error (a failed write among them). Nothing is written for an image
// without pixels or with a side below 1.
int32_t WriteImageBmp(const WritableImage& image, std::string_view root, std::string_view name);
int32_t WriteImagePng(const WritableImage& image, std::string_view root, std::string_view name,
                      int32_t level);
int32_t WriteImageJpeg(const WritableImage& image, std::string_view root, std::string_view name,
                       int32_t quality);

}  // namespace korvel
