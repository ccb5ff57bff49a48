// The walk along a table of parent codes.
#include "core/parent_chain.h"

namespace korvel {

uint32_t FollowParentChain(const uint16_t* parents, size_t table_size, uint32_t code,
                           uint32_t bound) {
  for (int steps = 0; steps < 4096 && code > bound && code < table_size; ++steps) {
    code = parents[code];
  }
  return code;
}

}  // namespace korvel
