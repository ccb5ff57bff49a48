// The headless virtual clock: a u32 millisecond count that only sleeps and tests advance.
//
// Threads that run engine work on the clock (the frame-step thread, the main thread in threaded
// mode, the sound thread) join it with SetClockThread(true) and then take turns: one of them runs at
// a time, and when the running one sleeps, the clock jumps to the earliest wake-up among them and
// that thread runs next (ties go to the thread that joined first). So a run with several threads is
// repeatable, and nothing polls the clock. Other threads' sleeps simply wait until the clock has
// reached their wake-up time; with no thread on the clock, a sleeping thread moves it itself.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/headless/headless_api.h"
#include "platform/headless/headless_state.h"

namespace korvel::platform::headless {
namespace {

struct Participant {
  std::thread::id thread;
  uint64_t order = 0;     // join order, for ties
  bool sleeping = false;
  uint64_t target = 0;    // wake-up time while sleeping
};

struct Clock {
  std::mutex mutex;
  std::condition_variable changed;
  uint32_t start = 0;
  uint64_t elapsed = 0;  // 64-bit, so waits compare without wrapping
  bool closed = false;
  int sleepers = 0;      // threads waiting in ClockSleep
  std::vector<Participant> participants;
  uint64_t next_order = 0;
  std::thread::id turn;  // the participant allowed to run; none while all sleep
  bool has_turn = false;
};

Clock g_clock;

// A participant that neither sleeps nor leaves (blocked elsewhere, say on a lock that a sleeping
// participant holds) must not stop the others for good: a waiting participant goes on after this
// much real time without a change of turn. That is a fault of the threads' hand-over (the run is no
// longer repeatable), so it is reported on stderr.
constexpr std::chrono::milliseconds kDefaultTurnLimit{5000};
std::chrono::milliseconds g_turn_limit = kDefaultTurnLimit;

Participant* FindParticipant(std::thread::id thread) {
  for (auto& p : g_clock.participants) {
    if (p.thread == thread) return &p;
  }
  return nullptr;
}

// When no participant runs, the earliest sleeper gets the turn and the clock moves to its wake-up.
void PassTurnLocked() {
  Participant* next = nullptr;
  for (auto& p : g_clock.participants) {
    if (!p.sleeping) return;  // someone still runs
    if (next == nullptr || p.target < next->target ||
        (p.target == next->target && p.order < next->order)) {
      next = &p;
    }
  }
  if (next == nullptr) {
    g_clock.has_turn = false;
    return;
  }
  if (next->target > g_clock.elapsed) g_clock.elapsed = next->target;
  next->sleeping = false;
  g_clock.turn = next->thread;
  g_clock.has_turn = true;
  g_clock.changed.notify_all();
}

void SleepAsParticipant(std::unique_lock<std::mutex>& lock, Participant* self, uint64_t target,
                        bool main_thread) {
  const std::thread::id id = self->thread;
  self->sleeping = true;
  self->target = target;
  if (g_clock.has_turn && g_clock.turn == id) g_clock.has_turn = false;
  PassTurnLocked();
  auto last_change = std::chrono::steady_clock::now();
  uint64_t last_elapsed = g_clock.elapsed;
  for (;;) {
    if (g_clock.closed) break;
    if (g_clock.has_turn && g_clock.turn == id) break;
    if (main_thread && MainThreadRequestPending()) {
      lock.unlock();
      ServeMainThreadRequests();
      lock.lock();
      continue;
    }
    if (g_clock.changed.wait_for(lock, g_turn_limit) == std::cv_status::timeout &&
        g_clock.elapsed == last_elapsed &&
        std::chrono::steady_clock::now() - last_change >= g_turn_limit) {
      // The running participant is stuck elsewhere: say so, and go on without the turn.
      const Participant* me = FindParticipant(id);
      const Participant* running = g_clock.has_turn ? FindParticipant(g_clock.turn) : nullptr;
      std::fprintf(stderr,
                   "korvel: headless clock stalled at %llu ms: clock thread %lld waited %lld ms "
                   "for its turn while clock thread %lld neither slept nor left; it goes on "
                   "without the turn, so this run is not repeatable\n",
                   static_cast<unsigned long long>(g_clock.elapsed),
                   me != nullptr ? static_cast<long long>(me->order) : -1LL,
                   static_cast<long long>(g_turn_limit.count()),
                   running != nullptr ? static_cast<long long>(running->order) : -1LL);
      if (g_clock.elapsed < target) g_clock.elapsed = target;
      break;
    }
    if (g_clock.elapsed != last_elapsed) {
      last_elapsed = g_clock.elapsed;
      last_change = std::chrono::steady_clock::now();
    }
  }
  // The participant may have left or been re-added while waiting; look it up again.
  if (Participant* p = FindParticipant(id)) p->sleeping = false;
}

}  // namespace

void InitClock(uint32_t start) {
  std::lock_guard lock(g_clock.mutex);
  g_turn_limit = kDefaultTurnLimit;
  g_clock.start = start;
  g_clock.elapsed = 0;
  g_clock.closed = false;
  g_clock.participants.clear();
  g_clock.next_order = 0;
  g_clock.has_turn = false;
  g_clock.turn = std::thread::id{};
}

void ShutdownClock() {
  {
    std::lock_guard lock(g_clock.mutex);
    g_clock.closed = true;
    g_clock.participants.clear();
    g_clock.has_turn = false;
  }
  g_clock.changed.notify_all();
}

uint32_t ClockNow() {
  std::lock_guard lock(g_clock.mutex);
  return static_cast<uint32_t>(g_clock.start + g_clock.elapsed);
}

uint64_t ClockElapsed() {
  std::lock_guard lock(g_clock.mutex);
  return g_clock.elapsed;
}

// Headless runs are repeatable: local time starts at 2000-01-01 00:00:00 UTC and follows the virtual
// clock.
int64_t HeadlessBackend::UnixTimeMs() {
  constexpr int64_t kHeadlessEpochMs = 946684800000;
  return kHeadlessEpochMs + static_cast<int64_t>(ClockElapsed());
}

void ClockSleep(uint32_t ms) {
  const bool main_thread = IsMainThread();
  std::unique_lock lock(g_clock.mutex);
  const uint64_t target = g_clock.elapsed + ms;
  ++g_clock.sleepers;
  g_clock.changed.notify_all();
  if (g_clock.closed) {
    // Nothing to wait for any more.
  } else if (Participant* self = FindParticipant(std::this_thread::get_id())) {
    SleepAsParticipant(lock, self, target, main_thread);
  } else {
    for (;;) {
      if (g_clock.closed || g_clock.elapsed >= target) break;
      if (g_clock.participants.empty()) {
        // Nobody runs the clock: this sleeper moves it itself.
        g_clock.elapsed = target;
        g_clock.changed.notify_all();
        break;
      }
      if (main_thread && MainThreadRequestPending()) {
        lock.unlock();
        ServeMainThreadRequests();
        lock.lock();
        continue;
      }
      g_clock.changed.wait(lock);
    }
  }
  --g_clock.sleepers;
  g_clock.changed.notify_all();
  lock.unlock();
  if (main_thread) ServeMainThreadRequests();
}

void ClockSetOwner(bool owner, void (*registered)(void*), void* context) {
  std::unique_lock lock(g_clock.mutex);
  const std::thread::id id = std::this_thread::get_id();
  Participant* self = FindParticipant(id);
  if (owner) {
    if (self != nullptr) {
      if (registered != nullptr) registered(context);
      return;
    }
    g_clock.participants.push_back(Participant{id, g_clock.next_order++, false, 0});
    if (registered != nullptr) registered(context);
    if (!g_clock.has_turn) {
      g_clock.turn = id;
      g_clock.has_turn = true;
    } else {
      // Another participant runs: wait for a turn at the current time.
      SleepAsParticipant(lock, &g_clock.participants.back(), g_clock.elapsed, IsMainThread());
    }
    return;
  }
  if (self == nullptr) return;
  std::erase_if(g_clock.participants, [&](const Participant& p) { return p.thread == id; });
  if (g_clock.has_turn && g_clock.turn == id) g_clock.has_turn = false;
  if (!g_clock.has_turn) PassTurnLocked();
  g_clock.changed.notify_all();
}

void ClockAdvance(uint32_t ms) {
  {
    std::lock_guard lock(g_clock.mutex);
    g_clock.elapsed += ms;
  }
  g_clock.changed.notify_all();
}

void ClockWakeMain() {
  // Taking the lock orders this after the main thread's check of the pending requests.
  std::lock_guard lock(g_clock.mutex);
  g_clock.changed.notify_all();
}

}  // namespace korvel::platform::headless

namespace korvel::platform {

void SetHeadlessTurnLimitForTest(uint32_t ms) {
  std::lock_guard lock(headless::g_clock.mutex);
  headless::g_turn_limit = std::chrono::milliseconds(ms);
}

void WaitForHeadlessSleepers(int count) {
  using headless::g_clock;
  std::unique_lock lock(g_clock.mutex);
  g_clock.changed.wait(lock, [&] { return g_clock.sleepers >= count || g_clock.closed; });
}

}  // namespace korvel::platform
