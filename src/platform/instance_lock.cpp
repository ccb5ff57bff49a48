// Single-instance locks (flock on files in $XDG_RUNTIME_DIR, else /tmp) and the "raise" channel
// (an abstract Unix socket) between a second start and the running instance.
#include "platform/instance_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/platform.h"

namespace korvel::platform {
namespace {

constexpr char kRaiseMessage[] = "raise";

struct RaiseListener {
  std::thread thread;
  int socket_fd = -1;
  int stop_fd = -1;  // eventfd: written once to end the thread
};

RaiseListener g_listener;

std::string RuntimeDir() {
  const char* dir = std::getenv("XDG_RUNTIME_DIR");
  return (dir != nullptr && *dir != '\0') ? std::string(dir) : std::string("/tmp");
}

LockResult AcquireFileLock(const std::string& name, InstanceLock* lock) {
  ReleaseLock(lock);
  const std::string path = RuntimeDir() + "/" + name;
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return LockResult::kError;
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    const bool held = errno == EWOULDBLOCK;
    close(fd);
    return held ? LockResult::kHeldElsewhere : LockResult::kError;
  }
  lock->fd = fd;
  return LockResult::kAcquired;
}

// The abstract socket address "\0korvel-<hash>"; returns the address length.
socklen_t RaiseAddress(const std::string& identity, sockaddr_un* address) {
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  const std::string name = "korvel-" + IdentityHash(identity);
  std::memcpy(address->sun_path + 1, name.data(), name.size());
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
}

// Reads what one client sends (bounded in size and time, ended by a stop request) and posts
// kRaise for "raise".
void ServeClient(int client, int stop_fd) {
  char message[16] = {};
  size_t got = 0;
  while (got < sizeof message) {
    pollfd fds[2] = {{client, POLLIN, 0}, {stop_fd, POLLIN, 0}};
    if (poll(fds, 2, 1000) <= 0 || fds[1].revents != 0) return;
    const ssize_t n = read(client, message + got, sizeof message - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  if (got == sizeof kRaiseMessage - 1 && std::memcmp(message, kRaiseMessage, got) == 0) {
    Event event;
    event.kind = EventKind::kRaise;
    PostEvent(std::move(event));
  }
}

void ListenLoop(int socket_fd, int stop_fd) {
  for (;;) {
    pollfd fds[2] = {{socket_fd, POLLIN, 0}, {stop_fd, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    if ((fds[0].revents & POLLIN) == 0) continue;
    const int client = accept4(socket_fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    ServeClient(client, stop_fd);
    close(client);
  }
}

}  // namespace

std::string IdentityHash(const std::string& identity) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (unsigned char c : identity) {
    hash ^= c;
    hash *= 0x100000001b3ull;
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

LockResult AcquireGlobalLock(InstanceLock* lock) { return AcquireFileLock("korvel1.lock", lock); }

LockResult AcquireInstallationLock(const std::string& identity, InstanceLock* lock) {
  return AcquireFileLock("korvel-" + IdentityHash(identity) + ".lock", lock);
}

void ReleaseLock(InstanceLock* lock) {
  if (lock->fd >= 0) close(lock->fd);
  lock->fd = -1;
}

bool SendRaise(const std::string& identity) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un address;
  const socklen_t length = RaiseAddress(identity, &address);
  bool sent = false;
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0) {
    const size_t size = sizeof kRaiseMessage - 1;
    sent = send(fd, kRaiseMessage, size, MSG_NOSIGNAL) == static_cast<ssize_t>(size);
  }
  close(fd);
  return sent;
}

bool StartRaiseListener(const std::string& identity) {
  StopRaiseListener();
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un address;
  const socklen_t length = RaiseAddress(identity, &address);
  const int stop_fd = eventfd(0, EFD_CLOEXEC);
  if (stop_fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      listen(fd, 4) != 0) {
    close(fd);
    if (stop_fd >= 0) close(stop_fd);
    return false;
  }
  g_listener.socket_fd = fd;
  g_listener.stop_fd = stop_fd;
  g_listener.thread = std::thread(ListenLoop, fd, stop_fd);
  return true;
}

void StopRaiseListener() {
  if (!g_listener.thread.joinable()) return;
  const uint64_t one = 1;
  while (write(g_listener.stop_fd, &one, sizeof one) < 0 && errno == EINTR) {
  }
  g_listener.thread.join();
  close(g_listener.socket_fd);
  close(g_listener.stop_fd);
  g_listener.socket_fd = -1;
  g_listener.stop_fd = -1;
}

}  // namespace korvel::platform
