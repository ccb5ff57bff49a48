// The Windows rules for splitting a command line into arguments.
#include "platform/windows_command_line.h"

namespace korvel::platform {

std::vector<std::string> SplitWindowsCommandLine(std::string_view text) {
  std::vector<std::string> args;
  size_t i = 0;
  const size_t n = text.size();
  while (true) {
    while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i >= n) break;
    std::string arg;
    bool quoted = false;
    while (i < n) {
      const char c = text[i];
      if (!quoted && (c == ' ' || c == '\t')) break;
      if (c == '\\') {
        size_t run = 0;
        while (i < n && text[i] == '\\') {
          ++run;
          ++i;
        }
        if (i < n && text[i] == '"') {
          arg.append(run / 2, '\\');
          if (run % 2 == 1) {
            arg += '"';
            ++i;
          }
          // An even run leaves the quote to group, below.
        } else {
          arg.append(run, '\\');
        }
        continue;
      }
      if (c == '"') {
        if (quoted && i + 1 < n && text[i + 1] == '"') {
          arg += '"';
          i += 2;
          continue;
        }
        quoted = !quoted;
        ++i;
        continue;
      }
      arg += c;
      ++i;
    }
    args.push_back(std::move(arg));
  }
  return args;
}

}  // namespace korvel::platform
