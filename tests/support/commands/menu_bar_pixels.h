// The installed menu bar's pixels, drawn on request.
#pragma once

#include <cstdint>

namespace korvel::test {

// Draws the bar's pixels when they changed; returns their width (0 without a bar).
int32_t DrawInstalledMenuBar();

}  // namespace korvel::test
