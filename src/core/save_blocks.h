// The save-data block table: 1024 heap blocks with their sizes (the save commands own their use).
#pragma once

#include <cstdint>

namespace korvel {

inline constexpr int32_t kSaveBlockCount = 1024;
struct SaveBlockTable {
  uint8_t* blocks[kSaveBlockCount];
  uint32_t sizes[kSaveBlockCount];
};
extern SaveBlockTable g_save_blocks;

// -1 frees every block and zeroes every size; another index frees that block when its size is above
// 0 and zeroes both. Indexes outside the table do nothing.
void FreeIdBuffers(int32_t index);

}  // namespace korvel
