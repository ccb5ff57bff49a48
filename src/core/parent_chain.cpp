// The walk along a table of parent codes.
#include "core/parent_chain.h"

namespace korvel {

uint32_t FollowParentChain(const uint16_t* parents, size_t table_size, uint32_t code,
                           uint32_t bound) {
  return FollowParentChain(parents, table_size, code, bound, [](uint32_t) {});
}

}  // namespace korvel
