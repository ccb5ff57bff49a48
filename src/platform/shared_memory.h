// Named shared memory blocks (POSIX shm_open) shared with another process, and the child-process
// services the compiler link needs: start in a folder, ask whether it has ended, sleep in real time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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

// Starts `program` with `args` (argv[1..]) with `folder` as its current folder; the process id or
// -1. The child keeps no descriptor of ours.
int64_t StartProcessIn(const std::string& program, const std::vector<std::string>& args,
                       const std::string& folder);
// True once the process has ended (it is reaped then); false while it runs.
bool ProcessHasEnded(int64_t pid);

// Sleeps in real time, whatever clock the backend keeps.
void SleepRealTimeMs(uint32_t ms);

}  // namespace korvel::platform
