// Opening a URL or a file with the program the desktop associates with it, for scripts: only
// web and mail URLs and existing files inside the given roots; programs, scripts and desktop
// entries are never started this way. Every started child is reaped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvel::platform {

enum class OpenOutcome : uint8_t {
  kStarted,   // a program runs (or ran, when waited for)
  kRefused,   // a URL of another scheme, a path outside the roots, or a file that would run
  kNotFound,  // no such file in any root
  kFailed,    // nothing could be started
};

// `target` is code page 932 ('\' separators; a URL's '\' become '/' again). http, https and mailto
// URLs go to `xdg-open`. A file is looked up in each root in order; its desktop program (from
// `xdg-mime` and the desktop entry) is started with the file and then `parameters` (code page 932,
// split as a Windows command line splits, each its own argument; never through a shell), else
// `xdg-open` is, with the file alone. `wait` blocks until the started program ends: for `xdg-open`
// that is `xdg-open` itself, which may hand the file on to a program that keeps running.
OpenOutcome OpenScriptTarget(const std::vector<std::string>& roots, std::string_view target,
                             std::string_view parameters, bool wait);

// True when the file would run as a program: the executable bit, a "#!" or ELF head, a desktop
// entry, or an extension of a program or script.
bool WouldRunAsProgram(const std::string& real_path);

// The desktop program's path for a file (searched on PATH when the entry names it bare), or "".
std::string AssociatedProgramPath(const std::string& real_path);

}  // namespace korvel::platform
