// Shared memory blocks over shm_open and mmap; child processes over posix_spawn and waitpid.
#include "platform/shared_memory.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

extern char** environ;

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

int64_t StartProcessIn(const std::string& program, const std::vector<std::string>& args,
                       const std::string& folder) {
  if (program.empty()) return -1;
  std::vector<char*> argv;
  argv.reserve(args.size() + 2);
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attr);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGTERM);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGPIPE);
  sigset_t empty;
  sigemptyset(&empty);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setsigmask(&attr, &empty);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  pid_t pid = -1;
  const int error = posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  return error == 0 ? static_cast<int64_t>(pid) : -1;
}

bool ProcessHasEnded(int64_t pid) {
  if (pid <= 0) return true;
  int status = 0;
  for (;;) {
    const pid_t got = waitpid(static_cast<pid_t>(pid), &status, WNOHANG);
    if (got == 0) return false;
    if (got < 0 && errno == EINTR) continue;
    return true;  // reaped now, or not a child of ours any more
  }
}

void SleepRealTimeMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace korvel::platform
