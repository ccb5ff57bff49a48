// The main-thread request queue: other threads hand calls that must run on the main thread (SDL
// windows, events, dialogs) to it and wait; the main thread serves them in every loop and wait.
#include <time.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/backend.h"

namespace korvel::platform {
namespace {

struct Request {
  void (*fn)(void* context) = nullptr;
  void* context = nullptr;
  bool done = false;
};

struct MainThreadState {
  std::mutex mutex;
  // Signals both a new request (to the main thread) and a finished one (to the requesters).
  std::condition_variable changed;
  std::deque<Request*> queue;
  std::atomic<bool> bound{false};
  std::atomic<std::thread::id> main_id{};
  std::atomic<size_t> pending{0};
};

MainThreadState g_main;
thread_local int t_engine_lock_holds = 0;

// Runs every queued request; the caller is the main thread.
void ServeQueued() {
  for (;;) {
    Request* request = nullptr;
    {
      std::lock_guard lock(g_main.mutex);
      if (g_main.queue.empty()) return;
      request = g_main.queue.front();
      g_main.queue.pop_front();
    }
    request->fn(request->context);
    {
      // The requester may return as soon as `done` is set: no access to `request` after this.
      std::lock_guard lock(g_main.mutex);
      request->done = true;
      g_main.pending.fetch_sub(1);
    }
    g_main.changed.notify_all();
  }
}

}  // namespace

void BindMainThread() {
  g_main.main_id.store(std::this_thread::get_id());
  g_main.bound.store(true);
}

void UnbindMainThread() {
  {
    // Requests queue only while bound (checked under the lock); later ones run on their own thread.
    std::lock_guard lock(g_main.mutex);
    g_main.bound.store(false);
  }
  ServeQueued();
  g_main.main_id.store(std::thread::id{});
}

bool IsMainThread() {
  return g_main.bound.load() && g_main.main_id.load() == std::this_thread::get_id();
}

bool MainThreadRequestPending() { return g_main.pending.load() != 0; }

void NoteEngineLockHold(int delta) { t_engine_lock_holds += delta; }

int EngineLockHolds() { return t_engine_lock_holds; }

void RunOnMainThread(void (*fn)(void* context), void* context) {
#if !defined(NDEBUG) || defined(KORVEL_LOCK_CHECKS)
  if (t_engine_lock_holds > 0) {
    // The main thread may itself be waiting for the engine lock: this wait could last for ever.
    std::fprintf(stderr,
                 "korvel: fatal: a main-thread request was made while holding the engine lock\n");
    std::fflush(stderr);
    std::abort();
  }
#endif
  if (IsMainThread()) {
    fn(context);
    return;
  }
  Request request;
  request.fn = fn;
  request.context = context;
  {
    std::unique_lock lock(g_main.mutex);
    if (!g_main.bound.load()) {
      lock.unlock();
      fn(context);
      return;
    }
    g_main.queue.push_back(&request);
    g_main.pending.fetch_add(1);
  }
  g_main.changed.notify_all();
  WakeBackendMainThread();
  std::unique_lock lock(g_main.mutex);
  g_main.changed.wait(lock, [&] { return request.done; });
}

void ServeMainThreadRequests() {
  if (IsMainThread()) ServeQueued();
}

uint32_t RealNowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u +
                      static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

void RealSleepMs(uint32_t ms) {
  if (!IsMainThread()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    ServeQueued();
    std::unique_lock lock(g_main.mutex);
    if (!g_main.changed.wait_until(lock, deadline, [] { return !g_main.queue.empty(); })) break;
  }
}

}  // namespace korvel::platform
