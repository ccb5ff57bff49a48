// The single-instance rule on POSIX: `flock` locks in $XDG_RUNTIME_DIR (else /tmp) stand in for the
// named mutexes, and an abstract Unix socket carries "raise" from a second start to the running one.
#pragma once

#include <cstdint>
#include <string>

namespace korvel::platform {

struct InstanceLock {
  int fd = -1;
};

enum class LockResult : uint8_t { kAcquired, kHeldElsewhere, kError };

// "korvel1.lock": held only while the instance checks run.
LockResult AcquireGlobalLock(InstanceLock* lock);
// "korvel-<hash>.lock" for the game's identity (its real path with '/' turned into ':').
LockResult AcquireInstallationLock(const std::string& identity, InstanceLock* lock);
void ReleaseLock(InstanceLock* lock);

// 16 hex digits of a 64-bit hash of the identity (FNV-1a).
std::string IdentityHash(const std::string& identity);

// A second start: asks the running instance to restore and raise its main window.
bool SendRaise(const std::string& identity);
// The running instance: listens on "korvel-<hash>" and posts EventKind::kRaise for each "raise".
bool StartRaiseListener(const std::string& identity);
void StopRaiseListener();

}  // namespace korvel::platform
