// Command 12: end the program, optionally starting it again afterwards.
#pragma once

#include <cstdint>

namespace korvel {

// Parameter 0, when given, becomes the restart flag; the quit flag is set. Returns 0: the main loop
// sees the flag and shuts down with exit status 0.
int32_t RunQuitCommand();

}  // namespace korvel
