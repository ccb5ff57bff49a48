// Helpers shared by the engine's tests: temporary folders, environment, running the real program.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace korvel::test {

// A fresh temporary folder, removed with its contents when the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  // Writes a file (creating folders on the way) and returns its path.
  std::string Write(const std::string& name, const std::string& contents) const;

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path);

struct ProcessResult {
  int exit_status = -1;      // exit code, or 128 + signal
  bool timed_out = false;
  std::string stderr_text;
  std::string stdout_text;
};

// "exit status N" (or how it was ended) and the whole stderr.
std::ostream& operator<<(std::ostream& out, const ProcessResult& result);

// A child process of the real program, with its own environment additions. Every child's end
// (exit status and stderr) is kept until the running test ends, and printed when it failed.
class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  int pid() const { return pid_; }
  void Signal(int signal_number) const;
  // Waits up to `timeout_ms` of real time; kills the child when it runs longer.
  ProcessResult Wait(int timeout_ms);
  // True until the child has ended (the end is then collected, for Wait to return at once).
  bool Running();
  // Asks the child to quit (SIGTERM) and waits for it as Wait does.
  ProcessResult Stop(int timeout_ms);

 private:
  // Collects the ended child's status and stderr and keeps them for the test's report.
  ProcessResult Finish(int status, bool timed_out);

  int pid_ = -1;
  std::string command_;
  std::string stderr_path_;
  std::string stdout_path_;
  bool waited_ = false;
  ProcessResult result_;
};

// Runs the program to its end (at most `timeout_ms`).
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         int timeout_ms);

// A virtual X server for tests that need a real window; started on a free display number and
// stopped with the object. `display()` is empty when Xvfb is not installed or did not start.
class XvfbServer {
 public:
  XvfbServer();
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;
  const std::string& display() const { return display_; }

 private:
  int pid_ = -1;
  std::string display_;
};

// The openbox window manager on an X server, started and stopped with the object. `running()` is
// true once openbox has finished starting. Openbox announces itself on the root window before it
// reaches its event loop, and a window mapped in between is never managed: its map request sits
// unread, so a client waiting for the window to be mapped (SDL does) waits for ever. Openbox's
// start-up command runs only when it is about to enter that loop, so it sets a root property that
// the constructor waits for.
class WindowManager {
 public:
  WindowManager(const std::string& display, const std::string& runtime_dir);
  ~WindowManager();
  WindowManager(const WindowManager&) = delete;
  WindowManager& operator=(const WindowManager&) = delete;
  bool running() const { return running_; }

 private:
  ChildProcess process_;
  bool running_ = false;
};

// Runs a shell command line and returns its standard output.
std::string CaptureCommand(const std::string& command);

// Real-time sleep for tests that wait on other processes.
void SleepRealMs(int ms);

// A 24-bit bottom-up BMP file of width x height whose pixel (x, y) has the colour colour(x, y)
// (0xRRGGBB).
std::string Bmp24(int32_t width, int32_t height, uint32_t (*colour)(int32_t, int32_t));

}  // namespace korvel::test
