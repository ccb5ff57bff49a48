// Small helpers shared across the engine.
#include "core/small_helpers.h"

#include <atomic>
#include <cstdlib>

namespace korvel {

SaveBlockTable g_save_blocks;

namespace {
std::atomic<int32_t> g_alloc_successes_left{-1};
}  // namespace

void* AllocZeroed(size_t size) {
  int32_t left = g_alloc_successes_left.load();
  while (left >= 0) {
    if (left == 0) return nullptr;
    if (g_alloc_successes_left.compare_exchange_weak(left, left - 1)) break;
  }
  return std::calloc(size == 0 ? 1 : size, 1);
}

void FreeBlock(void* block) { std::free(block); }

void SetAllocFailureForTest(int32_t successes) { g_alloc_successes_left.store(successes); }
void ResetAllocFailureForTest() { g_alloc_successes_left.store(-1); }

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

uint64_t MakeVersion64(uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
  return (static_cast<uint64_t>(a) << 48) | (static_cast<uint64_t>(b) << 32) |
         (static_cast<uint64_t>(c) << 16) | static_cast<uint64_t>(d);
}

int32_t CompareVersion64(uint64_t a, uint64_t b) {
  if (a < b) return -1;
  return a > b ? 1 : 0;
}

uint32_t FollowParentChain(const uint16_t* parents, size_t table_size, uint32_t code,
                           uint32_t bound) {
  return FollowParentChain(parents, table_size, code, bound, [](uint32_t) {});
}

}  // namespace korvel
