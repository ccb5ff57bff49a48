// The request ring: a full ring loses nothing, requests run in order, waits give up on quit, and
// group pause and resume reach the channels below.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "core/engine_timers.h"
#include "core/error_report.h"
#include "platform/headless/headless_api.h"
#include "sound_test_fixture.h"

namespace korvel::test {
namespace {

using SoundRing = SoundTreeTest;

TEST_F(SoundRing, FullRingWaitsAndLosesNoRequest) {
  NamedTreeNode* node = AddNode("bgm");
  std::string error;
  ASSERT_TRUE(platform::QueueHeadlessAnswer("1", &error)) << error;
  // 1023 requests fill the ring; the 1024th waits for room on a thread of its own.
  for (int32_t i = 0; i < 1023; ++i) Post(node, kSoundOpSetFadeTarget, i);
  // On the clock, this thread decides when the waiting poster's sleeps end.
  platform::SetClockThread(true);
  std::atomic<int32_t> last_slot{-2};
  std::thread poster([&] { last_slot = PostSoundRequest(node, kSoundOpSetVolume, 1023); });
  // The poster's 110200 dialog is answered on this, the main, thread.
  while (platform::HeadlessAnswersLeft() != 0) {
    platform::ServeMainThreadRequests();
    std::this_thread::yield();
  }
  platform::WaitForHeadlessSleepers(1);
  EXPECT_EQ(LastErrorReport().code, 110200);
  EXPECT_EQ(LastErrorReport().count, 1u);
  {
    std::lock_guard lock(EngineLock());
    ASSERT_EQ(RunSoundCommands(), 0);
  }
  platform::AdvanceClockForTest(1);
  poster.join();
  platform::SetClockThread(false);
  ASSERT_GE(last_slot.load(), 0);
  EXPECT_EQ(Ch(node).fade_to, 1022);  // every one of the 1023 ran, in order
  EXPECT_EQ(Ch(node).previous_target, 1021);
  {
    std::lock_guard lock(EngineLock());
    ASSERT_EQ(RunSoundCommands(), 0);
  }
  EXPECT_EQ(WaitSoundRequest(last_slot), 0);
  EXPECT_EQ(Ch(node).volume, 1023);
  EXPECT_EQ(LastErrorReport().count, 1u);
}

TEST_F(SoundRing, WaitsGiveUpWhenTheProgramQuits) {
  NamedTreeNode* node = AddNode("bgm");
  const int32_t slot = PostSoundRequest(node, kSoundOpSync, 0);
  ASSERT_GE(slot, 0);
  {
    std::lock_guard lock(EngineLock());
    Ch(node).state = kSoundPlaying;
  }
  SetQuitFlag();
  EXPECT_EQ(WaitSoundRequest(slot), -1);
  EXPECT_EQ(WaitSoundIdle(node), -1);
}

TEST_F(SoundRing, WaitsGiveUpWhenTheSoundThreadHasEnded) {
  NamedTreeNode* node = AddNode("bgm");
  const int32_t slot = PostSoundRequest(node, kSoundOpSync, 0);
  ASSERT_GE(slot, 0);
  {
    std::lock_guard lock(EngineLock());
    Ch(node).state = kSoundPlaying;
    g_engine.sound_thread_ended = 1;
  }
  EXPECT_EQ(WaitSoundRequest(slot), -1);
  EXPECT_EQ(WaitSoundIdle(node), -1);
  // A full ring's poster gives up too, instead of waiting for room that never comes.
  for (int32_t i = 0; i < 1022; ++i) Post(node, kSoundOpSync);
  EXPECT_EQ(PostSoundRequest(node, kSoundOpSync, 0), -1);
}

TEST_F(SoundRing, LoadOnAPlayingChannelStopsItFirstAndHoldsTheQueue) {
  NamedTreeNode* node = AddNode("bgm");
  Play(node, 0);
  Post(node, kSoundOpLoad, 0, "b.wav");
  Post(node, kSoundOpSetVolume, 77);
  ASSERT_EQ(Pass(), 0);
  EXPECT_EQ(Ch(node).state, kSoundIdle);
  EXPECT_EQ(Ch(node).volume, 256);  // the volume request waits behind the load
  ASSERT_EQ(Pass(), 0);
  EXPECT_EQ(Ch(node).state, kSoundLoaded);
  EXPECT_STREQ(Ch(node).file_name, "b.wav");
  EXPECT_EQ(Ch(node).volume, 77);
}

TEST_F(SoundRing, SettingsBeforeALoadAreIgnored) {
  NamedTreeNode* node = AddNode("bgm");
  Post(node, kSoundOpSetPan, 100);
  Post(node, kSoundOpLoad, 0, "a.wav");
  Post(node, kSoundOpSetSpeed, 300);
  ASSERT_EQ(Pass(), 0);
  EXPECT_EQ(Ch(node).pan, 256);
  EXPECT_EQ(Ch(node).speed, 300);
}

TEST_F(SoundRing, GroupPauseAndResumeReachTheChannelsBelow) {
  NamedTreeNode* group = AddNode("music", true);
  NamedTreeNode* a = AddNode("a", false, group);
  NamedTreeNode* b = AddNode("b", false, group);
  Play(a, 0);
  Play(b, 0);
  Post(b, kSoundOpPause, 1);  // paused by the script on its own
  Post(group, kSoundOpPause, 1);
  ASSERT_EQ(Pass(5), 0);
  EXPECT_NE(Ch(a).pause_tick, 0u);
  EXPECT_NE(Ch(b).pause_tick, 0u);
  Post(group, kSoundOpPause, 0);
  ASSERT_EQ(Pass(5), 0);
  EXPECT_EQ(Ch(a).pause_tick, 0u);
  EXPECT_NE(Ch(b).pause_tick, 0u);  // its own pause stands
  // Play on a paused channel leaves it paused.
  Post(b, kSoundOpStop);
  Post(b, kSoundOpLoad, 0, "c.wav");
  Post(b, kSoundOpPlay, 0);
  ASSERT_EQ(Pass(5), 0);
  EXPECT_EQ(Ch(b).state, kSoundFadingIn);
  EXPECT_NE(Ch(b).pause_tick, 0u);
}

// The engine's pause is the engine timers' pause, which the frame step starts and ends: every
// sound holds while it runs, even with the main window focused (no window here reads as focused).
TEST_F(SoundRing, EnginePauseHoldsTheSoundsAndItsEndResumes) {
  InitEngineTimers();
  NamedTreeNode* node = AddNode("bgm");
  Play(node, 0);
  StartTimerPause();
  ASSERT_EQ(Pass(5), 0);
  EXPECT_NE(Ch(node).pause_tick, 0u);
  EndTimerPause();
  ASSERT_EQ(Pass(5), 0);
  EXPECT_EQ(Ch(node).pause_tick, 0u);
}

// The thread is joined, never detached: one that ended by itself (quit, an error) is collected
// by the next start, and a stop waits for it to be gone.
TEST_F(SoundRing, TheThreadStartsAgainAfterEndingByItself) {
  platform::SetClockThread(true);
  ASSERT_EQ(StartSoundEngine(), 0);
  SetQuitFlag();
  for (;;) {
    {
      std::lock_guard lock(EngineLock());
      if (g_engine.sound_thread_ended == 1) break;
    }
    platform::SleepMs(1);
  }
  g_engine.quit_flag.store(0);
  ASSERT_EQ(StartSoundEngine(), 0);
  NamedTreeNode* node = AddNode("bgm");
  EXPECT_EQ(WaitSoundRequest(PostSoundRequest(node, kSoundOpSetVolume, 99)), 0);
  EXPECT_EQ(Ch(node).volume, 99);
  StopSoundEngine();
  EXPECT_EQ(g_engine.sound_thread_ended.load(), 1);
  platform::SetClockThread(false);
}

TEST(SoundErrors, TextsByCode) {
  EXPECT_STREQ(SoundErrorText(-1045), "複数曲連結OGGには対応していません。");
  EXPECT_STREQ(SoundErrorText(-3020), "エラー番号：%d\n\noggファイルをシークできませんでした。");
  EXPECT_STREQ(SoundErrorText(-1), SoundErrorText(-1010));
  EXPECT_NE(std::string(SoundErrorText(-12345)).find("内部エラー"), std::string::npos);
}

}  // namespace
}  // namespace korvel::test
