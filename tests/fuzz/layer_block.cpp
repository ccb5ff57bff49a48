// Fuzz target: the 1536-byte layer block of save files. The input is a block, optionally followed
// by the stored pixel byte count (8 bytes, little-endian; else the count the block's sides give).
// A block that decodes is encoded again; decoding and encoding that must give the same block, and
// a refused block leaves the record untouched.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "layer/layer_block_codec.h"
#include "layer/layer_data.h"

namespace {

// A record with every byte set; fields the decoder does not take keep the filling in both rounds.
korvel::LayerData Filled(uint8_t byte) {
  korvel::LayerData layer;
  std::memset(static_cast<void*>(&layer), byte, sizeof layer);
  // The record's own pointers are kept by the decoder: give it none to keep.
  layer.mask_path = nullptr;
  return layer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvel;
  std::span<const uint8_t> block(data, size);
  uint64_t pixel_bytes = 0;
  if (size == kLayerBlockSize + 8) {
    block = block.first(kLayerBlockSize);
    for (size_t i = 0; i < 8; ++i) pixel_bytes |= uint64_t{data[kLayerBlockSize + i]} << (8 * i);
  } else {
    int32_t width = 0, height = 0;
    if (ReadLayerBlockSides(block, &width, &height)) {
      pixel_bytes = uint64_t{static_cast<uint32_t>(width)} * 4 * static_cast<uint32_t>(height);
    }
  }

  LayerData first = Filled(0xA5);
  const LayerData before = first;
  if (DecodeLayerBlock(block, pixel_bytes, &first) != LayerBlockStatus::kOk) {
    if (std::memcmp(&before, &first, sizeof first) != 0) __builtin_trap();
    return 0;
  }
  uint8_t once[kLayerBlockSize];
  EncodeLayerBlock(first, once);

  LayerData second = Filled(0xA5);
  if (DecodeLayerBlock(std::span<const uint8_t>(once, sizeof once), pixel_bytes, &second) !=
      LayerBlockStatus::kOk) {
    __builtin_trap();
  }
  uint8_t twice[kLayerBlockSize];
  EncodeLayerBlock(second, twice);
  if (std::memcmp(once, twice, sizeof once) != 0) __builtin_trap();
  return 0;
}
