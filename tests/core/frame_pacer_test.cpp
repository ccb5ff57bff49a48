// The frame pacer on the headless virtual clock.
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "core/frame_pacer.h"
#include "param_names.h"
#include "platform/platform.h"

namespace korvel {
namespace {

class FramePacerTest : public ::testing::Test {
 protected:
  void StartClock(const char* start) {
    ::setenv("KORVEL_CLOCK_START", start, 1);
    ASSERT_TRUE(platform::InitPlatformWith(platform::BackendKind::kHeadless));
    platform::SetClockThread(true);
    InitFramePacer();
    g_pacer.reference = platform::NowMs();
  }
  void TearDown() override {
    platform::SetClockThread(false);
    platform::ShutdownPlatform();
    ::unsetenv("KORVEL_CLOCK_START");
  }
};

TEST_F(FramePacerTest, SixtyFpsPeriodsFollowTheFixedPointFormula) {
  StartClock("0");
  // 65536000 / 60 = 1092266 in 16.16; the fraction carries over, so after the first 16 two of
  // every three periods are 17 ms, and 60 periods make 999 ms (the period is truncated).
  const std::vector<uint32_t> expected = {16, 17, 16, 17, 17, 16, 17, 17, 16, 17, 17, 16};
  std::vector<uint32_t> periods;
  for (size_t i = 0; i < expected.size(); ++i) periods.push_back(NextFramePeriod(&g_pacer));
  EXPECT_EQ(periods, expected);

  InitFramePacer();
  uint32_t total = 0;
  for (int i = 0; i < 60; ++i) total += NextFramePeriod(&g_pacer);
  EXPECT_EQ(total, 999u);
}

TEST_F(FramePacerTest, OnTimeFrameSleepsTheRestOfThePeriod) {
  StartClock("1000");
  platform::AdvanceClockForTest(5);  // 5 ms of work in this frame
  EXPECT_EQ(WaitForNextFrame(), 0u);
  EXPECT_EQ(platform::NowMs(), 1016u);
  EXPECT_EQ(g_pacer.reference, 1016u);
  EXPECT_EQ(g_pacer.last_stamp, 1016u);
}

struct LagCase {
  uint32_t lag;          // ms beyond the 16 ms period
  uint32_t skip_switch;  // frame skipping on or off
  uint32_t expected_skip;
  uint32_t expected_reference_offset;  // reference - now after the wait
};

void PrintTo(const LagCase& c, std::ostream* os) {
  *os << "lag " << c.lag << " ms, skipping " << (c.skip_switch != 0 ? "on" : "off");
}

class FramePacerLagTest : public FramePacerTest, public ::testing::WithParamInterface<LagCase> {};

TEST_P(FramePacerLagTest, LateFramesKeepOrForgiveTheirLag) {
  const LagCase c = GetParam();
  StartClock("5000");
  g_pacer.skip_enabled = c.skip_switch;
  // The first period is 16 ms; the frame ends `lag` ms after it.
  platform::AdvanceClockForTest(16 + c.lag);
  const uint32_t now = platform::NowMs();
  EXPECT_EQ(WaitForNextFrame(), c.expected_skip);
  EXPECT_EQ(platform::NowMs(), now) << "a late frame does not sleep";
  EXPECT_EQ(g_pacer.reference - now, c.expected_reference_offset);
}

INSTANTIATE_TEST_SUITE_P(
    Lags, FramePacerLagTest,
    ::testing::Values(LagCase{0, 1, 0, 0},        // exactly on the period
                      LagCase{47, 1, 0, 47},      // below 3 x 16
                      LagCase{48, 1, 1, 48},      // 3 x period: skip
                      LagCase{48, 0, 0, 48},      // ...only with skipping on
                      LagCase{249, 1, 1, 249},    // kept
                      LagCase{249, 0, 0, 249},
                      LagCase{250, 1, 0, 0},      // forgiven: starts over from now
                      LagCase{10000, 1, 0, 0}),
    test::CaseName());

TEST_F(FramePacerTest, ReferenceAheadOfNowCountsAsForgivenLateFrame) {
  StartClock("2000");
  g_pacer.reference = platform::NowMs() + 100;
  EXPECT_EQ(WaitForNextFrame(), 0u);
  EXPECT_EQ(g_pacer.reference, 2000u);
  EXPECT_EQ(platform::NowMs(), 2000u);
}

TEST_F(FramePacerTest, PacesAcrossTheClockWrap) {
  StartClock("0xFFFFF000");
  const uint32_t start = platform::NowMs();
  uint32_t expected = 0;
  FramePacer shadow;
  for (int i = 0; i < 600; ++i) {
    expected += NextFramePeriod(&shadow);
    platform::AdvanceClockForTest(3);  // a little work each frame
    ASSERT_EQ(WaitForNextFrame(), 0u) << "frame " << i;
  }
  EXPECT_LT(platform::NowMs(), start) << "the clock wrapped";
  EXPECT_EQ(platform::NowMs() - start, expected);
}

TEST_F(FramePacerTest, CountsFramesPerSecond) {
  StartClock("0");
  for (int i = 0; i < 130; ++i) {
    WaitForNextFrame();
    CountDrawnFrame();
  }
  // The second that ended at 1000 ms counted every frame started in it.
  EXPECT_EQ(g_pacer.last_loop_frames, 60u);
  EXPECT_EQ(g_pacer.last_drawn_frames, 60u);
}

TEST(FrameRateTest, RefusesRatesOutsideOneToThousand) {
  InitFramePacer();
  for (int64_t bad : {0LL, -1LL, 1001LL, 1LL << 40}) {
    EXPECT_FALSE(SetFrameRate(bad)) << bad;
    EXPECT_EQ(g_pacer.fps, 60);
  }
  EXPECT_TRUE(SetFrameRate(1));
  EXPECT_EQ(NextFramePeriod(&g_pacer), 1000u);
  EXPECT_TRUE(SetFrameRate(1000));
  EXPECT_EQ(g_pacer.fps, 1000);
}

}  // namespace
}  // namespace korvel
