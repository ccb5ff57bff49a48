// The volume law that sound channels and the graph movie player share: known answers (Python's
// math.log10 and trunc) and the silent and full ends.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "core/volume_millibels.h"

namespace korvel {
namespace {

TEST(VolumeMillibels, KnownAnswersAndEnds) {
  const struct {
    int32_t volume, millibels;
  } cases[] = {
      {std::numeric_limits<int32_t>::min(), -10000},
      {-1, -10000},
      {0, -10000},
      {1, -9632},
      {3, -7724},
      {16, -4816},
      {100, -1632},
      {181, -602},  // truncated toward zero, not rounded (-602.3)
      {200, -428},
      {255, -6},
      {256, 0},
      {257, 0},
      {std::numeric_limits<int32_t>::max(), 0},
  };
  for (const auto& c : cases) EXPECT_EQ(VolumeToMillibels(c.volume), c.millibels) << c.volume;
}

}  // namespace
}  // namespace korvel
