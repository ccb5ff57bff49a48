// Named shared memory blocks (POSIX shm_open) shared with another process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace korvel::platform {

struct SharedBlock {
  std::string name;  // as given (without the leading '/')
  uint8_t* data = nullptr;
  size_t size = 0;
};

// Creates the named block of `size` bytes, zero-filled and mapped for reading and writing; a stale
// block of the same name is replaced. False on failure (nothing is left behind).
bool CreateSharedBlock(const std::string& name, size_t size, SharedBlock* block);
// Unmaps the block and removes its name. Safe on a block that was never created.
void CloseSharedBlock(SharedBlock* block);
// True while a block of that name exists (tests).
bool SharedBlockExists(const std::string& name);

// Word access that another process may be writing at the same time.
uint32_t LoadSharedU32(const uint8_t* at);
void StoreSharedU32(uint8_t* at, uint32_t value);

}  // namespace korvel::platform
