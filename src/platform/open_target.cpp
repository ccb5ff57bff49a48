// Opening URLs and files with their desktop programs; the started children are kept until reaped.
#include "platform/open_target.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/ascii_text.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/script_paths.h"
#include "platform/started_programs.h"
#include "platform/text_encoding.h"
#include "platform/windows_command_line.h"

namespace korvel::platform {

StartedPrograms& TheStartedPrograms() {
  static StartedPrograms* const children = new StartedPrograms;
  return *children;
}

namespace {

void Track(int64_t pid) {
  StartedPrograms& children = TheStartedPrograms();
  {
    std::lock_guard<std::mutex> lock(children.mutex);
    children.pids.push_back(pid);
    ++children.started;
  }
  std::thread([pid, &children] {
    WaitProcess(pid);
    std::lock_guard<std::mutex> lock(children.mutex);
    children.pids.erase(std::remove(children.pids.begin(), children.pids.end(), pid),
                        children.pids.end());
    children.ended.notify_all();
  }).detach();
}

// Starts the program; waits until it ends, or keeps it to be reaped when it ends.
OpenOutcome Start(const std::string& program, const std::vector<std::string>& args, bool wait) {
  const int64_t pid = StartProcess(program, args);
  if (pid <= 0) return OpenOutcome::kFailed;
  if (wait) {
    WaitProcess(pid);
  } else {
    Track(pid);
  }
  return OpenOutcome::kStarted;
}

}  // namespace

bool WouldRunAsProgram(const std::string& real_path) {
  static constexpr std::string_view kRunnable[] = {
      ".desktop", ".exe", ".com", ".bat", ".cmd", ".scr", ".pif", ".lnk", ".msi", ".vbs",
      ".js",      ".jar", ".sh",  ".bash", ".py", ".pl",  ".rb",  ".appimage", ".run", ".bin"};
  for (const std::string_view ext : kRunnable) {
    if (EndsWithNoCase(real_path, ext)) return true;
  }
  struct stat st {};
  if (stat(real_path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return true;
  if ((st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0) return true;
  char head[4] = {};
  size_t got = 0;
  if (ReadFileHead(real_path, head, sizeof head, &got) != FileStatus::kOk) return true;
  if (got >= 2 && head[0] == '#' && head[1] == '!') return true;
  return got >= 4 && head[0] == '\x7f' && head[1] == 'E' && head[2] == 'L' && head[3] == 'F';
}

std::string AssociatedProgramPath(const std::string& real_path) {
  const std::vector<std::string> argv = FindAssociatedProgram(real_path);
  if (argv.empty() || argv[0].empty()) return {};
  if (argv[0].find('/') != std::string::npos) return argv[0];
  const char* path_list = std::getenv("PATH");
  const std::string list = path_list != nullptr ? path_list : "";
  size_t start = 0;
  while (start <= list.size()) {
    const size_t colon = list.find(':', start);
    const std::string dir = list.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + argv[0];
    if (IsExecutableFile(candidate)) return candidate;
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  return argv[0];
}

OpenOutcome OpenScriptTarget(const std::vector<std::string>& roots, std::string_view target,
                             std::string_view parameters, bool wait) {
  if (target.empty()) return OpenOutcome::kNotFound;
  const std::string url = SjisPathToUtf8(target);
  if (StartsWithNoCase(url, "http://") || StartsWithNoCase(url, "https://") ||
      StartsWithNoCase(url, "mailto:")) {
    if (target.size() > kMaxScriptPathBytes) return OpenOutcome::kRefused;
    return Start("xdg-open", {url}, wait);
  }
  // Any other scheme ("file:", "javascript:") is refused by the resolver's ':' rule.
  FileStatus last = FileStatus::kNotFound;
  for (const std::string& root : roots) {
    ScriptPath path;
    last = ResolveScriptPath(root, target, false, &path);
    if (last == FileStatus::kRefused) return OpenOutcome::kRefused;
    if (last != FileStatus::kOk || path.is_folder) continue;
    if (WouldRunAsProgram(path.real)) return OpenOutcome::kRefused;
    std::vector<std::string> argv = FindAssociatedProgram(path.real);
    // xdg-open takes one file and nothing else.
    if (argv.empty()) return Start("xdg-open", {path.real}, wait);
    const std::string program = argv[0];
    argv.erase(argv.begin());
    argv.push_back(path.real);
    for (std::string& parameter : SplitWindowsCommandLine(Cp932ToUtf8(parameters))) {
      argv.push_back(std::move(parameter));
    }
    return Start(program, argv, wait);
  }
  return OpenOutcome::kNotFound;
}

}  // namespace korvel::platform
