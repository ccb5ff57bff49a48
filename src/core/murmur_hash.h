// MurmurHash2 (32-bit), the name hash of tree nodes, labels and pack directories.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

// Standard MurmurHash2: multiplier 0x5bd1e995, shift 24; the initial value is seed ^ length.
// Bytes are read little-endian in 4-byte blocks; tail bytes are unsigned.
uint32_t MurmurHash2(const void* data, size_t length, uint32_t seed = 0);

}  // namespace korvel
