// Single-instance locks and the raise channel: a held lock is seen from another descriptor and
// another process, locks close on exec, the identity hash is FNV-1a, and "raise" reaches the
// running instance as an event.
#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/platform.h"
#include "platform_test_util.h"

namespace korvel::platform {
namespace {

using test::CleanHeadlessEnv;
using test::DrainEvents;
using test::ScopedEnv;
using korvel::test::TempDir;

TEST(InstanceLock, IdentityHashIsFnv1a) {
  // Published FNV-1a 64-bit test vectors.
  EXPECT_EQ(IdentityHash(""), "cbf29ce484222325");
  EXPECT_EQ(IdentityHash("a"), "af63dc4c8601ec8c");
  EXPECT_EQ(IdentityHash("foobar"), "85944171f73967e8");
  EXPECT_EQ(IdentityHash(":home:player:game:").size(), 16u);
}

// Tries the lock file from a separate process; returns what the child saw (0 got it, 1 held).
int ChildTriesLock(const std::string& path) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int fd = open(path.c_str(), O_RDWR);
    if (fd < 0) _exit(2);
    _exit(flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(InstanceLock, HeldLocksAreSeenElsewhere) {
  TempDir runtime;
  ScopedEnv env("XDG_RUNTIME_DIR", runtime.path());
  InstanceLock global, second;
  ASSERT_EQ(AcquireGlobalLock(&global), LockResult::kAcquired);
  EXPECT_TRUE(std::filesystem::exists(runtime.File("korvel1.lock")));
  EXPECT_NE(fcntl(global.fd, F_GETFD) & FD_CLOEXEC, 0);
  EXPECT_EQ(AcquireGlobalLock(&second), LockResult::kHeldElsewhere);
  EXPECT_EQ(second.fd, -1);
  EXPECT_EQ(ChildTriesLock(runtime.File("korvel1.lock")), 1);
  ReleaseLock(&global);
  EXPECT_EQ(global.fd, -1);
  EXPECT_EQ(ChildTriesLock(runtime.File("korvel1.lock")), 0);
  EXPECT_EQ(AcquireGlobalLock(&second), LockResult::kAcquired);
  ReleaseLock(&second);

  const std::string identity = ":home:player:games:one:";
  InstanceLock install, other, different;
  ASSERT_EQ(AcquireInstallationLock(identity, &install), LockResult::kAcquired);
  EXPECT_TRUE(std::filesystem::exists(runtime.File("korvel-" + IdentityHash(identity) + ".lock")));
  EXPECT_EQ(AcquireInstallationLock(identity, &other), LockResult::kHeldElsewhere);
  EXPECT_EQ(AcquireInstallationLock(":home:player:games:two:", &different), LockResult::kAcquired);
  ReleaseLock(&install);
  ReleaseLock(&different);
}

TEST(InstanceLock, MissingRuntimeFolderIsAnError) {
  TempDir runtime;
  ScopedEnv env("XDG_RUNTIME_DIR", runtime.File("missing"));
  InstanceLock lock;
  EXPECT_EQ(AcquireGlobalLock(&lock), LockResult::kError);
  EXPECT_EQ(lock.fd, -1);
}

// Waits (in real time, bounded) for the listener thread to post a kRaise; returns how many came.
int CollectRaises(int expected) {
  int raises = 0;
  for (int i = 0; i < 5000 && raises < expected; ++i) {
    for (const Event& e : DrainEvents()) raises += e.kind == EventKind::kRaise ? 1 : 0;
    if (raises < expected) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return raises;
}

TEST(InstanceLock, RaiseReachesTheRunningInstance) {
  CleanHeadlessEnv clean;
  ASSERT_TRUE(InitPlatformWith(BackendKind::kHeadless));
  TempDir unique;  // a fresh path makes the socket name unique to this test run
  const std::string identity = unique.path() + ":game:";
  EXPECT_FALSE(SendRaise(identity));  // nobody listens yet
  ASSERT_TRUE(StartRaiseListener(identity));

  // A client that sends something else is ignored; the next "raise" still arrives, once.
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string name = "korvel-" + IdentityHash(identity);
  std::memcpy(address.sun_path + 1, name.data(), name.size());
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
  ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), length), 0);
  ASSERT_EQ(write(fd, "hello", 5), 5);
  close(fd);
  ASSERT_TRUE(SendRaise(identity));
  EXPECT_EQ(CollectRaises(1), 1);
  ASSERT_TRUE(SendRaise(identity));
  EXPECT_EQ(CollectRaises(1), 1);

  // The name is taken while the listener runs.
  const int rival = socket(AF_UNIX, SOCK_STREAM, 0);
  EXPECT_NE(bind(rival, reinterpret_cast<sockaddr*>(&address), length), 0);
  close(rival);
  StopRaiseListener();
  // Clients are served in order, so a raise posted for "hello" would be here by now.
  EXPECT_EQ(CollectRaises(0), 0);
  EXPECT_FALSE(SendRaise(identity));
  StopRaiseListener();  // a second stop does nothing
  ShutdownPlatform();
}

}  // namespace
}  // namespace korvel::platform
