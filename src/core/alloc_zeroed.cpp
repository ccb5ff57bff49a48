// Zero-filled heap blocks.
#include "core/alloc_zeroed.h"

#include <atomic>
#include <cstdlib>

namespace korvel {

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

}  // namespace korvel
