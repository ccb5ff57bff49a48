// One bit per pixel for "alpha is not 0": the drag layer's hit-test mask.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvel {

// Bit i of `bits` (byte i / 8, bit i % 8) = alpha of pixel i of `count` BGRA pixels is not 0;
// `bits` gets (count + 7) / 8 bytes, the unused high bits of the last byte 0.
void BuildOpaqueBits(const uint8_t* pixels, size_t count, std::vector<uint8_t>* bits);

// The scalar reference, on `count` pixels into `out` ((count + 7) / 8 bytes).
void OpaqueBitsScalar(const uint8_t* pixels, size_t count, uint8_t* out);

}  // namespace korvel
