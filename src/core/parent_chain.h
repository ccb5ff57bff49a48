// The walk along a table of parent codes (the GIF decoder's string table).
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

// Follows a table of parent codes from `code` while it is above `bound`, at most 4096 steps; a code
// outside the table ends the walk. Returns the code reached.
uint32_t FollowParentChain(const uint16_t* parents, size_t table_size, uint32_t code,
                           uint32_t bound);

}  // namespace korvel
