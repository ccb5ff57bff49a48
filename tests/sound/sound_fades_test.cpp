// Fades pass by pass on the virtual clock: timing, zero times, restarts, fade-outs, and the clock's
// wrap at 2^32.
#include <gtest/gtest.h>

#include "sound_test_fixture.h"

namespace korvel::test {
namespace {

class SoundFades : public SoundTreeTest, public ::testing::WithParamInterface<uint32_t> {
 protected:
  void SetUp() override { StartAt(GetParam()); }
};

TEST_P(SoundFades, FadeInFollowsTheClockToItsTarget) {
  NamedTreeNode* node = AddNode("bgm");
  Play(node, 1024);
  EXPECT_EQ(Ch(node).state, kSoundFadingIn);
  EXPECT_EQ(Ch(node).volume, 0);
  ASSERT_EQ(Pass(256), 0);
  EXPECT_EQ(Ch(node).volume, 64);
  ASSERT_EQ(Pass(256), 0);
  EXPECT_EQ(Ch(node).volume, 128);
  ASSERT_EQ(Pass(511), 0);
  EXPECT_EQ(Ch(node).state, kSoundFadingIn);
  ASSERT_EQ(Pass(1), 0);
  EXPECT_EQ(Ch(node).volume, 256);
  EXPECT_EQ(Ch(node).state, kSoundPlaying);
}

TEST_P(SoundFades, ZeroTimeReachesTheTargetOnTheNextPass) {
  NamedTreeNode* node = AddNode("se");
  Post(node, kSoundOpSetVolume, 200);
  Play(node, 0);
  ASSERT_EQ(Pass(), 0);
  EXPECT_EQ(Ch(node).volume, 200);
  EXPECT_EQ(Ch(node).state, kSoundPlaying);
  Post(node, kSoundOpFadeOutStop, 0);
  ASSERT_EQ(Pass(), 0);
  EXPECT_EQ(Ch(node).state, kSoundIdle);
}

TEST_P(SoundFades, PlayWhileFadingInToTheSameTargetStillArrives) {
  NamedTreeNode* node = AddNode("bgm");
  Play(node, 1024);
  ASSERT_EQ(Pass(512), 0);
  Post(node, kSoundOpPlay, 512);  // target and previous target are both 256
  ASSERT_EQ(Pass(), 0);
  EXPECT_EQ(Ch(node).volume, 128);
  ASSERT_EQ(Pass(511), 0);
  EXPECT_EQ(Ch(node).state, kSoundFadingIn);
  ASSERT_EQ(Pass(1), 0);
  EXPECT_EQ(Ch(node).volume, 256);
  EXPECT_EQ(Ch(node).state, kSoundPlaying);
}

TEST_P(SoundFades, FadeOutWhileFadingInUsesThePreviousTarget) {
  NamedTreeNode* node = AddNode("bgm");
  Play(node, 1024);
  ASSERT_EQ(Pass(512), 0);  // volume 128
  Post(node, kSoundOpFadeOutStop, 1024);
  ASSERT_EQ(Pass(), 0);
  EXPECT_EQ(Ch(node).state, kSoundFadingOut);
  ASSERT_EQ(Pass(511), 0);
  EXPECT_EQ(Ch(node).state, kSoundFadingOut);
  ASSERT_EQ(Pass(1), 0);  // 128 / 256 of the time
  EXPECT_EQ(Ch(node).state, kSoundIdle);
  EXPECT_EQ(Ch(node).volume, 256);
}

TEST_P(SoundFades, SlowFadeStillMoves) {
  NamedTreeNode* node = AddNode("bgm");
  Play(node, 0);
  ASSERT_EQ(Pass(), 0);
  Post(node, kSoundOpSetFadeTarget, 255);
  Post(node, kSoundOpPlay, 5000);  // one step over five seconds: 1024 / 5000 rounds to 0
  ASSERT_EQ(Pass(), 0);
  ASSERT_EQ(Pass(5000), 0);
  EXPECT_EQ(Ch(node).volume, 255);
  EXPECT_EQ(Ch(node).state, kSoundPlaying);
}

TEST_P(SoundFades, PausedFadeStandsStill) {
  NamedTreeNode* node = AddNode("bgm");
  Play(node, 1024);
  ASSERT_EQ(Pass(512), 0);
  Post(node, kSoundOpPause, 1);
  ASSERT_EQ(Pass(), 0);
  ASSERT_EQ(Pass(3000), 0);
  EXPECT_EQ(Ch(node).volume, 128);
  Post(node, kSoundOpPause, 0);
  ASSERT_EQ(Pass(), 0);
  EXPECT_EQ(Ch(node).pause_tick, 0u);
  ASSERT_EQ(Pass(256), 0);
  EXPECT_EQ(Ch(node).volume, 192);
}

INSTANTIATE_TEST_SUITE_P(ClockStart, SoundFades, ::testing::Values(0u, 0xFFFFFF00u),
                         [](const ::testing::TestParamInfo<uint32_t>& param_info) {
                           return param_info.param == 0 ? std::string("Zero") : std::string("NearWrap");
                         });

}  // namespace
}  // namespace korvel::test
