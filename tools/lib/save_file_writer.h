// Save-data files made by the tools (test tooling): slots with raw entry bytes laid out as a new
// file, and the raw bytes of small variables and layers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvel::tools {

struct SaveSlotEntry {
  uint32_t slot;  // 1..1024
  uint8_t kind;   // 0 variable, 1 layer
  std::vector<uint8_t> raw;
};

// A whole save file: header, table and the entries in the given order, each compressed with
// zlib level 1. Empty when a slot is outside 1..1024.
std::vector<uint8_t> WriteSaveFileBytes(const std::vector<SaveSlotEntry>& entries);

// Raw bytes of an integer variable: one element (no shape) or a whole array of `dims`.
std::vector<uint8_t> IntVariableRaw(const std::vector<uint32_t>& dims,
                                    const std::vector<int64_t>& values);
// Raw bytes of a string variable (one element when `dims` is empty).
std::vector<uint8_t> StringVariableRaw(const std::vector<uint32_t>& dims,
                                       const std::vector<std::string>& values);
// Raw bytes of a layer of width x height: the record size, the pixel count, a 1536-byte block
// with the sides at their offsets and opacity 256, then the pixels.
std::vector<uint8_t> LayerRaw(int32_t width, int32_t height, const std::vector<uint8_t>& pixels);

}  // namespace korvel::tools
