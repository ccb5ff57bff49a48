// A stand-in for the window command (88) that applies only its menu-name parameter (22) to the
// window of parameter 0, until the full window command is installed in its place.
#pragma once

#include <cstdint>

namespace korvel {

inline constexpr uint8_t kCommandWindowMenu = 88;

int32_t RunWindowMenuCommand();

// Installs RunWindowMenuCommand for command 88.
void RegisterWindowMenuCommand();

}  // namespace korvel
