// The screen-saver switches of a screen-saver build: a pure decision from the argument slots, and
// the actions that carry it out.
#pragma once

#include <cstdint>

#include "core/program_paths.h"

namespace korvel {

enum class ScreenSaverAction : uint8_t {
  kContinue,    // any other switch ("/s"): the normal start
  kPreview,     // "/p <window>": the preview inside another window
  kEndRun,      // "/a <window>": no password change
  kVersionBox,  // "/c", or no argument: the version box
};

// The first argument's first character is '/' or '-'; its second is compared without regard to case.
ScreenSaverAction DecideScreenSaverAction(const CommandLine& command_line);

// Carries out the decision in a screen-saver build (nothing otherwise). The preview cannot embed a
// window here, so "/p" ends the run as "/a" does. Returns 0 to go on with the start, 1 to end it.
int32_t HandleScreenSaverCommandLine(bool screen_saver_build, const CommandLine& command_line);

}  // namespace korvel
