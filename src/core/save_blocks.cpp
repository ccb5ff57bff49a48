// The save-data block table.
#include "core/save_blocks.h"

#include <cstdlib>

namespace korvel {

SaveBlockTable g_save_blocks;

void FreeIdBuffers(int32_t index) {
  if (index == -1) {
    for (int32_t i = 0; i < kSaveBlockCount; ++i) {
      std::free(g_save_blocks.blocks[i]);
      g_save_blocks.blocks[i] = nullptr;
      g_save_blocks.sizes[i] = 0;
    }
    return;
  }
  if (index < 0 || index >= kSaveBlockCount) return;
  if (g_save_blocks.sizes[index] > 0) {
    std::free(g_save_blocks.blocks[index]);
    g_save_blocks.blocks[index] = nullptr;
    g_save_blocks.sizes[index] = 0;
  }
}

}  // namespace korvel
