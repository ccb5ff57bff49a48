// The engine lock and the main thread: dialogs raised under the lock wait until it is released,
// and a main-thread request made under it fails loudly in debug builds.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "core/engine_state.h"
#include "core/error_report.h"
#include "core/show_message.h"
#include "engine_fixture.h"
#include "platform/headless/headless_api.h"
#include "platform/platform.h"

namespace korvel {
namespace {

using EngineLockTest = test::HeadlessEngine;

// A report under the lock takes effect at once (quit flag, stderr) but its dialog, and a message
// box raised under the lock, wait for the last hold to go; nested holds count.
TEST_F(EngineLockTest, DialogsRaisedUnderTheLockWaitForItsRelease) {
  std::string error;
  ASSERT_TRUE(platform::QueueHeadlessAnswer("1034", &error)) << error;
  ASSERT_TRUE(platform::QueueHeadlessAnswer("1", &error)) << error;
  {
    std::lock_guard outer(EngineLock());
    {
      std::lock_guard inner(EngineLock());
      EXPECT_TRUE(EngineLockHeld());
      ReportErrorPlain(104110, true);
      EXPECT_TRUE(QuitRequested());
      EXPECT_EQ(LastErrorReport().code, 104110);
      EXPECT_EQ(ShowMessageF("T", "box"), platform::kIdOk);
    }
    EXPECT_EQ(platform::HeadlessAnswersLeft(), 2u);
  }
  EXPECT_FALSE(EngineLockHeld());
  EXPECT_EQ(platform::HeadlessAnswersLeft(), 0u);
}

// The sound thread's case: a dialog raised on another thread under the lock reaches the main
// thread only once that thread has let the lock go, so the main thread may take the lock meanwhile.
TEST_F(EngineLockTest, ADialogOfAnotherThreadLetsTheMainThreadTakeTheLock) {
  std::string error;
  ASSERT_TRUE(platform::QueueHeadlessAnswer("1034", &error)) << error;
  std::atomic<bool> reported{false};
  std::thread other([&] {
    std::lock_guard lock(EngineLock());
    ReportErrorPlain(104110, true);
    reported.store(true);
  });
  while (!reported.load()) std::this_thread::yield();
  // The other thread's dialog goes through this (main) thread: served while waiting for the lock.
  while (platform::HeadlessAnswersLeft() != 0) {
    platform::ServeMainThreadRequests();
    std::this_thread::yield();
  }
  {
    std::lock_guard lock(EngineLock());
  }
  other.join();
}

using EngineLockDeathTest = EngineLockTest;

TEST_F(EngineLockDeathTest, MainThreadRequestUnderTheLockFails) {
#ifdef NDEBUG
  GTEST_SKIP() << "the check is made in debug builds";
#else
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        std::lock_guard lock(EngineLock());
        platform::RunOnMainThread([](void*) {}, nullptr);
      },
      "main-thread request was made while holding the engine lock");
  // Without the lock the same request runs.
  bool ran = false;
  platform::RunOnMainThread([](void* flag) { *static_cast<bool*>(flag) = true; }, &ran);
  EXPECT_TRUE(ran);
#endif
}

}  // namespace
}  // namespace korvel
