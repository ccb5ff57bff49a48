// Zero-filled heap blocks, with failure injection for tests.
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

}  // namespace korvel
