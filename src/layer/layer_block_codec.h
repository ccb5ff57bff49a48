// The 1536-byte layer block of save files: every field of the layer record at its fixed
// little-endian offset, written and read field by field (pointers are written as 0).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "layer/layer_data.h"

namespace korvel {

inline constexpr size_t kLayerBlockSize = 1536;

// Writes the record's fields into `block` (kLayerBlockSize bytes); pointer fields and unassigned
// bytes are 0.
void EncodeLayerBlock(const LayerData& layer, uint8_t* block);

enum class LayerBlockStatus : uint8_t {
  kOk = 0,
  kWrongSize,           // the block is not 1536 bytes
  kBadSides,            // width or height outside 1..8192
  kPixelCountMismatch,  // the stored pixel bytes are not width * 4 * height
};

// The stored width and height (no checks); false when the block is too short.
bool ReadLayerBlockSides(std::span<const uint8_t> block, int32_t* width, int32_t* height);

// Reads a stored block into `layer`, whose stored pixels are `pixel_bytes` bytes. Taken: placement,
// size, opacity, mask and blend settings, visibility and pending values, the value slots and the
// excluded byte; values the engine uses only within a range are clamped into it (opacity, pending
// opacity, mask level and slots 23 and 27 to 0..256, the blend mode to 0..18, the colour slot to
// 0..0x1000000, slot 28 to 0..1). Not taken: pointers (the record keeps its own), the reference
// count, the window-root and message-target bytes (they describe live references), the per-frame
// dirty state (reset to empty) and the GPU tile layout (reset to none). On a refusal the record is
// left as it was.
LayerBlockStatus DecodeLayerBlock(std::span<const uint8_t> block, uint64_t pixel_bytes,
                                  LayerData* layer);

}  // namespace korvel
