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
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace korvel::test {

namespace fs = std::filesystem;

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

  pid_ = ::fork();
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
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  if (!stderr_path_.empty()) ::unlink(stderr_path_.c_str());
  if (!stdout_path_.empty()) ::unlink(stdout_path_.c_str());
}

void ChildProcess::Signal(int signal_number) const { ::kill(pid_, signal_number); }

ProcessResult ChildProcess::Wait(int timeout_ms) {
  ProcessResult result;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  int status = 0;
  for (;;) {
    const int r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_) break;
    if (std::chrono::steady_clock::now() > deadline) {
      result.timed_out = true;
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  waited_ = true;
  if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.exit_status = 128 + WTERMSIG(status);
  result.stderr_text = ReadFile(stderr_path_);
  result.stdout_text = ReadFile(stdout_path_);
  return result;
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
    ::execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fd_text.c_str(), "-screen", "0", "1024x768x24",
            "-nolisten", "tcp", static_cast<char*>(nullptr));
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
