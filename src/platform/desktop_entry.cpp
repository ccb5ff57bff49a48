// The program that the desktop associates with a file: `xdg-mime` names the file's type and its
// default desktop entry; the entry's Exec line, without field codes, is the program's argv.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/ascii_text.h"
#include "platform/process.h"

extern char** environ;

namespace korvel::platform {
namespace {

constexpr size_t kOutputLimit = 64 * 1024;

// Runs `argv` (searched on PATH) with stdin and stderr on /dev/null; true with its standard output
// when it exits with status 0.
bool RunCapture(const std::vector<std::string>& args, std::string* output) {
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) return false;
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  pid_t pid = -1;
  const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  if (error != 0) {
    close(pipe_fds[0]);
    return false;
  }
  output->clear();
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(pipe_fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (output->size() < kOutputLimit) output->append(buffer, static_cast<size_t>(n));
  }
  close(pipe_fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<std::string> DataDirs() {
  std::vector<std::string> dirs;
  const char* data_home = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  if (data_home != nullptr && *data_home != '\0') {
    dirs.push_back(data_home);
  } else if (home != nullptr && *home != '\0') {
    dirs.push_back(std::string(home) + "/.local/share");
  }
  const char* data_dirs = std::getenv("XDG_DATA_DIRS");
  std::string list = (data_dirs != nullptr && *data_dirs != '\0') ? data_dirs
                                                                   : "/usr/local/share:/usr/share";
  size_t start = 0;
  while (start <= list.size()) {
    const size_t colon = list.find(':', start);
    const std::string dir = list.substr(start, colon == std::string::npos ? std::string::npos
                                                                          : colon - start);
    if (!dir.empty()) dirs.push_back(dir);
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  return dirs;
}

// The Exec value of the [Desktop Entry] group, or false.
bool ReadExecLine(const std::string& path, std::string* exec) {
  std::ifstream file(path);
  if (!file) return false;
  std::string line;
  bool in_entry = false;
  while (std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '[') {
      in_entry = line == "[Desktop Entry]";
      continue;
    }
    if (!in_entry) continue;
    const size_t equals = line.find('=');
    if (equals == std::string::npos || TrimAsciiSpace(line.substr(0, equals)) != "Exec") continue;
    *exec = std::string(TrimAsciiSpace(line.substr(equals + 1)));
    return true;
  }
  return false;
}

// Finds the desktop file of `id` in the data dirs; "a-b.desktop" may live in "a/b.desktop".
bool FindDesktopFile(const std::string& id, std::string* found) {
  if (id.empty() || id.find('/') != std::string::npos) return false;
  for (const std::string& dir : DataDirs()) {
    std::string name = id;
    for (;;) {
      const std::string candidate = dir + "/applications/" + name;
      if (access(candidate.c_str(), R_OK) == 0) {
        *found = candidate;
        return true;
      }
      const size_t dash = name.find('-');
      if (dash == std::string::npos) break;
      name[dash] = '/';
    }
  }
  return false;
}

// Undoes the string-level escapes of desktop entry values (\s \n \t \r \\); other backslashes
// stay for the quoting rules of Exec.
std::string UnescapeValue(const std::string& value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (c == '\\' && i + 1 < value.size()) {
      switch (value[i + 1]) {
        case 's': c = ' '; ++i; break;
        case 'n': c = '\n'; ++i; break;
        case 't': c = '\t'; ++i; break;
        case 'r': c = '\r'; ++i; break;
        case '\\': ++i; break;
        default: break;
      }
    }
    out += c;
  }
  return out;
}

// Removes field codes from one argument: "%%" is a percent sign, "%x" disappears.
std::string StripFieldCodes(const std::string& arg) {
  std::string out;
  for (size_t i = 0; i < arg.size(); ++i) {
    if (arg[i] != '%') {
      out += arg[i];
    } else if (i + 1 < arg.size()) {
      if (arg[++i] == '%') out += '%';
    }
  }
  return out;
}

}  // namespace

// Splits an Exec value into arguments (double quotes group, backslash escapes inside them) and
// drops field codes; an argument that was only a field code disappears.
std::vector<std::string> SplitExecLine(const std::string& exec) {
  const std::string value = UnescapeValue(exec);
  std::vector<std::string> args;
  std::string current;
  bool in_arg = false, quoted = false, was_quoted = false;
  auto finish = [&] {
    if (!in_arg) return;
    std::string stripped = StripFieldCodes(current);
    // "%f" alone vanishes; an explicit "" stays an empty argument.
    if (!stripped.empty() || was_quoted) args.push_back(std::move(stripped));
    current.clear();
    in_arg = was_quoted = false;
  };
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (quoted) {
      if (c == '"') {
        quoted = false;
      } else if (c == '\\' && i + 1 < value.size()) {
        current += value[++i];
      } else {
        current += c;
      }
    } else if (c == ' ' || c == '\t') {
      finish();
    } else if (c == '"') {
      quoted = in_arg = was_quoted = true;
    } else {
      current += c;
      in_arg = true;
    }
  }
  finish();
  return args;
}

std::vector<std::string> FindAssociatedProgram(const std::string& path) {
  std::string mime, id, desktop_file, exec;
  if (!RunCapture({"xdg-mime", "query", "filetype", path}, &mime)) return {};
  mime = std::string(TrimAsciiSpace(mime));
  if (mime.empty() || mime.find('\n') != std::string::npos) return {};
  if (!RunCapture({"xdg-mime", "query", "default", mime}, &id)) return {};
  id = std::string(TrimAsciiSpace(id.substr(0, id.find('\n'))));
  if (!FindDesktopFile(id, &desktop_file) || !ReadExecLine(desktop_file, &exec)) return {};
  return SplitExecLine(exec);
}

}  // namespace korvel::platform
