// PSD files are recognised and refused.
#pragma once

#include <cstdint>
#include <span>

#include "image/image_decode.h"

namespace korvel {

// The header's height and width (big-endian at 14 and 18), read only when the file holds the
// 22-byte header; 0 otherwise.
struct PsdHeader {
  uint32_t width = 0;
  uint32_t height = 0;
};
PsdHeader ReadPsdHeader(std::span<const uint8_t> file);

// Always refuses: error 100220.
DecodeStatus RejectPsdBytes(std::span<const uint8_t> file);

}  // namespace korvel
