// Helpers shared by the engine's tests.
#include "test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

extern char** environ;

namespace korvel::test {

namespace fs = std::filesystem;

namespace {

// The ends of the child processes of the running test, printed when the test fails: a failure
// always shows how the program ended and what it said.
struct ChildLog {
  std::mutex lock;
  std::vector<std::string> entries;
};

ChildLog& Children() {
  static ChildLog log;
  return log;
}

void KeepChildEnd(const std::string& command, const ProcessResult& result) {
  std::ostringstream entry;
  entry << command << "\n" << result;
  std::lock_guard lock(Children().lock);
  Children().entries.push_back(entry.str());
}

class ChildReport : public ::testing::EmptyTestEventListener {
 public:
  void OnTestEnd(const ::testing::TestInfo& info) override {
    std::vector<std::string> entries;
    {
      std::lock_guard lock(Children().lock);
      entries.swap(Children().entries);
    }
    if (!info.result()->Failed()) return;
    for (const std::string& entry : entries) std::cout << "--- child process: " << entry;
    std::cout << std::flush;
  }
};

// Registered before main runs: every test program links this file.
[[maybe_unused]] const bool g_child_report_installed = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new ChildReport);
  return true;
}();

}  // namespace

std::ostream& operator<<(std::ostream& out, const ProcessResult& result) {
  if (result.timed_out) {
    out << "killed after its time ran out";
  } else if (result.exit_status > 128) {
    out << "ended by signal " << result.exit_status - 128;
  } else {
    out << "exit status " << result.exit_status;
  }
  out << "; stderr:\n" << result.stderr_text;
  if (!result.stderr_text.empty() && result.stderr_text.back() != '\n') out << "\n";
  return out;
}

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "korvel-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string TempDir::Write(const std::string& name, const std::string& contents) const {
  const fs::path file = fs::path(path_) / name;
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary);
  out << contents;
  return file.string();
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& env) {
  char name[] = "/tmp/korvel-child-stderr-XXXXXX";
  const int err_fd = ::mkstemp(name);
  if (err_fd < 0) throw std::runtime_error("mkstemp failed");
  stderr_path_ = name;
  char out_name[] = "/tmp/korvel-child-stdout-XXXXXX";
  const int out_fd = ::mkstemp(out_name);
  if (out_fd < 0) throw std::runtime_error("mkstemp failed");
  stdout_path_ = out_name;

  std::vector<std::string> environment;
  for (char** e = environ; *e != nullptr; ++e) environment.emplace_back(*e);
  for (const auto& add : env) {
    const std::string key = add.substr(0, add.find('=') + 1);
    std::erase_if(environment, [&](const std::string& v) { return v.rfind(key, 0) == 0; });
    environment.push_back(add);
  }
  std::vector<char*> envp;
  for (auto& v : environment) envp.push_back(v.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = argv;
  std::vector<char*> argp;
  for (auto& a : args) argp.push_back(a.data());
  argp.push_back(nullptr);
  for (const auto& add : env) command_ += add + " ";
  for (const auto& a : argv) command_ += a + " ";

  pid_ = ::fork();
  if (pid_ < 0) {
    ::close(err_fd);
    throw std::runtime_error("fork failed");
  }
  if (pid_ == 0) {
    ::dup2(out_fd, 1);
    ::dup2(err_fd, 2);
    const int null_fd = ::open("/dev/null", O_RDWR);
    ::dup2(null_fd, 0);
    ::execve(argp[0], argp.data(), envp.data());
    ::_exit(127);
  }
  ::close(err_fd);
  ::close(out_fd);
}

ChildProcess::~ChildProcess() {
  if (!waited_ && pid_ > 0) {
    // Left running by a test that returned early: killed, and its stderr kept for the report.
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    Finish(status, false);
  }
  if (!stderr_path_.empty()) ::unlink(stderr_path_.c_str());
  if (!stdout_path_.empty()) ::unlink(stdout_path_.c_str());
}

void ChildProcess::Signal(int signal_number) const {
  if (!waited_) ::kill(pid_, signal_number);
}

ProcessResult ChildProcess::Finish(int status, bool timed_out) {
  waited_ = true;
  result_ = ProcessResult{};
  result_.timed_out = timed_out;
  if (WIFEXITED(status)) result_.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result_.exit_status = 128 + WTERMSIG(status);
  result_.stderr_text = ReadFile(stderr_path_);
  result_.stdout_text = ReadFile(stdout_path_);
  KeepChildEnd(command_, result_);
  return result_;
}

bool ChildProcess::Running() {
  if (waited_) return false;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) != pid_) return true;
  Finish(status, false);
  return false;
}

ProcessResult ChildProcess::Wait(int timeout_ms) {
  if (waited_) return result_;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  int status = 0;
  for (;;) {
    if (::waitpid(pid_, &status, WNOHANG) == pid_) return Finish(status, false);
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      return Finish(status, true);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

ProcessResult ChildProcess::Stop(int timeout_ms) {
  Signal(SIGTERM);
  return Wait(timeout_ms);
}

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         int timeout_ms) {
  ChildProcess child(argv, env);
  return child.Wait(timeout_ms);
}

XvfbServer::XvfbServer() {
  if (::access("/usr/bin/Xvfb", X_OK) != 0) return;
  // Xvfb picks a free display number itself and writes it to the pipe once it accepts clients, so
  // tests running side by side never share a server.
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return;
  pid_ = ::fork();
  if (pid_ == 0) {
    const int null_fd = ::open("/dev/null", O_RDWR);
    ::dup2(null_fd, 1);
    ::dup2(null_fd, 2);
    const int write_fd = ::dup(fds[1]);  // without close-on-exec, for Xvfb
    const std::string fd_text = std::to_string(write_fd);
    // -noreset: by default the server resets whenever its last client leaves, and a client that
    // connects during the reset is refused. Between the test's polls and the program's start the
    // server has no client, so without it SDL could find no display and the program would run
    // headless, showing no window at all.
    ::execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fd_text.c_str(), "-noreset", "-screen", "0",
            "1024x768x24", "-nolisten", "tcp", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(fds[1]);
  std::string number;
  char c = 0;
  while (::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  ::close(fds[0]);
  if (pid_ < 0 || number.empty()) {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
    return;
  }
  display_ = ":" + number;
}

XvfbServer::~XvfbServer() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
}

WindowManager::WindowManager(const std::string& display, const std::string& runtime_dir)
    : process_({"/usr/bin/openbox", "--sm-disable", "--startup",
                "xprop -root -f _KORVEL_WM_READY 32c -set _KORVEL_WM_READY 1"},
               {"DISPLAY=" + display, "DBUS_SESSION_BUS_ADDRESS=disabled:",
                "XDG_RUNTIME_DIR=" + runtime_dir}) {
  for (int i = 0; i < 500 && !running_ && process_.Running(); ++i) {
    running_ = CaptureCommand("DISPLAY=" + display + " xprop -root _KORVEL_WM_READY 2>/dev/null")
                   .find("= 1") != std::string::npos;
    if (!running_) SleepRealMs(20);
  }
}

WindowManager::~WindowManager() { process_.Stop(5000); }

std::string CaptureCommand(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) out.append(buffer, n);
  ::pclose(pipe);
  return out;
}

void SleepRealMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::string Bmp24(int32_t width, int32_t height, uint32_t (*colour)(int32_t, int32_t)) {
  const uint32_t row = (uint32_t(width) * 3 + 3) & ~3u;
  std::string f;
  const auto put = [&f](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) f.push_back(char(v >> (8 * i)));
  };
  f += "BM";
  for (uint32_t v : {54 + row * uint32_t(height), 0u, 54u, 40u, uint32_t(width), uint32_t(height)})
    put(v, 4);
  put(1, 2);
  put(24, 2);
  for (uint32_t v : {0u, row * uint32_t(height), 2835u, 2835u, 0u, 0u}) put(v, 4);
  for (int32_t y = height - 1; y >= 0; --y) {
    for (int32_t x = 0; x < width; ++x) put(colour(x, y), 3);
    f.append(row - uint32_t(width) * 3, '\0');
  }
  return f;
}

}  // namespace korvel::test
