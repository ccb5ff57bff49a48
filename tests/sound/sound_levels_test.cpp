// Known answers of the volume, pan and speed conversions and of the volume walk up the sound tree.
#include <gtest/gtest.h>

#include "sound/sound_levels.h"

namespace korvel {
namespace {

TEST(SoundLevels, VolumeToMillibels) {
  const struct {
    int32_t volume, millibels;
  } cases[] = {{256, 0},      {255, -6},     {128, -1204}, {64, -2408}, {2, -8428},
               {1, -9632},    {0, -10000},   {-5, -10000}, {300, 0}};
  for (const auto& c : cases) EXPECT_EQ(VolumeToMillibels(c.volume), c.millibels) << c.volume;
}

TEST(SoundLevels, PanToMillibels) {
  const struct {
    int32_t pan, millibels;
  } cases[] = {{0, -10000}, {128, -1204}, {256, 0}, {384, 1204}, {512, 10000},
               {600, 0},    {-1, 0}};
  for (const auto& c : cases) EXPECT_EQ(PanToMillibels(c.pan), c.millibels) << c.pan;
}

TEST(SoundLevels, SpeedToFrequency) {
  const struct {
    uint32_t rate;
    int32_t speed;
    uint32_t hz;
  } cases[] = {{11025, 0, 5513},           {11025, 128, 8269}, {11025, 256, 11025},
               {11025, 512, 16537}, {44100, 0, 22050},          {44100, 128, 33075},
               {44100, 512, 66150},        {44100, 513, 44100},        {44100, -1, 44100}};
  for (const auto& c : cases) {
    EXPECT_EQ(SpeedToFrequency(c.rate, c.speed), c.hz) << c.rate << " " << c.speed;
  }
}

}  // namespace
}  // namespace korvel
