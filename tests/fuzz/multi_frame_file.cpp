// Fuzz target: the multi-frame file reader and the frame decoder on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "image/image_decode.h"
#include "image/multi_frame_decode.h"
#include "image/multi_frame_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Sides up to 8192 as in the engine, but no image above 4 million pixels.
  static constexpr korvel::ImageLimits kLimits{korvel::kMaxImageSide, 1u << 22};
  // An exactly sized copy: the reader transforms the parts in place.
  std::unique_ptr<uint8_t[]> file(new uint8_t[size > 0 ? size : 1]);
  if (size > 0) std::memcpy(file.get(), data, size);
  korvel::MultiFrameView view;
  if (korvel::OpenMultiFrameFile(file.get(), size, &view, nullptr) != 0) return 0;
  for (uint32_t i = 0; i < view.frame_count && i < 4; ++i) {
    korvel::DecodedImage image;
    korvel::DecodeMultiFrame(korvel::MultiFrameFramePart(view, i), kLimits, &image, nullptr,
                             nullptr);
    korvel::FreeDecodedImage(&image);
  }
  return 0;
}
