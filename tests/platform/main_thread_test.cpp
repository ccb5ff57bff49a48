// Main-thread requests and the event queue: requests from other threads run on the main thread
// while it polls, posted events arrive in order from any thread, and the queue is bounded.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/platform.h"
#include "platform_test_util.h"

namespace korvel::platform {
namespace {

using test::CleanHeadlessEnv;
using test::DrainEvents;

class MainThread : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(InitPlatformWith(BackendKind::kHeadless)); }
  void TearDown() override { ShutdownPlatform(); }
  CleanHeadlessEnv env_;
};

TEST_F(MainThread, RequestsRunOnTheMainThreadWhileItPolls) {
  EXPECT_TRUE(IsMainThread());
  constexpr int kThreads = 4, kRequests = 50;
  std::atomic<int> on_main{0}, finished{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      EXPECT_FALSE(IsMainThread());
      for (int i = 0; i < kRequests; ++i) {
        RunOnMainThread(
            [](void* counter) {
              if (IsMainThread()) static_cast<std::atomic<int>*>(counter)->fetch_add(1);
            },
            &on_main);
      }
      finished.fetch_add(1);
    });
  }
  Event event;
  while (finished.load() < kThreads) PollEvent(&event);  // serves the requests
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(on_main.load(), kThreads * kRequests);
}

TEST_F(MainThread, RequestsRunAtOnceOnTheMainThreadAndAfterShutdown) {
  int runs = 0;
  RunOnMainThread([](void* n) { ++*static_cast<int*>(n); }, &runs);
  EXPECT_EQ(runs, 1);
  ShutdownPlatform();
  std::thread other([&] { RunOnMainThread([](void* n) { ++*static_cast<int*>(n); }, &runs); });
  other.join();  // no main thread: the request runs on its own thread instead of waiting forever
  EXPECT_EQ(runs, 2);
}

TEST_F(MainThread, PostedEventsKeepTheirOrderPerThread) {
  constexpr int kThreads = 3, kEvents = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kEvents; ++i) {
        Event e;
        e.kind = EventKind::kCommand;
        e.x = t;
        e.value = i;
        PostEvent(std::move(e));
      }
    });
  }
  for (std::thread& t : threads) t.join();
  int next[kThreads] = {};
  for (const Event& e : DrainEvents()) {
    ASSERT_EQ(e.kind, EventKind::kCommand);
    EXPECT_EQ(e.value, next[e.x]++);
  }
  for (int n : next) EXPECT_EQ(n, kEvents);
}

TEST_F(MainThread, QueueIsBoundedLikeWindows) {
  for (int i = 0; i < 10050; ++i) {
    Event e;
    e.kind = EventKind::kMouseMove;
    PostEvent(std::move(e));
  }
  EXPECT_EQ(DrainEvents().size(), 10000u);
}

TEST_F(MainThread, KeyboardSnapshotCanBeReplaced) {
  uint8_t keys[256] = {};
  keys[0x41] = 0x81;
  SetKeyboardState(keys);
  uint8_t read[256];
  GetKeyboardState(read);
  EXPECT_EQ(read[0x41], 0x81);
  uint8_t zeros[256] = {};
  SetKeyboardState(zeros);
  GetKeyboardState(read);
  EXPECT_EQ(read[0x41], 0);
}

}  // namespace
}  // namespace korvel::platform
