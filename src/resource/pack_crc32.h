// CRC-32 of IEEE 802.3 (reflected polynomial 0xEDB88320, initial value all ones, final inversion),
// as pack repair data checks its blocks with it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

// Table-driven: four bytes per step, then the remaining bytes one at a time.
uint32_t Crc32(const void* bytes, size_t length);

}  // namespace korvel
