// The headless virtual clock: start value, advancing by the owner's sleeps, other threads waiting
// for it (condition variables, no polling), release of the owner, and the 2^32 wrap.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "platform/headless/headless_api.h"
#include "platform/platform.h"
#include "platform_test_util.h"

namespace korvel::platform {
namespace {

using test::CleanHeadlessEnv;
using test::ScopedEnv;

class HeadlessClock : public ::testing::Test {
 protected:
  void Start(const char* clock_start) {
    ScopedEnv start("KORVEL_CLOCK_START", clock_start ? std::optional<std::string>(clock_start)
                                                     : std::nullopt);
    ASSERT_TRUE(InitPlatformWith(BackendKind::kHeadless));
  }
  void TearDown() override { ShutdownPlatform(); }
  CleanHeadlessEnv env_;
};

TEST_F(HeadlessClock, StartsAtTheGivenValue) {
  const struct {
    const char* text;
    uint32_t expected;
  } cases[] = {{nullptr, 0}, {"123", 123}, {"0x10", 16}, {"0XFFFFFFFF", 0xFFFFFFFFu}};
  for (const auto& c : cases) {
    Start(c.text);
    EXPECT_EQ(NowMs(), c.expected) << (c.text ? c.text : "unset");
    ShutdownPlatform();
  }
}

TEST_F(HeadlessClock, RefusesMalformedStartValues) {
  for (const char* text : {"12ab", "-1", "0x100000000", "0x", " 5", "4294967296"}) {
    ScopedEnv start("KORVEL_CLOCK_START", text);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(InitPlatformWith(BackendKind::kHeadless)) << text;
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("KORVEL_CLOCK_START"), std::string::npos) << err;
    EXPECT_EQ(HeadlessAbortStatus(), 2);
  }
}

TEST_F(HeadlessClock, SleepsAndTestsAdvanceIt) {
  Start("1000");
  SleepMs(16);  // no owner: the sleeping thread advances the clock
  EXPECT_EQ(NowMs(), 1016u);
  SetClockThread(true);
  SleepMs(17);
  EXPECT_EQ(NowMs(), 1033u);
  AdvanceClockForTest(7);
  EXPECT_EQ(NowMs(), 1040u);
  SleepMs(0);
  EXPECT_EQ(NowMs(), 1040u);
  SetClockThread(false);
}

TEST_F(HeadlessClock, OtherThreadsWaitForTheOwner) {
  Start("500");
  SetClockThread(true);
  std::atomic<bool> woke{false};
  uint32_t woke_at = 0;
  std::thread sleeper([&] {
    SleepMs(50);
    woke_at = NowMs();
    woke = true;
  });
  WaitForHeadlessSleepers(1);
  EXPECT_EQ(NowMs(), 500u);  // the sleeper did not move the clock
  SleepMs(30);
  EXPECT_FALSE(woke.load());
  SleepMs(20);
  sleeper.join();
  EXPECT_TRUE(woke.load());
  EXPECT_EQ(woke_at, 550u);
  SetClockThread(false);
}

TEST_F(HeadlessClock, ReleasingTheOwnerLetsSleepersMoveOn) {
  Start(nullptr);
  SetClockThread(true);
  std::thread sleeper([] { SleepMs(100); });
  WaitForHeadlessSleepers(1);
  SetClockThread(false);
  sleeper.join();
  EXPECT_EQ(NowMs(), 100u);  // with no owner, the sleeper advanced the clock to its wake time
}

TEST_F(HeadlessClock, WrapsAtTwoToTheThirtyTwo) {
  Start("0xFFFFF000");
  SetClockThread(true);
  std::atomic<bool> woke{false};
  std::thread sleeper([&] {
    SleepMs(0x1800);  // wakes at 0x800, after the wrap
    woke = true;
  });
  WaitForHeadlessSleepers(1);
  SleepMs(0x1000);
  EXPECT_EQ(NowMs(), 0u);
  SleepMs(0x7FF);
  EXPECT_FALSE(woke.load());  // 0x7FF after the wrap is still before the wake time
  SleepMs(1);
  sleeper.join();
  EXPECT_EQ(NowMs(), 0x800u);
  SetClockThread(false);
}

// A clock thread starting another and waiting for it keeps the turn: the new thread is let go as
// soon as it is on the clock and first runs when the starter sleeps, at the time it joined.
TEST_F(HeadlessClock, StarterKeepsTheTurnWhileANewThreadJoins) {
  Start(nullptr);
  SetClockThread(true);
  std::vector<std::string> log;  // only the thread holding the turn writes
  std::promise<void> joined;
  std::thread sound([&] {
    JoinClockThread([](void* p) { static_cast<std::promise<void>*>(p)->set_value(); }, &joined);
    log.push_back("joiner " + std::to_string(NowMs()));
    SleepMs(3);
    log.push_back("joiner " + std::to_string(NowMs()));
    SetClockThread(false);
  });
  joined.get_future().wait();  // would stall both if the join waited for the turn
  log.push_back("starter " + std::to_string(NowMs()));
  SleepMs(5);
  log.push_back("starter " + std::to_string(NowMs()));
  sound.join();
  SetClockThread(false);
  EXPECT_EQ(log, (std::vector<std::string>{"starter 0", "joiner 0", "joiner 3", "starter 5"}));
}

TEST_F(HeadlessClock, MainThreadServesRequestsWhileWaiting) {
  Start(nullptr);
  std::atomic<bool> ran_on_main{false};
  std::promise<void> owning;
  std::thread game([&] {
    SetClockThread(true);
    owning.set_value();
    WaitForHeadlessSleepers(1);  // the main thread waits for the clock now
    RunOnMainThread(
        [](void* flag) { static_cast<std::atomic<bool>*>(flag)->store(IsMainThread()); },
        &ran_on_main);
    SleepMs(10);
    SetClockThread(false);
  });
  owning.get_future().wait();
  SleepMs(10);  // not the owner: waits, serving the game thread's request meanwhile
  game.join();
  EXPECT_TRUE(ran_on_main.load());
  EXPECT_EQ(NowMs(), 10u);
}

// A clock thread holding the turn while blocked elsewhere (here on a future the waiting thread
// fulfils) stalls the other: after the turn limit the waiter goes on and says so on stderr. A
// proper hand-over through sleeps says nothing.
TEST_F(HeadlessClock, StalledTurnIsReported) {
  Start(nullptr);
  SetHeadlessTurnLimitForTest(1000);
  SetClockThread(true);
  testing::internal::CaptureStderr();
  std::promise<void> joined, slept;
  std::thread waiter([&] {
    JoinClockThread([](void* p) { static_cast<std::promise<void>*>(p)->set_value(); }, &joined);
    SleepMs(3);  // the starter runs at 1 ms, then blocks on `slept`: this waits out the limit
    slept.set_value();
    SetClockThread(false);
  });
  joined.get_future().wait();
  SleepMs(1);  // a proper hand-over: the waiter runs at 0 ms and sleeps until 3
  EXPECT_EQ(NowMs(), 1u);
  slept.get_future().wait();  // holds the turn without sleeping
  waiter.join();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(NowMs(), 3u);
  SetClockThread(false);
  EXPECT_NE(err.find("korvel: headless clock stalled at 1 ms"), std::string::npos) << err;
  EXPECT_EQ(err.find("stalled", err.find("stalled") + 1), std::string::npos) << "once: " << err;
}

}  // namespace
}  // namespace korvel::platform
