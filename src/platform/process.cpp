// Processes: the running executable, starting, polling and ending programs (posix_spawn), and the
// SIGTERM/SIGINT handlers that turn a termination request into an event.
#include "platform/process.h"

#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <thread>

extern char** environ;

namespace korvel::platform {
namespace {

// Raised by the signal and never lowered: every dialog from then on ends at once, however many
// follow one another. The event that starts the quit is posted once.
std::atomic<bool> g_termination_requested{false};
std::atomic<bool> g_termination_taken{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

void OnTerminationSignal(int /*signal*/) { g_termination_requested.store(true); }

}  // namespace

std::string ExecutablePath() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  if (length <= 0 || static_cast<size_t>(length) >= sizeof path) return {};
  return std::string(path, static_cast<size_t>(length));
}

bool IsExecutableFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

int64_t StartProcess(const std::string& program, const std::vector<std::string>& args,
                     const ProcessOptions& options) {
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
  // Our descriptors are close-on-exec; closing everything above stderr also covers libraries'.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  if (!options.folder.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, options.folder.c_str());
  }
  // The child starts with default dispositions and an empty mask, whatever the engine set.
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
  const int error = options.search_path
                        ? posix_spawnp(&pid, program.c_str(), &actions, &attr, argv.data(), environ)
                        : posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  return error == 0 ? static_cast<int64_t>(pid) : -1;
}

int WaitProcess(int64_t pid) {
  if (pid <= 0) return -1;
  int status = 0;
  for (;;) {
    const pid_t got = waitpid(static_cast<pid_t>(pid), &status, 0);
    if (got == static_cast<pid_t>(pid)) break;
    if (got < 0 && errno == EINTR) continue;
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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

void EndProcess(int64_t pid) {
  if (pid <= 0) return;
  kill(static_cast<pid_t>(pid), SIGKILL);
  WaitProcess(pid);
}

void SleepRealTimeMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void InstallTerminationHandlers() {
  g_termination_requested.store(false);
  g_termination_taken.store(false);
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

bool TakeTerminationRequest() {
  return g_termination_requested.load() && !g_termination_taken.exchange(true);
}

bool TerminationRequested() { return g_termination_requested.load(); }

}  // namespace korvel::platform
