// The walk along a table of parent codes (the GIF decoder's string table).
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

// Follows a table of parent codes from `code` while it is above `bound`, at most 4096 steps; a code
// outside the table ends the walk. Returns the code reached.
uint32_t FollowParentChain(const uint16_t* parents, size_t table_size, uint32_t code,
                           uint32_t bound);

// The same walk, handing every code it steps from to `visit` (the GIF decoder pushes each code's
// last byte as it goes, so a string costs one walk).
template <typename Visit>
inline uint32_t FollowParentChain(const uint16_t* parents, size_t table_size, uint32_t code,
                                  uint32_t bound, Visit&& visit) {
  for (int steps = 0; steps < 4096 && code > bound && code < table_size; ++steps) {
    visit(code);
    code = parents[code];
  }
  return code;
}

}  // namespace korvel
