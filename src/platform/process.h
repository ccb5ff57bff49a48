// Processes: the running executable, starting programs (posix_spawn, descriptors close on exec) and
// the program that the desktop associates with a file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvel::platform {

// The running executable's real path (UTF-8).
std::string ExecutablePath();

// True when `path` is a regular file the user may run.
bool IsExecutableFile(const std::string& path);

struct ProcessOptions {
  std::string folder;       // the child's current folder; empty: ours
  bool search_path = true;  // a `program` without '/' is searched on PATH
};

// Starts `program` with `args` (argv[1..]); returns the process id, or -1. The child keeps no
// descriptor of ours.
int64_t StartProcess(const std::string& program, const std::vector<std::string>& args,
                     const ProcessOptions& options = {});
// Waits for a started process; returns its exit status, or -1.
int WaitProcess(int64_t pid);
// True once the process has ended (it is reaped then); false while it runs.
bool ProcessHasEnded(int64_t pid);
// Ends a started process at once and reaps it.
void EndProcess(int64_t pid);

// Sleeps in real time, whatever clock the backend keeps.
void SleepRealTimeMs(uint32_t ms);

// The program associated with a file: the Exec of the desktop entry that `xdg-mime` names for the
// file's type, as an argv vector (field codes removed). Empty when there is none.
std::vector<std::string> FindAssociatedProgram(const std::string& path);
// Splits a desktop entry's Exec value into arguments and removes its field codes (%f, %U, ...).
std::vector<std::string> SplitExecLine(const std::string& exec);

// Installs SIGTERM/SIGINT handlers that turn the signal into EventKind::kTerminate, and forgets a
// signal of an earlier run in this process.
void InstallTerminationHandlers();
// True the first time it is asked after a termination signal arrived (the quit event is posted
// once).
bool TakeTerminationRequest();
// True from the signal on, for good: a dialog shown then ends at once, whichever follows which.
bool TerminationRequested();

}  // namespace korvel::platform
