// Shared memory blocks over shm_open and mmap.
#include "platform/shared_memory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvel::platform {

namespace {

std::string ShmName(const std::string& name) { return "/" + name; }

}  // namespace

bool CreateSharedBlock(const std::string& name, size_t size, SharedBlock* block) {
  *block = SharedBlock{};
  if (name.empty() || size == 0 || name.find('/') != std::string::npos) return false;
  const std::string shm = ShmName(name);
  shm_unlink(shm.c_str());  // a block left by a run that ended abruptly
  const int fd = shm_open(shm.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  void* data = MAP_FAILED;
  if (ftruncate(fd, static_cast<off_t>(size)) == 0) {
    data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  }
  close(fd);
  if (data == MAP_FAILED) {
    shm_unlink(shm.c_str());
    return false;
  }
  block->name = name;
  block->data = static_cast<uint8_t*>(data);  // ftruncate made it zero
  block->size = size;
  return true;
}

void CloseSharedBlock(SharedBlock* block) {
  if (block->data != nullptr) munmap(block->data, block->size);
  if (!block->name.empty()) shm_unlink(ShmName(block->name).c_str());
  *block = SharedBlock{};
}

bool SharedBlockExists(const std::string& name) {
  const int fd = shm_open(ShmName(name).c_str(), O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) return false;
  close(fd);
  return true;
}

uint32_t LoadSharedU32(const uint8_t* at) {
  return __atomic_load_n(reinterpret_cast<const uint32_t*>(at), __ATOMIC_ACQUIRE);
}

void StoreSharedU32(uint8_t* at, uint32_t value) {
  __atomic_store_n(reinterpret_cast<uint32_t*>(at), value, __ATOMIC_RELEASE);
}

}  // namespace korvel::platform
