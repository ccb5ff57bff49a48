// Small helpers shared across the engine: zero-filled heap blocks, the save-data block table,
// version numbers and the GIF parent-chain walk.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

// A zero-filled heap block of `size` bytes (at least one byte is allocated), or null. Free it with
// FreeBlock (std::free).
void* AllocZeroed(size_t size);
void FreeBlock(void* block);

// Tests: the next `successes` calls of AllocZeroed succeed, every later one fails, until
// ResetAllocFailureForTest. A negative count turns failure injection off.
void SetAllocFailureForTest(int32_t successes);
void ResetAllocFailureForTest();

// The save-data block table: 1024 heap blocks with their sizes (the save commands own their use).
inline constexpr int32_t kSaveBlockCount = 1024;
struct SaveBlockTable {
  uint8_t* blocks[kSaveBlockCount];
  uint32_t sizes[kSaveBlockCount];
};
extern SaveBlockTable g_save_blocks;

// -1 frees every block and zeroes every size; another index frees that block when its size is above
// 0 and zeroes both. Indexes outside the table do nothing.
void FreeIdBuffers(int32_t index);

// File versions as four 16-bit parts, most significant first.
uint64_t MakeVersion64(uint16_t a, uint16_t b, uint16_t c, uint16_t d);
// -1, 0 or 1.
int32_t CompareVersion64(uint64_t a, uint64_t b);

// Follows a table of parent codes from `code` while it is above `bound`, at most 4096 steps; a code
// outside the table ends the walk. Returns the code reached.
uint32_t FollowParentChain(const uint16_t* parents, size_t table_size, uint32_t code,
                           uint32_t bound);

// The same walk, handing every code it steps from to `visit` (the GIF decoder pushes each code's
// last byte as it goes, so a string costs one walk).
template <typename Visit>
inline uint32_t FollowParentChain(const uint16_t* parents, size_t table_size, uint32_t code,
                                  uint32_t bound, Visit&& visit) {
  for (int steps = 0; steps < 4096 && code > bound && code < table_size; ++steps) {
    visit(code);
    code = parents[code];
  }
  return code;
}

}  // namespace korvel
